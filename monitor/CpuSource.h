#pragma once

#include "monitor/Hwmon.h"
#include "monitor/Source.h"

#include <memory>
#include <vector>

namespace zolven::monitor {

class Catalogue;

// The processor: package temperature, total and per-core load, per-core clocks. The load
// baseline is taken here, at discovery, so that the first pass already has a window.
std::unique_ptr<Source> discoverCpu(const Roots& roots, const std::vector<HwmonChip>& chips,
                                    Catalogue& catalogue);

} // namespace zolven::monitor
