#pragma once

#include <string>

namespace zolven::sensors::platform {

// The processor's brand text as raw bytes: on x86 the 48 bytes of extended CPUID leaves
// 0x80000002..4 (EAX, EBX, ECX, EDX each) followed by 16 zero bytes; elsewhere the best
// text the system offers. Not trimmed.
std::string cpuBrandBytes();

} // namespace zolven::sensors::platform
