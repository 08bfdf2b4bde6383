#pragma once

// The part of NVIDIA's management library (NVML) we use, declared here so that no NVIDIA
// header is needed to build: the library is opened at run time when the driver has one, and
// tests hand in a table of their own functions instead.

#include <string>

namespace zolven::monitor::nvml {

using Return = int; // nvmlReturn_t: 0 is success
using Device = void*;

inline constexpr Return kSuccess = 0;
inline constexpr int kTemperatureGpu = 0;
inline constexpr int kClockGraphics = 0;
inline constexpr int kClockMemory = 2;

struct PciInfo // nvmlPciInfo_t of nvmlDeviceGetPciInfo_v3
{
    char busIdLegacy[16];
    unsigned domain, bus, device, pciDeviceId, pciSubSystemId;
    char busId[32];
};

struct Utilization
{
    unsigned gpu, memory; // percent over the driver's sample period
};

struct Memory
{
    unsigned long long total, free, used; // bytes; used includes reserved memory
};

struct MemoryV2
{
    unsigned version;
    unsigned long long total, reserved, free, used;
};

struct TemperatureV1
{
    unsigned version;
    int sensorType;
    int temperature;
};

struct FanSpeedInfoV1
{
    unsigned version, fan, speed;
};

// Versioned structures carry their size and version: sizeof | version << 24.
inline constexpr unsigned kMemoryV2Version = unsigned(sizeof(MemoryV2)) | 2u << 24;
inline constexpr unsigned kTemperatureV1Version = unsigned(sizeof(TemperatureV1)) | 1u << 24;
inline constexpr unsigned kFanSpeedInfoV1Version = unsigned(sizeof(FanSpeedInfoV1)) | 1u << 24;

extern "C" {
struct Api
{
    // Required.
    Return (*init)();                           // nvmlInit_v2
    Return (*shutdown)();                       // nvmlShutdown
    Return (*deviceCount)(unsigned*);           // nvmlDeviceGetCount_v2
    Return (*handleByIndex)(unsigned, Device*); // nvmlDeviceGetHandleByIndex_v2
    // Optional: a missing one only drops its reading.
    Return (*name)(Device, char*, unsigned);        // nvmlDeviceGetName
    Return (*pciInfo)(Device, PciInfo*);            // nvmlDeviceGetPciInfo_v3
    Return (*temperature)(Device, int, unsigned*);  // nvmlDeviceGetTemperature
    Return (*temperatureV)(Device, TemperatureV1*); // nvmlDeviceGetTemperatureV
    Return (*utilization)(Device, Utilization*);    // nvmlDeviceGetUtilizationRates
    Return (*clock)(Device, int, unsigned*);        // nvmlDeviceGetClockInfo
    Return (*fanSpeed)(Device, unsigned*);          // nvmlDeviceGetFanSpeed (percent)
    Return (*fanSpeedRpm)(Device, FanSpeedInfoV1*); // nvmlDeviceGetFanSpeedRPM
    Return (*memory)(Device, Memory*);              // nvmlDeviceGetMemoryInfo
    Return (*memoryV2)(Device, MemoryV2*);          // nvmlDeviceGetMemoryInfo_v2
    Return (*powerUsage)(Device, unsigned*);        // nvmlDeviceGetPowerUsage (mW)
};
}

bool hasRequired(const Api& api);

// libnvidia-ml opened with dlopen; the caller initialises it through the table.
class Library
{
public:
    Library() = default;
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // False when the file cannot be opened or a required symbol is missing.
    bool open(const std::string& path, std::string* why = nullptr);
    void reset();
    const Api& api() const { return m_api; }

private:
    void* m_handle = nullptr;
    Api m_api{};
};

} // namespace zolven::monitor::nvml
