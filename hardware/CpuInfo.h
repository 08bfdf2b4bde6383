#pragma once

// The processor's name as Linux describes it in /proc/cpuinfo, for the systems (and the uses)
// that do not take it from CPUID.

#include <initializer_list>
#include <string>
#include <string_view>

namespace zolven::hardware {

// The processor's name in /proc/cpuinfo text: the first non-empty one most kernels give, else
// the first non-empty value of the fallback keys, in the order given (ARM kernels often say only
// "Processor" or "Hardware"). Without the blanks around it; "" when there is none.
std::string cpuModelName(std::string_view cpuinfo,
                         std::initializer_list<std::string_view> fallbacks = {});

// The board's name from the device tree (<sysRoot>/firmware/devicetree/base/model), which ARM
// kernels give when /proc/cpuinfo names nothing; "" when there is none.
std::string deviceTreeModel(const std::string& sysRoot = "/sys");

// The same from a file; "" when it cannot be read.
std::string readCpuModelName(std::initializer_list<std::string_view> fallbacks = {},
                             const std::string& path = "/proc/cpuinfo");

} // namespace zolven::hardware
