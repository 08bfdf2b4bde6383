#include "monitor/FanSource.h"

#include "abi/MonitorAbi.h"
#include "monitor/Catalogue.h"

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
                                                  const std::string& pinnedCpuFan, Catalogue& cat,
                                                  std::vector<std::string>& messages)
{
    std::string pinChip;
    int pinChannel = -1;
    CpuFanChoice cpuFan;
    if (parsePin(pinnedCpuFan, pinChip, pinChannel)) {
        for (std::size_t i = 0; i < chips.size() && cpuFan.chip < 0; ++i)
            if (chips[i].name == pinChip && !isGpuHwmon(chips[i]) &&
                hwmonHas(chips[i], "fan" + std::to_string(pinChannel) + "_input")) {
                cpuFan.chip = static_cast<int>(i);
                cpuFan.channel = pinChannel;
            }
        cpuFan.why = cpuFan.chip >= 0
                         ? "cpu_fan = " + pinnedCpuFan + " in monitor.conf"
                         : "cpu_fan = " + pinnedCpuFan + " in monitor.conf names no fan here";
        if (cpuFan.chip < 0) {
            const std::string named = cpuFan.why;
            cpuFan = findCpuFan(chips);
            cpuFan.why = named + "; the library chooses instead: " + cpuFan.why;
            messages.push_back(named + " (\"<chip>/fan<N>\" of a hwmon chip); the library "
                                       "chooses instead");
        }
    } else {
        cpuFan = findCpuFan(chips);
        if (!pinnedCpuFan.empty()) {
            cpuFan.why = "cpu_fan = " + pinnedCpuFan + " is not <chip>/fan<N>; " + cpuFan.why;
            messages.push_back("cpu_fan = " + pinnedCpuFan +
                               " in monitor.conf is not \"<chip>/fan<N>\"; the library chooses");
        }
    }

    std::vector<std::unique_ptr<Source>> sources;
    std::string cpuFanSensor, cpuFanFile;
    int systemFanNumber = 1;
    for (std::size_t i = 0; i < chips.size(); ++i) {
        const HwmonChip& chip = chips[i];
        if (isGpuHwmon(chip))
            continue;
        const auto channels = hwmonChannels(chip, "fan");
        if (channels.empty())
            continue;
        // Super-I/O headers with nothing plugged in read 0; a laptop's or a board
        // controller's fan that stands still now may spin up later.
        const bool dropStill = isSuperIo(chip);

        auto src = std::make_unique<FanSource>();
        std::int32_t sensor = -1;
        for (int n : channels) {
            const bool isCpu = static_cast<int>(i) == cpuFan.chip && n == cpuFan.channel;
            const std::string input = hwmonInput(chip.dir, "fan", n);
            KeptFile file(input);
            long long rpm = 0;
            if (!isCpu && dropStill && (!file.readInt(rpm) || rpm <= 0))
                continue;
            if (sensor < 0)
                sensor = cat.addSensor(SensorFans, chip.name);
            const std::string label =
                isCpu ? std::string("CPU Fan") : "System Fan #" + std::to_string(systemFanNumber++);
            const int slot = cat.addReading(sensor, TypeFan, ReadingNone, "RPM", label);
            if (slot < 0)
                break;
            if (isCpu) {
                cpuFanSensor = chip.name;
                cpuFanFile = input;
            }
            src->fans.push_back({slot, std::move(file)});
        }
        if (!src->fans.empty())
            sources.push_back(std::move(src));
    }
    cat.note({"CPU fan", cpuFanSensor, cpuFanFile, cpuFan.why});
    return sources;
}

} // namespace zolven::monitor
