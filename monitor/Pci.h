#pragma once

// Display adapters on the PCI bus (classes 0x0300 VGA, 0x0302 3D, 0x0380 display) and their
// names from the pci.ids database.

#include "monitor/SysFs.h"

#include <istream>
#include <string>
#include <vector>

namespace zolven::monitor {

inline constexpr unsigned kVendorAmd = 0x1002;
inline constexpr unsigned kVendorIntel = 0x8086;
inline constexpr unsigned kVendorNvidia = 0x10de;

struct PciAddress
{
    unsigned domain = 0, bus = 0, device = 0, function = 0;
};

struct DisplayAdapter
{
    std::string address; // "0000:03:00.0"
    std::string dir;     // <sys>/bus/pci/devices/<address>
    unsigned vendor = 0, device = 0;
    std::string driver; // "amdgpu", "i915", "xe", "nvidia", …; "" when unbound
};

// In bus order.
std::vector<DisplayAdapter> listDisplayAdapters(const Roots& roots);
bool parsePciAddress(const std::string& text, PciAddress& out);

// Intel's integrated graphics always sit at 00:02.0 (Arc cards elsewhere); an AMD APU's
// hwmon has the northbridge voltage in1, which discrete cards lack.
bool isIntegrated(const DisplayAdapter& adapter);

// "<vendor> <device>" from a pci.ids stream, e.g. "AMD Navi 31 [Radeon RX 7900 XT/7900 XTX]";
// "" when the ids are not listed.
std::string lookupPciName(std::istream& ids, unsigned vendor, unsigned device);
// From the database file; falls back to "<vendor> GPU [vvvv:dddd]".
std::string adapterName(const std::string& pciIdsPath, unsigned vendor, unsigned device);

} // namespace zolven::monitor
