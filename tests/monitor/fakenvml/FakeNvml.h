#pragma once

// A stand-in for NVIDIA's management library: one card by default (at 0000:01:00.0, as in the
// intel-nvidia fixture), every answer and every failure under the test's control.

#include "monitor/Nvml.h"

#include <string>
#include <vector>

namespace fakenvml {

using zolven::monitor::nvml::Return;

inline constexpr Return kNotSupported = 3;

struct Gpu
{
    unsigned domain = 0, bus = 1, device = 0;
    std::string name = "NVIDIA GeForce RTX 4090";
    unsigned temperature = 61;
    unsigned utilGpu = 37, utilMemory = 12;
    unsigned clockGraphics = 2520, clockMemory = 10501;
    unsigned fanPercent = 45, fanRpm = 1500;
    unsigned powerMw = 215000;
    unsigned long long totalMiB = 24564, usedMiB = 3072, reservedMiB = 300;
    // Results of the queries; 0 answers.
    Return temperatureResult = 0, utilResult = 0, clockResult = 0, fanResult = 0, fanRpmResult = 0,
           memoryResult = 0, powerResult = 0;
    int queries = 0; // every per-card call made after initialisation
};

struct State
{
    Return initResult = 0;
    int initCalls = 0;
    int shutdownCalls = 0;
    bool initialised = false;
    std::vector<Gpu> gpus{Gpu{}};
    bool withV2 = true; // offer the versioned memory and temperature calls
};

// The state the functions answer from; reset() restores the default card.
State& state();
void reset();

// The functions as a table, the way the library's tests inject them.
zolven::monitor::nvml::Api api();

} // namespace fakenvml
