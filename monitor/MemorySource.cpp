#include "monitor/MemorySource.h"

#include "abi/MonitorAbi.h"
#include "monitor/Catalogue.h"
#include "monitor/ProcParsers.h"

namespace zolven::monitor {
namespace {

using namespace abi;

class MemorySource final : public Source
{
public:
    KeptFile meminfo;
    int loadSlot = -1, usedSlot = -1, availableSlot = -1;

    void sample(Catalogue& cat, const PassContext&) override
    {
        double percent = 0, used = 0, available = 0;
        if (meminfo.read(m_text) && memoryLoad(parseMemInfo(m_text), percent, used, available)) {
            cat.set(loadSlot, percent);
            cat.set(usedSlot, used);
            cat.set(availableSlot, available);
        } else {
            cat.invalidate(loadSlot);
            cat.invalidate(usedSlot);
            cat.invalidate(availableSlot);
        }
    }

private:
    std::string m_text;
};

} // namespace

std::unique_ptr<Source> discoverMemory(const Roots& roots, Catalogue& cat)
{
    auto src = std::make_unique<MemorySource>();
    std::string text;
    double percent = 0, used = 0, available = 0;
    if (!src->meminfo.open(roots.proc + "/meminfo") || !src->meminfo.read(text) ||
        !memoryLoad(parseMemInfo(text), percent, used, available)) {
        cat.note({"RAM load", {}, {}, "looked for MemTotal and MemAvailable in /proc/meminfo"});
        return nullptr;
    }
    const std::int32_t sensor = cat.addSensor(SensorSystemMemory, "System Memory");
    src->loadSlot = cat.addReading(sensor, TypeOther, ReadingNone, "%", "Physical Memory Load");
    src->usedSlot = cat.addReading(sensor, TypeOther, ReadingNone, "MB", "Physical Memory Used");
    src->availableSlot =
        cat.addReading(sensor, TypeOther, ReadingNone, "MB", "Physical Memory Available");
    cat.note({"RAM load", "System Memory", roots.proc + "/meminfo",
              "MemTotal less MemAvailable (free, buffers and cached on old kernels)"});
    return src;
}

} // namespace zolven::monitor
