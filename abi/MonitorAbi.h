#pragma once

// The call contract of the hardware-monitor library (config.dat). The program binds seven entry
// points by export ordinal. On Windows they are real ordinals; on Linux and other POSIX systems
// every library we build exports each one as the C symbol "ordinal_<N>", e.g. ordinal_590.

#include <cstdint>

namespace zolven::abi {

enum Ordinal : int
{
    OrdInitialize = 590,
    OrdShutdown = 906,
    OrdSensorCount = 883,
    OrdBeginPass = 726,
    OrdBeginSensor = 749,
    OrdReserved = 618, // never called, but the library is refused without it
    OrdReadReading = 106,
};

// In binding order.
inline constexpr int kOrdinals[7] = {OrdInitialize,  OrdShutdown, OrdSensorCount, OrdBeginPass,
                                     OrdBeginSensor, OrdReserved, OrdReadReading};

inline constexpr std::int32_t kInitializeFlags = 64;
inline constexpr int kMaxReadingsPerSensor = 512;

// Reading-type codes the program asks for, in the order it asks.
inline constexpr std::int32_t kReadingTypes[5] = {1, 7, 6, 3, 8};

enum ReadingType : std::int32_t
{
    TypeTemperature = 1,
    TypeFan = 3,
    TypeClock = 6,
    TypeUsage = 7,
    TypeOther = 8,
};

enum SensorLocation : std::int32_t
{
    SensorSystemMemory = 10,
    SensorProcessor = 11,
    SensorFans = 12,
    SensorDiscreteGpu = 13,
};

enum ReadingLocation : std::int32_t
{
    ReadingNone = 0,
    ReadingProcessor = 10,
    ReadingIntegratedGpu = 101,
    ReadingGpuMemory = 102,
};

extern "C" {
using InitializeFn = std::int32_t (*)(std::int32_t flags);
using ShutdownFn = void (*)();
using SensorCountFn = std::int32_t (*)();
using BeginPassFn = void (*)();
using BeginSensorFn = void (*)(std::int32_t sensorIndex);
using ReservedFn = void (*)();
// Returns nonzero when the 464-byte record was filled.
using ReadReadingFn = std::uint8_t (*)(std::int32_t type, std::int32_t sensorIndex,
                                       std::int32_t readingIndex, void* record);
}

} // namespace zolven::abi
