#include "hardware/PciDisplay.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

namespace zolven::hardware {

namespace fs = std::filesystem;

namespace {

bool parseHex(const std::string& text, std::size_t pos, std::size_t digits, unsigned& out)
{
    if (text.size() < pos + digits)
        return false;
    unsigned v = 0;
    for (std::size_t i = pos; i < pos + digits; ++i) {
        const char c = text[i];
        v <<= 4;
        if (c >= '0' && c <= '9')
            v |= unsigned(c - '0');
        else if (c >= 'a' && c <= 'f')
            v |= unsigned(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            v |= unsigned(c - 'A' + 10);
        else
            return false;
    }
    out = v;
    return true;
}

// sysfs attributes read "0x10de\n".
bool readHexAttribute(const std::string& file, unsigned& out)
{
    std::ifstream in(file);
    std::string text;
    if (!(in >> text) || text.size() < 3 || text.compare(0, 2, "0x") != 0)
        return false;
    return parseHex(text, 2, text.size() - 2, out);
}

std::string trimmed(const std::string& text, std::size_t from = 0)
{
    const std::size_t start = text.find_first_not_of(" \t\r", from);
    if (start == std::string::npos)
        return {};
    const std::size_t end = text.find_last_not_of(" \t\r");
    return text.substr(start, end + 1 - start);
}

std::string driverOf(const std::string& dir)
{
    std::ifstream in(dir + "/uevent");
    std::string line;
    while (std::getline(in, line))
        if (line.compare(0, 7, "DRIVER=") == 0)
            return trimmed(line, 7);
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

// "GPU [10de:2684]", for a device the database does not name.
std::string idsText(unsigned vendor, unsigned device)
{
    char text[32];
    std::snprintf(text, sizeof text, "GPU [%04x:%04x]", vendor & 0xffff, device & 0xffff);
    return text;
}

} // namespace

std::vector<PciDisplayDevice> pciDisplayDevices(const std::string& sysRoot)
{
    std::vector<PciDisplayDevice> out;
    const std::string base = sysRoot + "/bus/pci/devices";
    std::error_code ec;
    for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
        PciDisplayDevice dev;
        dev.address = it->path().filename().string();
        dev.dir = base + "/" + dev.address;
        unsigned cls = 0;
        if (!readHexAttribute(dev.dir + "/class", cls))
            continue;
        const unsigned baseSub = cls >> 8;
        if (baseSub != 0x0300 && baseSub != 0x0302 && baseSub != 0x0380)
            continue;
        if (!readHexAttribute(dev.dir + "/vendor", dev.vendor))
            continue;
        // A device id the tree lacks still leaves a card of a known maker: it is only unnamed.
        if (!readHexAttribute(dev.dir + "/device", dev.device))
            dev.device = 0;
        dev.driver = driverOf(dev.dir);
        out.push_back(std::move(dev));
    }
    // Addresses are fixed-width hex: their text order is the bus order.
    std::sort(out.begin(), out.end(),
              [](const auto& a, const auto& b) { return a.address < b.address; });
    return out;
}

bool parsePciAddress(const std::string& text, PciAddress& out)
{
    unsigned d = 0, b = 0, s = 0, f = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%x:%x:%x.%x%c", &d, &b, &s, &f, &tail) != 4)
        return false;
    out = {d, b, s, f};
    return true;
}

std::map<PciIds, PciNames> lookupPciNames(std::istream& ids, const std::vector<PciIds>& wanted)
{
    std::map<PciIds, PciNames> found;
    std::set<PciIds> pending;
    for (const auto& w : wanted) {
        found[w];
        pending.insert(w);
    }
    const auto ofVendor = [](auto& ordered, unsigned vendor) {
        return std::make_pair(ordered.lower_bound({vendor, 0u}),
                              ordered.upper_bound({vendor, ~0u}));
    };
    unsigned vendor = 0;
    bool vendorWanted = false;
    std::string line;
    while (!pending.empty() && std::getline(ids, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '\t') {
            unsigned device = 0;
            if (!vendorWanted || line.size() < 2 || line[1] == '\t' ||
                !parseHex(line, 1, 4, device))
                continue;
            if (pending.erase({vendor, device}))
                found[{vendor, device}].device = trimmed(line, 5);
            continue;
        }
        if (line.compare(0, 2, "C ") == 0)
            break;
        // A vendor's devices are all listed under it: the ones not met by now are unknown.
        if (vendorWanted) {
            const auto [from, to] = ofVendor(pending, vendor);
            pending.erase(from, to);
        }
        vendorWanted = false;
        if (parseHex(line, 0, 4, vendor)) {
            const auto [from, to] = ofVendor(found, vendor);
            vendorWanted = from != to;
            const std::string name = vendorWanted ? trimmed(line, 4) : std::string();
            for (auto it = from; it != to; ++it)
                it->second.vendor = name;
        }
    }
    return found;
}

std::map<PciIds, PciNames> lookupPciNames(const std::vector<std::string>& idsPaths,
                                          const std::vector<PciIds>& wanted)
{
    for (const auto& path : idsPaths) {
        std::ifstream in(path);
        if (in)
            return lookupPciNames(in, wanted);
    }
    std::map<PciIds, PciNames> none;
    for (const auto& w : wanted)
        none[w];
    return none;
}

std::string adapterDescription(unsigned vendor, unsigned device, const PciNames& names)
{
    std::string brand = shortVendor(vendor);
    if (brand.empty())
        brand = names.vendor;

    std::string model = names.device;
    if (!model.empty() && model.back() == ']') {
        const std::size_t open = model.rfind('[');
        if (open != std::string::npos)
            model = model.substr(open + 1, model.size() - open - 2);
    }
    if (model.empty())
        model = idsText(vendor, device);
    if (brand.empty() || model.compare(0, brand.size(), brand) == 0)
        return model;
    return brand + " " + model;
}

std::vector<std::string> pciAdapterNames(const std::string& sysRoot,
                                         const std::vector<std::string>& idsPaths)
{
    const std::vector<PciDisplayDevice> devices = pciDisplayDevices(sysRoot);
    if (devices.empty())
        return {};
    std::vector<PciIds> wanted;
    for (const auto& d : devices)
        wanted.emplace_back(d.vendor, d.device);
    const auto names = lookupPciNames(idsPaths, wanted);
    std::vector<std::string> out;
    for (const auto& d : devices)
        out.push_back(adapterDescription(d.vendor, d.device, names.at({d.vendor, d.device})));
    return out;
}

std::string adapterName(unsigned vendor, unsigned device, const PciNames& names)
{
    const std::string brand = shortVendor(vendor);
    if (!names.device.empty())
        return (brand.empty() ? names.vendor : brand) + " " + names.device;
    return (brand.empty() ? std::string("Display") : brand) + " " + idsText(vendor, device);
}

std::string adapterName(const std::string& pciIdsPath, unsigned vendor, unsigned device)
{
    const auto names = lookupPciNames(std::vector<std::string>{pciIdsPath}, {{vendor, device}});
    return adapterName(vendor, device, names.at({vendor, device}));
}

} // namespace zolven::hardware
