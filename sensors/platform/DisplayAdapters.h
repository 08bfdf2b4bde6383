#pragma once

#include <string>
#include <vector>

namespace zolven::sensors::platform {

// Description texts of the display adapters in the system's enumeration order, UTF-8. An
// adapter may appear more than once (Windows lists it once per output).
std::vector<std::string> displayAdapterNames();

} // namespace zolven::sensors::platform
