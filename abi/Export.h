#pragma once

// How a hardware-monitor library built here exports its C functions: on Windows a .def file
// gives the entry points their ordinals (cmake/Abi.cmake writes it), elsewhere the names must
// stay visible from a library built with hidden visibility.

#if defined(_WIN32)
#define ZOLVEN_ABI_EXPORT extern "C"
#else
#define ZOLVEN_ABI_EXPORT extern "C" __attribute__((visibility("default")))
#endif
