#pragma once

// Display adapters on Linux: PCI display-class devices under sysfs, named from the pci.ids
// database. Roots are parameters so tests can use fixture trees.

#include <istream>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace zolven::sensors::platform {

struct PciDisplayDevice
{
    std::string address; // e.g. "0000:01:00.0"
    unsigned vendor = 0;
    unsigned device = 0;
};

// Devices of class 0x0300 (VGA), 0x0302 (3D) and 0x0380 (other display) under
// <sysRoot>/bus/pci/devices, ordered by address.
std::vector<PciDisplayDevice> pciDisplayDevices(const std::string& sysRoot);

struct PciNames
{
    std::string vendor; // empty when the database does not know it
    std::string device;
};

// Looks up the wanted (vendor, device) pairs in a pci.ids stream, reading no further than needed.
// The format, as far as it matters here:
//   # comment
//   10de  NVIDIA Corporation                 vendor: 4 hex digits, two blanks, name
//   \t2504  GA106 [GeForce RTX 3060 Lite Hash Rate]    device of the vendor above
//   \t\t1462 397d  RTX 3060 ...              subsystem (ignored)
//   C 00  Unclassified device                class section: nothing after it is needed
std::map<std::pair<unsigned, unsigned>, PciNames>
lookupPciNames(std::istream& ids, const std::vector<std::pair<unsigned, unsigned>>& wanted);

// A description in the shape Windows gives its adapters ("NVIDIA GeForce RTX 3060",
// "Intel UHD Graphics 770"): a short vendor name, then the marketing name pci.ids keeps in
// brackets, or the device name when there is none. Chip code names such as "GT2" stay out,
// since the adapter keywords would mistake them for a discrete card.
std::string adapterDescription(unsigned vendor, unsigned device, const PciNames& names);

// The descriptions of every display device; the first readable pci.ids path is used.
std::vector<std::string> pciAdapterNames(const std::string& sysRoot,
                                         const std::vector<std::string>& idsPaths);

} // namespace zolven::sensors::platform
