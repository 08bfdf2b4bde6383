#pragma once

#include "monitor/Hwmon.h"
#include "monitor/Source.h"

#include <memory>
#include <string>
#include <vector>

namespace zolven::monitor {

class Catalogue;

// The processor: package temperature, total and per-core load, per-core clocks. The load
// baseline is taken here, at discovery, so that the first pass already has a window. A
// temperature monitor.conf names but the machine lacks is described in messages.
std::unique_ptr<Source> discoverCpu(const Roots& roots, const std::vector<HwmonChip>& chips,
                                    const std::vector<ThermalZone>& zones,
                                    const std::string& pinnedTemp, Catalogue& catalogue,
                                    std::vector<std::string>& messages);

} // namespace zolven::monitor
