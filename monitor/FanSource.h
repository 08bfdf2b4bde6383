#pragma once

#include "monitor/Hwmon.h"
#include "monitor/Source.h"

#include <memory>
#include <string>
#include <vector>

namespace zolven::monitor {

class Catalogue;

// One sensor per hwmon chip with fans (graphics cards excepted: their fans belong to the GPU
// sensors). At most one fan in the whole machine is called "CPU Fan"; pinnedCpuFan
// ("<chip name>/fan<N>", e.g. "nct6798/fan2") overrides the guess; one that names no fan
// here is described in messages.
std::vector<std::unique_ptr<Source>> discoverFans(const std::vector<HwmonChip>& chips,
                                                  const std::string& pinnedCpuFan,
                                                  Catalogue& catalogue,
                                                  std::vector<std::string>& messages);

} // namespace zolven::monitor
