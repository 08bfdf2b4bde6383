#include "PciDisplay.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

namespace zolven::sensors::platform {

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
bool readHexAttribute(const fs::path& file, unsigned& out)
{
    std::ifstream in(file);
    std::string text;
    if (!(in >> text) || text.size() < 3 || text.compare(0, 2, "0x") != 0)
        return false;
    return parseHex(text, 2, text.size() - 2, out);
}

std::string nameAfterId(const std::string& line, std::size_t idEnd)
{
    const std::size_t start = line.find_first_not_of(" \t", idEnd);
    if (start == std::string::npos)
        return {};
    const std::size_t end = line.find_last_not_of(" \t\r");
    return line.substr(start, end + 1 - start);
}

} // namespace

std::vector<PciDisplayDevice> pciDisplayDevices(const std::string& sysRoot)
{
    std::vector<PciDisplayDevice> out;
    std::error_code ec;
    fs::directory_iterator it(fs::path(sysRoot) / "bus" / "pci" / "devices", ec);
    if (ec)
        return out;
    for (const auto& entry : it) {
        unsigned cls = 0;
        PciDisplayDevice dev;
        if (!readHexAttribute(entry.path() / "class", cls))
            continue;
        const unsigned baseSub = cls >> 8;
        if (baseSub != 0x0300 && baseSub != 0x0302 && baseSub != 0x0380)
            continue;
        if (!readHexAttribute(entry.path() / "vendor", dev.vendor) ||
            !readHexAttribute(entry.path() / "device", dev.device))
            continue;
        dev.address = entry.path().filename().string();
        out.push_back(std::move(dev));
    }
    std::sort(out.begin(), out.end(),
              [](const auto& a, const auto& b) { return a.address < b.address; });
    return out;
}

std::map<std::pair<unsigned, unsigned>, PciNames>
lookupPciNames(std::istream& ids, const std::vector<std::pair<unsigned, unsigned>>& wanted)
{
    std::map<std::pair<unsigned, unsigned>, PciNames> found;
    std::set<unsigned> vendors;
    for (const auto& w : wanted) {
        found[w];
        vendors.insert(w.first);
    }
    std::size_t pending = found.size();
    unsigned vendor = 0;
    bool vendorWanted = false;
    std::string line;
    while (pending > 0 && std::getline(ids, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '\t') {
            unsigned device = 0;
            if (!vendorWanted || line.size() < 2 || line[1] == '\t' ||
                !parseHex(line, 1, 4, device))
                continue;
            auto hit = found.find({vendor, device});
            if (hit != found.end() && hit->second.device.empty()) {
                hit->second.device = nameAfterId(line, 5);
                --pending;
            }
            continue;
        }
        if (line.compare(0, 2, "C ") == 0)
            break;
        vendorWanted = parseHex(line, 0, 4, vendor) && vendors.count(vendor) != 0;
        if (vendorWanted) {
            const std::string name = nameAfterId(line, 4);
            for (auto& [key, names] : found)
                if (key.first == vendor)
                    names.vendor = name;
        }
    }
    return found;
}

std::string adapterDescription(unsigned vendor, unsigned device, const PciNames& names)
{
    std::string brand;
    switch (vendor) {
    case 0x10de:
        brand = "NVIDIA";
        break;
    case 0x1002:
        brand = "AMD";
        break;
    case 0x8086:
        brand = "Intel";
        break;
    default:
        brand = names.vendor;
        break;
    }

    std::string model = names.device;
    if (!model.empty() && model.back() == ']') {
        const std::size_t open = model.rfind('[');
        if (open != std::string::npos)
            model = model.substr(open + 1, model.size() - open - 2);
    }
    if (model.empty()) {
        char ids[32];
        std::snprintf(ids, sizeof ids, "GPU [%04x:%04x]", vendor & 0xffff, device & 0xffff);
        model = ids;
    }
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
    std::vector<std::pair<unsigned, unsigned>> wanted;
    for (const auto& d : devices)
        wanted.emplace_back(d.vendor, d.device);

    std::map<std::pair<unsigned, unsigned>, PciNames> names;
    for (const auto& path : idsPaths) {
        std::ifstream in(path);
        if (in) {
            names = lookupPciNames(in, wanted);
            break;
        }
    }
    std::vector<std::string> out;
    for (const auto& d : devices)
        out.push_back(adapterDescription(d.vendor, d.device, names[{d.vendor, d.device}]));
    return out;
}

} // namespace zolven::sensors::platform
