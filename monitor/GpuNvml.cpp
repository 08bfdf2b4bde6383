#include "abi/MonitorAbi.h"
#include "monitor/Catalogue.h"
#include "monitor/GpuSource.h"
#include "monitor/Nvml.h"

#include <cstring>
#include <functional>
#include <vector>

namespace zolven::monitor {
namespace {

using namespace abi;
using nvml::kSuccess;

constexpr unsigned long long kBytesPerMiB = 1024ULL * 1024ULL;

// Whole MB, so that the program's used plus available adds up to what the card offers.
void wholeMb(unsigned long long used, unsigned long long free, double* v)
{
    const unsigned long long usedMb = used / kBytesPerMiB;
    const unsigned long long sumMb = (used + free + kBytesPerMiB / 2) / kBytesPerMiB;
    v[0] = static_cast<double>(usedMb);
    v[1] = static_cast<double>(sumMb > usedMb ? sumMb - usedMb : 0);
}

// Each reading is one NVML query; several readings may share one query's result.
struct Query
{
    std::function<bool(double*)> run; // fills one value per slot
    std::vector<int> slots;
};

class NvmlGpu final : public Source
{
public:
    RuntimePower power;
    bool hasPower = false;
    std::vector<Query> queries;

    void sample(Catalogue& cat, const PassContext&) override
    {
        // Asking the driver about a card in runtime D3 wakes it.
        const bool awake = !hasPower || power.awake();
        double values[4];
        for (auto& q : queries) {
            const bool ok = awake && q.run(values);
            for (std::size_t i = 0; i < q.slots.size(); ++i) {
                if (ok)
                    cat.set(q.slots[i], values[i]);
                else
                    cat.invalidate(q.slots[i]);
            }
        }
    }
};

struct Reading
{
    std::int32_t type;
    std::int32_t readingLocation;
    const char* unit;
    const char* label;
};

struct MetricLabel
{
    const char* label;
    const char* metric;
};
constexpr MetricLabel kMetrics[] = {
    {"GPU Temperature", "GPU temperature"},
    {"GPU Core Load", "GPU load"},
    {"GPU Clock", "GPU clock"},
    {"GPU Fan", "GPU fan"},
    {"GPU Memory Allocated", "GPU memory"},
};

class Builder
{
public:
    Builder(NvmlGpu& gpu, Catalogue& cat, std::int32_t sensor, bool probe)
        : m_gpu(gpu), m_cat(cat), m_sensor(sensor), m_probe(probe)
    {}

    // Declares the readings only when the query answers now: a card that does not support it
    // (NOT_SUPPORTED, NO_PERMISSION) would never answer. A sleeping card is not asked.
    void add(std::function<bool(double*)> run, std::initializer_list<Reading> readings,
             const char* call = nullptr)
    {
        double probe[4];
        if (!run || (m_probe && !run(probe)))
            return;
        Query q{std::move(run), {}};
        for (const auto& r : readings) {
            const int slot = m_cat.addReading(m_sensor, r.type, r.readingLocation, r.unit, r.label);
            if (slot < 0)
                return;
            q.slots.push_back(slot);
        }
        m_gpu.queries.push_back(std::move(q));
        if (call)
            for (const auto& r : readings)
                for (const auto& m : kMetrics)
                    if (std::strcmp(r.label, m.label) == 0)
                        m_cat.note({m.metric, m_cat.sensor(m_sensor).name, call, "NVML"});
    }

private:
    NvmlGpu& m_gpu;
    Catalogue& m_cat;
    std::int32_t m_sensor;
    bool m_probe;
};

} // namespace

std::unique_ptr<Source> discoverNvmlGpu(const nvml::Api& api, void* device,
                                        const hardware::PciDisplayDevice* adapter, Catalogue& cat)
{
    const nvml::Api* a = &api;
    const nvml::Device d = device;
    auto gpu = std::make_unique<NvmlGpu>();
    if (adapter) {
        gpu->power.open(adapter->dir);
        gpu->hasPower = true;
    }
    std::string name = "NVIDIA GPU";
    char buf[96] = {};
    if (api.name && api.name(d, buf, sizeof buf) == kSuccess && buf[0])
        name.assign(buf, strnlen(buf, sizeof buf));
    const std::int32_t sensor = cat.addSensor(SensorDiscreteGpu, "GPU: " + name);
    const bool awake = !gpu->hasPower || gpu->power.awake();
    Builder b(*gpu, cat, sensor, awake);

    std::function<bool(double*)> temperature;
    if (api.temperatureV) {
        temperature = [a, d](double* v) {
            nvml::TemperatureV1 t{nvml::kTemperatureV1Version, nvml::kTemperatureGpu, 0};
            if (a->temperatureV(d, &t) != kSuccess)
                return false;
            v[0] = t.temperature;
            return true;
        };
        double probe;
        if (awake && !temperature(&probe))
            temperature = nullptr; // an older driver that exports the symbol but rejects it
    }
    if (!temperature && api.temperature)
        temperature = [a, d](double* v) {
            unsigned t = 0;
            if (a->temperature(d, nvml::kTemperatureGpu, &t) != kSuccess)
                return false;
            v[0] = t;
            return true;
        };
    b.add(temperature, {{TypeTemperature, ReadingNone, kCelsius, "GPU Temperature"}},
          "nvmlDeviceGetTemperature(V)");

    std::function<bool(double*)> utilization;
    if (api.utilization)
        utilization = [a, d](double* v) {
            nvml::Utilization u{};
            if (a->utilization(d, &u) != kSuccess)
                return false;
            v[0] = u.gpu;
            v[1] = u.memory;
            return true;
        };
    b.add(utilization,
          {{TypeUsage, ReadingNone, "%", "GPU Core Load"},
           {TypeUsage, ReadingNone, "%", "Memory Controller Load"}},
          "nvmlDeviceGetUtilizationRates");

    auto clock = [a, d](int which) -> std::function<bool(double*)> {
        if (!a->clock)
            return nullptr;
        return [a, d, which](double* v) {
            unsigned mhz = 0;
            if (a->clock(d, which, &mhz) != kSuccess)
                return false;
            v[0] = mhz;
            return true;
        };
    };
    b.add(clock(nvml::kClockGraphics), {{TypeClock, ReadingNone, "MHz", "GPU Clock"}},
          "nvmlDeviceGetClockInfo (graphics)");

    std::function<bool(double*)> fan;
    if (api.fanSpeed)
        fan = [a, d](double* v) {
            unsigned percent = 0;
            if (a->fanSpeed(d, &percent) != kSuccess)
                return false;
            v[0] = percent;
            return true;
        };
    b.add(fan, {{TypeFan, ReadingNone, "%", "GPU Fan"}}, "nvmlDeviceGetFanSpeed");

    // _v2 leaves reserved memory out of "used", which is what an application can allocate.
    std::function<bool(double*)> memory;
    if (api.memoryV2) {
        memory = [a, d](double* v) {
            nvml::MemoryV2 m{};
            m.version = nvml::kMemoryV2Version;
            if (a->memoryV2(d, &m) != kSuccess)
                return false;
            wholeMb(m.used, m.free, v);
            return true;
        };
        double probe[2];
        if (awake && !memory(probe))
            memory = nullptr;
    }
    if (!memory && api.memory)
        memory = [a, d](double* v) {
            nvml::Memory m{};
            if (a->memory(d, &m) != kSuccess)
                return false;
            wholeMb(m.used, m.free, v);
            return true;
        };
    b.add(memory,
          {{TypeOther, ReadingGpuMemory, "MB", "GPU Memory Allocated"},
           {TypeOther, ReadingGpuMemory, "MB", "GPU Memory Available"}},
          "nvmlDeviceGetMemoryInfo, in whole MB");

    b.add(clock(nvml::kClockMemory), {{TypeClock, ReadingNone, "MHz", "GPU Memory Frequency"}});

    std::function<bool(double*)> rpm;
    if (api.fanSpeedRpm)
        rpm = [a, d](double* v) {
            nvml::FanSpeedInfoV1 f{nvml::kFanSpeedInfoV1Version, 0, 0};
            if (a->fanSpeedRpm(d, &f) != kSuccess)
                return false;
            v[0] = f.speed;
            return true;
        };
    b.add(rpm, {{TypeOther, ReadingNone, "RPM", "GPU Fan Speed"}});

    std::function<bool(double*)> power;
    if (api.powerUsage)
        power = [a, d](double* v) {
            unsigned mw = 0;
            if (a->powerUsage(d, &mw) != kSuccess)
                return false;
            v[0] = mw / 1000.0;
            return true;
        };
    b.add(power, {{TypeOther, ReadingNone, "W", "GPU Power"}});

    if (gpu->queries.empty()) {
        cat.dropEmptyTail();
        return nullptr;
    }
    return gpu;
}

} // namespace zolven::monitor
