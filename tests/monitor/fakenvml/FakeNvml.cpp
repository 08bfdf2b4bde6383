#include "FakeNvml.h"

#include <cstring>

namespace fakenvml {
namespace nv = zolven::monitor::nvml;
namespace {

constexpr Return kUninitialized = 1, kInvalidArgument = 2;
constexpr unsigned long long kMiB = 1024ull * 1024ull;

Gpu* gpuOf(nv::Device d)
{
    if (!state().initialised)
        return nullptr;
    for (auto& g : state().gpus)
        if (&g == d) {
            ++g.queries;
            return &g;
        }
    return nullptr;
}

Return init()
{
    ++state().initCalls;
    state().initialised = state().initResult == 0;
    return state().initResult;
}

Return shutdown()
{
    ++state().shutdownCalls;
    state().initialised = false;
    return 0;
}

Return deviceCount(unsigned* n)
{
    if (!state().initialised)
        return kUninitialized;
    *n = static_cast<unsigned>(state().gpus.size());
    return 0;
}

Return handleByIndex(unsigned i, nv::Device* d)
{
    if (!state().initialised)
        return kUninitialized;
    if (i >= state().gpus.size())
        return kInvalidArgument;
    *d = &state().gpus[i];
    return 0;
}

Return name(nv::Device d, char* buf, unsigned len)
{
    Gpu* g = gpuOf(d);
    if (!g || len == 0)
        return kInvalidArgument;
    std::strncpy(buf, g->name.c_str(), len - 1);
    buf[len - 1] = '\0';
    return 0;
}

Return pciInfo(nv::Device d, nv::PciInfo* p)
{
    Gpu* g = gpuOf(d);
    if (!g)
        return kInvalidArgument;
    std::memset(p, 0, sizeof *p);
    p->domain = g->domain;
    p->bus = g->bus;
    p->device = g->device;
    p->pciDeviceId = 0x268410de;
    return 0;
}

Return temperature(nv::Device d, int sensor, unsigned* t)
{
    Gpu* g = gpuOf(d);
    if (!g || sensor != nv::kTemperatureGpu)
        return kInvalidArgument;
    *t = g->temperature;
    return g->temperatureResult;
}

Return temperatureV(nv::Device d, nv::TemperatureV1* t)
{
    Gpu* g = gpuOf(d);
    if (!g || t->version != nv::kTemperatureV1Version)
        return kInvalidArgument;
    t->temperature = static_cast<int>(g->temperature);
    return g->temperatureResult;
}

Return utilization(nv::Device d, nv::Utilization* u)
{
    Gpu* g = gpuOf(d);
    if (!g)
        return kInvalidArgument;
    u->gpu = g->utilGpu;
    u->memory = g->utilMemory;
    return g->utilResult;
}

Return clock(nv::Device d, int which, unsigned* mhz)
{
    Gpu* g = gpuOf(d);
    if (!g)
        return kInvalidArgument;
    *mhz = which == nv::kClockMemory ? g->clockMemory : g->clockGraphics;
    return g->clockResult;
}

Return fanSpeed(nv::Device d, unsigned* percent)
{
    Gpu* g = gpuOf(d);
    if (!g)
        return kInvalidArgument;
    *percent = g->fanPercent;
    return g->fanResult;
}

Return fanSpeedRpm(nv::Device d, nv::FanSpeedInfoV1* f)
{
    Gpu* g = gpuOf(d);
    if (!g || f->version != nv::kFanSpeedInfoV1Version)
        return kInvalidArgument;
    f->speed = g->fanRpm;
    return g->fanRpmResult;
}

Return memory(nv::Device d, nv::Memory* m)
{
    Gpu* g = gpuOf(d);
    if (!g)
        return kInvalidArgument;
    m->total = g->totalMiB * kMiB;
    m->used = (g->usedMiB + g->reservedMiB) * kMiB; // v1 counts reserved memory as used
    m->free = m->total - m->used;
    return g->memoryResult;
}

Return memoryV2(nv::Device d, nv::MemoryV2* m)
{
    Gpu* g = gpuOf(d);
    if (!g || m->version != nv::kMemoryV2Version)
        return kInvalidArgument;
    m->total = g->totalMiB * kMiB;
    m->reserved = g->reservedMiB * kMiB;
    m->used = g->usedMiB * kMiB;
    m->free = m->total - m->reserved - m->used;
    return g->memoryResult;
}

Return powerUsage(nv::Device d, unsigned* mw)
{
    Gpu* g = gpuOf(d);
    if (!g)
        return kInvalidArgument;
    *mw = g->powerMw;
    return g->powerResult;
}

} // namespace

State& state()
{
    static State s;
    return s;
}

void reset()
{
    state() = State{};
}

nv::Api api()
{
    nv::Api a{};
    a.init = init;
    a.shutdown = shutdown;
    a.deviceCount = deviceCount;
    a.handleByIndex = handleByIndex;
    a.name = name;
    a.pciInfo = pciInfo;
    a.temperature = temperature;
    a.utilization = utilization;
    a.clock = clock;
    a.fanSpeed = fanSpeed;
    a.fanSpeedRpm = fanSpeedRpm;
    a.memory = memory;
    a.powerUsage = powerUsage;
    if (state().withV2) {
        a.temperatureV = temperatureV;
        a.memoryV2 = memoryV2;
    }
    return a;
}

} // namespace fakenvml
