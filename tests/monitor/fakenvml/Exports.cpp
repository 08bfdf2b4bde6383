// The fake under NVML's own symbol names, so that the library finds it through dlopen.

#include "FakeNvml.h"

#include "abi/Export.h"

namespace nv = zolven::monitor::nvml;

namespace {
const nv::Api& table()
{
    static const nv::Api t = fakenvml::api();
    return t;
}
} // namespace

ZOLVEN_ABI_EXPORT int nvmlInit_v2()
{
    return table().init();
}
ZOLVEN_ABI_EXPORT int nvmlShutdown()
{
    return table().shutdown();
}
ZOLVEN_ABI_EXPORT int nvmlDeviceGetCount_v2(unsigned* n)
{
    return table().deviceCount(n);
}
ZOLVEN_ABI_EXPORT int nvmlDeviceGetHandleByIndex_v2(unsigned i, nv::Device* d)
{
    return table().handleByIndex(i, d);
}
ZOLVEN_ABI_EXPORT int nvmlDeviceGetName(nv::Device d, char* b, unsigned n)
{
    return table().name(d, b, n);
}
ZOLVEN_ABI_EXPORT int nvmlDeviceGetPciInfo_v3(nv::Device d, nv::PciInfo* p)
{
    return table().pciInfo(d, p);
}
ZOLVEN_ABI_EXPORT int nvmlDeviceGetTemperature(nv::Device d, int s, unsigned* t)
{
    return table().temperature(d, s, t);
}
ZOLVEN_ABI_EXPORT int nvmlDeviceGetTemperatureV(nv::Device d, nv::TemperatureV1* t)
{
    return table().temperatureV(d, t);
}
ZOLVEN_ABI_EXPORT int nvmlDeviceGetUtilizationRates(nv::Device d, nv::Utilization* u)
{
    return table().utilization(d, u);
}
ZOLVEN_ABI_EXPORT int nvmlDeviceGetClockInfo(nv::Device d, int w, unsigned* c)
{
    return table().clock(d, w, c);
}
ZOLVEN_ABI_EXPORT int nvmlDeviceGetFanSpeed(nv::Device d, unsigned* s)
{
    return table().fanSpeed(d, s);
}
ZOLVEN_ABI_EXPORT int nvmlDeviceGetFanSpeedRPM(nv::Device d, nv::FanSpeedInfoV1* f)
{
    return table().fanSpeedRpm(d, f);
}
ZOLVEN_ABI_EXPORT int nvmlDeviceGetMemoryInfo(nv::Device d, nv::Memory* m)
{
    return table().memory(d, m);
}
ZOLVEN_ABI_EXPORT int nvmlDeviceGetMemoryInfo_v2(nv::Device d, nv::MemoryV2* m)
{
    return table().memoryV2(d, m);
}
ZOLVEN_ABI_EXPORT int nvmlDeviceGetPowerUsage(nv::Device d, unsigned* mw)
{
    return table().powerUsage(d, mw);
}
