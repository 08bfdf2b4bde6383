#include "monitor/FanSource.h"

#include "monitor/Catalogue.h"
#include "sensors/abi/MonitorAbi.h"

namespace zolven::monitor {
namespace {

using namespace abi;

struct Fan
{
    int slot;
    KeptFile file; // RPM
};

class FanSource final : public Source
{
public:
    std::vector<Fan> fans;

    void sample(Catalogue& cat, const PassContext&) override
    {
        long long rpm = 0;
        for (auto& f : fans) {
            if (f.file.readInt(rpm))
                cat.set(f.slot, static_cast<double>(rpm));
            else
                cat.invalidate(f.slot);
        }
    }
};

// "<chip>/fan<N>" -> chip name and N; false when malformed.
bool parsePin(const std::string& pin, std::string& chip, int& channel)
{
    const auto slash = pin.rfind('/');
    if (slash == std::string::npos || pin.compare(slash + 1, 3, "fan") != 0)
        return false;
    chip = pin.substr(0, slash);
    long long n = 0;
    if (!parseInt(pin.substr(slash + 4), n) || n <= 0)
        return false;
    channel = static_cast<int>(n);
    return true;
}

} // namespace

std::vector<std::unique_ptr<Source>> discoverFans(const std::vector<HwmonChip>& chips,
                                                  const std::string& pinnedCpuFan, Catalogue& cat)
{
    std::string pinChip;
    int pinChannel = -1;
    const bool pinned = parsePin(pinnedCpuFan, pinChip, pinChannel);

    std::vector<std::unique_ptr<Source>> sources;
    bool cpuFanTaken = false;
    int systemFanNumber = 1;
    for (const auto& chip : chips) {
        if (isGpuHwmon(chip))
            continue;
        const auto channels = hwmonChannels(chip.dir, "fan");
        if (channels.empty())
            continue;
        int cpuFan = -1;
        if (pinned)
            cpuFan = chip.name == pinChip ? pinChannel : -1;
        else if (!cpuFanTaken)
            cpuFan = findCpuFan(chip.dir);

        auto src = std::make_unique<FanSource>();
        std::int32_t sensor = -1;
        for (int n : channels) {
            const bool isCpu = n == cpuFan && !cpuFanTaken;
            long long rpm = 0;
            // Headers with nothing plugged in read 0; the CPU fan stays even when stopped.
            if (!isCpu && (!readInt(hwmonInput(chip.dir, "fan", n), rpm) || rpm <= 0))
                continue;
            if (sensor < 0)
                sensor = cat.addSensor(SensorFans, chip.name);
            const std::string label =
                isCpu ? std::string("CPU Fan") : "System Fan #" + std::to_string(systemFanNumber++);
            const int slot = cat.addReading(sensor, TypeFan, ReadingNone, "RPM", label);
            if (slot < 0)
                break;
            cpuFanTaken = cpuFanTaken || isCpu;
            src->fans.push_back({slot, KeptFile(hwmonInput(chip.dir, "fan", n))});
        }
        if (!src->fans.empty())
            sources.push_back(std::move(src));
    }
    return sources;
}

} // namespace zolven::monitor
