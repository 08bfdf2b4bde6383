#include "DisplayAdapters.h"

#include "hardware/PciDisplay.h"

namespace zolven::sensors::platform {

std::vector<std::string> displayAdapterNames()
{
    // Debian's pci.ids package installs the first; other distributions use the others.
    return hardware::pciAdapterNames(
        "/sys", {"/usr/share/misc/pci.ids", "/usr/share/hwdata/pci.ids", "/usr/share/pci.ids"});
}

} // namespace zolven::sensors::platform
