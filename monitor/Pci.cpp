#include "monitor/Pci.h"

#include "monitor/Hwmon.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace zolven::monitor {
namespace {

bool readHex(const std::string& path, unsigned& out)
{
    std::string text;
    if (!readLine(path, text))
        return false;
    char* end = nullptr;
    const unsigned long v = std::strtoul(text.c_str(), &end, 16);
    if (end == text.c_str())
        return false;
    out = static_cast<unsigned>(v);
    return true;
}

std::string driverOf(const std::string& dir)
{
    std::string uevent;
    if (!readFile(dir + "/uevent", uevent))
        return {};
    std::istringstream in(uevent);
    std::string line;
    while (std::getline(in, line))
        if (line.compare(0, 7, "DRIVER=") == 0)
            return trim(line.substr(7));
    return {};
}

std::string shortVendor(unsigned vendor)
{
    switch (vendor) {
    case kVendorAmd:
        return "AMD";
    case kVendorIntel:
        return "Intel";
    case kVendorNvidia:
        return "NVIDIA";
    default:
        return {};
    }
}

std::string hex4(unsigned v)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04x", v & 0xffffu);
    return buf;
}

} // namespace

bool parsePciAddress(const std::string& text, PciAddress& out)
{
    unsigned d = 0, b = 0, s = 0, f = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%x:%x:%x.%x%c", &d, &b, &s, &f, &tail) != 4)
        return false;
    out = {d, b, s, f};
    return true;
}

std::vector<DisplayAdapter> listDisplayAdapters(const Roots& roots)
{
    std::vector<DisplayAdapter> out;
    const std::string base = roots.sys + "/bus/pci/devices";
    for (const auto& address : listDir(base)) {
        DisplayAdapter a;
        a.address = address;
        a.dir = base + "/" + address;
        unsigned cls = 0;
        if (!readHex(a.dir + "/class", cls))
            continue;
        const unsigned sub = cls >> 8;
        if (sub != 0x0300 && sub != 0x0302 && sub != 0x0380)
            continue;
        readHex(a.dir + "/vendor", a.vendor);
        readHex(a.dir + "/device", a.device);
        a.driver = driverOf(a.dir);
        out.push_back(std::move(a));
    }
    return out;
}

bool isIntegrated(const DisplayAdapter& a)
{
    PciAddress addr;
    if (a.vendor == kVendorIntel)
        return parsePciAddress(a.address, addr) && addr.domain == 0 && addr.bus == 0 &&
               addr.device == 2 && addr.function == 0;
    if (a.vendor == kVendorAmd) {
        for (const auto& hw : listNumbered(a.dir + "/hwmon", "hwmon"))
            if (exists(a.dir + "/hwmon/" + hw + "/in1_input"))
                return true;
    }
    return false;
}

std::string lookupPciName(std::istream& ids, unsigned vendor, unsigned device)
{
    // Vendor lines: "1002  Advanced Micro Devices, Inc. [AMD/ATI]"
    // Device lines: "\t744c  Navi 31 [Radeon RX 7900 XT/7900 XTX]"
    // Subsystem lines start with two tabs; the class section begins with "C ".
    std::string line, vendorName;
    bool inVendor = false;
    while (std::getline(ids, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] != '\t') {
            if (inVendor || line.compare(0, 2, "C ") == 0)
                break;
            unsigned v = 0;
            char* end = nullptr;
            v = static_cast<unsigned>(std::strtoul(line.c_str(), &end, 16));
            if (end == line.c_str() + 4 && v == vendor) {
                inVendor = true;
                vendorName = trim(line.substr(4));
            }
            continue;
        }
        if (!inVendor || line.size() < 6 || line[1] == '\t')
            continue;
        char* end = nullptr;
        const unsigned d = static_cast<unsigned>(std::strtoul(line.c_str() + 1, &end, 16));
        if (end == line.c_str() + 5 && d == device) {
            std::string v = shortVendor(vendor);
            return (v.empty() ? vendorName : v) + " " + trim(line.substr(5));
        }
    }
    return {};
}

std::string adapterName(const std::string& pciIdsPath, unsigned vendor, unsigned device)
{
    std::ifstream in(pciIdsPath);
    std::string name = in ? lookupPciName(in, vendor, device) : std::string();
    if (!name.empty())
        return name;
    std::string v = shortVendor(vendor);
    return (v.empty() ? std::string("Display") : v) + " GPU [" + hex4(vendor) + ":" + hex4(device) +
           "]";
}

} // namespace zolven::monitor
