#pragma once

#include "monitor/Source.h"
#include "monitor/SysFs.h"

#include <memory>

namespace zolven::monitor {

class Catalogue;

// System memory from /proc/meminfo: load in percent, used and available in MB.
std::unique_ptr<Source> discoverMemory(const Roots& roots, Catalogue& catalogue);

} // namespace zolven::monitor
