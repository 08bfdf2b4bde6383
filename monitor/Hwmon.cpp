#include "monitor/Hwmon.h"

#include <algorithm>
#include <cctype>

namespace zolven::monitor {
namespace {

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool startsWith(const std::string& s, const std::string& prefix)
{
    return s.compare(0, prefix.size(), prefix) == 0;
}

struct Label
{
    int channel;
    std::string text;
};

std::vector<Label> tempLabels(const std::string& dir)
{
    std::vector<Label> out;
    for (int n : hwmonChannels(dir, "temp"))
        out.push_back({n, hwmonLabel(dir, "temp", n)});
    return out;
}

bool planFromCoretemp(const HwmonChip& chip, CpuTemperaturePlan& plan)
{
    const auto labels = tempLabels(chip.dir);
    // "Physical id" is what older kernels called the package.
    auto pkg = std::find_if(labels.begin(), labels.end(), [](const Label& l) {
        return l.text == "Package id 0" || l.text == "Physical id 0";
    });
    if (pkg == labels.end())
        return false;
    plan.source = chip.name;
    plan.packagePath = hwmonInput(chip.dir, "temp", pkg->channel);
    for (const auto& l : labels)
        if (startsWith(l.text, "Core "))
            plan.extras.push_back(
                {"CPU Core #" + l.text.substr(5), hwmonInput(chip.dir, "temp", l.channel)});
    return true;
}

// Labels, not channel numbers: kernels before 5.7 swapped temp1 and temp2 of k10temp.
bool planFromAmd(const HwmonChip& chip, CpuTemperaturePlan& plan)
{
    const auto labels = tempLabels(chip.dir);
    const Label* tdie = nullptr;
    const Label* tctl = nullptr;
    for (const auto& l : labels) {
        if (l.text == "Tdie")
            tdie = &l;
        else if (l.text == "Tctl")
            tctl = &l;
    }
    const Label* pick = tdie ? tdie : tctl;
    if (!pick)
        return false;
    plan.source = chip.name;
    plan.packagePath = hwmonInput(chip.dir, "temp", pick->channel);
    for (const auto& l : labels)
        if (startsWith(l.text, "Tccd"))
            plan.extras.push_back(
                {"CPU CCD #" + l.text.substr(4), hwmonInput(chip.dir, "temp", l.channel)});
    return true;
}

bool planFromThermalZones(const Roots& roots, CpuTemperaturePlan& plan)
{
    const std::string base = roots.sys + "/class/thermal";
    const char* preferred[] = {"x86_pkg_temp", "cpu-thermal", "cpu_thermal", "acpitz"};
    const auto zones = listNumbered(base, "thermal_zone");
    for (const char* want : preferred) {
        for (const auto& zone : zones) {
            std::string type;
            if (readLine(base + "/" + zone + "/type", type) && type == want) {
                plan.source = type;
                plan.packagePath = base + "/" + zone + "/temp";
                return true;
            }
        }
    }
    return false;
}

} // namespace

std::vector<HwmonChip> listHwmonChips(const Roots& roots)
{
    std::vector<HwmonChip> chips;
    const std::string base = roots.sys + "/class/hwmon";
    for (const auto& entry : listNumbered(base, "hwmon")) {
        HwmonChip chip;
        chip.dir = base + "/" + entry;
        // Drivers of old kernels kept their attributes in the device directory.
        if (!readLine(chip.dir + "/name", chip.name)) {
            chip.dir += "/device";
            if (!readLine(chip.dir + "/name", chip.name))
                continue;
        }
        chips.push_back(std::move(chip));
    }
    return chips;
}

std::vector<int> hwmonChannels(const std::string& dir, const std::string& kind)
{
    std::vector<int> out;
    const std::string suffix = "_input";
    for (const auto& name : listDir(dir)) {
        if (!startsWith(name, kind) || name.size() <= kind.size() + suffix.size() ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const std::string digits =
            name.substr(kind.size(), name.size() - kind.size() - suffix.size());
        if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        out.push_back(std::stoi(digits));
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::string hwmonLabel(const std::string& dir, const std::string& kind, int channel)
{
    std::string label;
    readLine(dir + "/" + kind + std::to_string(channel) + "_label", label);
    return label;
}

std::string hwmonInput(const std::string& dir, const std::string& kind, int channel)
{
    return dir + "/" + kind + std::to_string(channel) + "_input";
}

CpuTemperaturePlan planCpuTemperature(const Roots& roots, const std::vector<HwmonChip>& chips)
{
    CpuTemperaturePlan plan;
    for (const auto& chip : chips)
        if (chip.name == "coretemp" && planFromCoretemp(chip, plan))
            return plan;
    for (const char* driver : {"zenpower", "k10temp"})
        for (const auto& chip : chips)
            if (chip.name == driver && planFromAmd(chip, plan))
                return plan;
    planFromThermalZones(roots, plan);
    return plan;
}

bool isGpuHwmon(const HwmonChip& chip)
{
    static const char* const drivers[] = {"amdgpu", "radeon", "nouveau", "i915", "xe", "nvidia"};
    if (std::find_if(std::begin(drivers), std::end(drivers),
                     [&](const char* d) { return chip.name == d; }) != std::end(drivers))
        return true;
    std::string cls;
    return readLine(chip.dir + "/device/class", cls) && startsWith(cls, "0x03");
}

int findCpuFan(const std::string& chipDir)
{
    const auto fans = hwmonChannels(chipDir, "fan");
    for (int n : fans) {
        const std::string label = lower(hwmonLabel(chipDir, "fan", n));
        if (label.find("cpu") != std::string::npos || label.find("processor") != std::string::npos)
            return n;
    }
    // nct6775 and friends label no fans, but name their temperature sources; a pwm output
    // that follows the CPU's temperature drives the CPU fan, and pwmN drives fanN.
    for (int n : fans) {
        long long source = 0;
        if (!readInt(chipDir + "/pwm" + std::to_string(n) + "_temp_sel", source) || source <= 0)
            continue;
        const std::string label = hwmonLabel(chipDir, "temp", static_cast<int>(source));
        if (label == "CPUTIN" || startsWith(label, "PECI") ||
            label.find("TSI") != std::string::npos)
            return n;
    }
    return -1;
}

} // namespace zolven::monitor
