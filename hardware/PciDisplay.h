#pragma once

// Display adapters on the PCI bus and their names from the pci.ids database: the program names
// its GPU from them on Linux, and our hardware-monitor library finds the cards it reads. Roots
// and paths are parameters so tests can use fixture trees.

#include <istream>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace zolven::hardware {

inline constexpr unsigned kVendorAmd = 0x1002;
inline constexpr unsigned kVendorIntel = 0x8086;
inline constexpr unsigned kVendorNvidia = 0x10de;

struct PciDisplayDevice
{
    std::string address; // "0000:03:00.0"
    std::string dir;     // <sys>/bus/pci/devices/<address>
    unsigned vendor = 0;
    unsigned device = 0;
    std::string driver; // "amdgpu", "i915", "xe", "nvidia", …; "" when unbound
};

// VGA, 3D and other display controllers under <sysRoot>/bus/pci/devices, in bus order. A
// device whose ids cannot be read is left out.
std::vector<PciDisplayDevice> pciDisplayDevices(const std::string& sysRoot);

struct PciAddress
{
    unsigned domain = 0, bus = 0, device = 0, function = 0;
};

bool parsePciAddress(const std::string& text, PciAddress& out);

struct PciNames
{
    std::string vendor; // empty when the database does not know it
    std::string device;
};

using PciIds = std::pair<unsigned, unsigned>; // vendor, device

// Looks up the wanted (vendor, device) pairs in a pci.ids stream, reading no further than needed.
// The format, as far as it matters here:
//   # comment
//   10de  NVIDIA Corporation                 vendor: 4 hex digits, two blanks, name
//   \t2504  GA106 [GeForce RTX 3060 Lite Hash Rate]    device of the vendor above
//   \t\t1462 397d  RTX 3060 ...              subsystem (ignored)
//   C 00  Unclassified device                class section: nothing after it is needed
std::map<PciIds, PciNames> lookupPciNames(std::istream& ids, const std::vector<PciIds>& wanted);
// The same from the first readable of the database files; all names empty when none is.
std::map<PciIds, PciNames> lookupPciNames(const std::vector<std::string>& idsPaths,
                                          const std::vector<PciIds>& wanted);

// The program's description, in the shape Windows gives its adapters ("NVIDIA GeForce RTX
// 3060", "Intel UHD Graphics 770"): a short vendor name, then the marketing name pci.ids keeps
// in brackets, or the device name when there is none. Chip code names such as "GT2" stay out,
// since the adapter keywords would mistake them for a discrete card.
std::string adapterDescription(unsigned vendor, unsigned device, const PciNames& names);

// The descriptions of every display device; the first readable pci.ids path is used.
std::vector<std::string> pciAdapterNames(const std::string& sysRoot,
                                         const std::vector<std::string>& idsPaths);

// The library's sensor name: "<vendor> <device>" as pci.ids has it, with a short vendor name
// where there is one ("AMD Navi 31 [Radeon RX 7900 XT/7900 XTX]"); "<vendor> GPU [vvvv:dddd]"
// when the database does not list the device.
std::string adapterName(unsigned vendor, unsigned device, const PciNames& names);
std::string adapterName(const std::string& pciIdsPath, unsigned vendor, unsigned device);

} // namespace zolven::hardware
