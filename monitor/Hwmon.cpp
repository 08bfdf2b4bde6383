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

bool contains(const std::string& s, const char* part)
{
    return s.find(part) != std::string::npos;
}

bool chipInt(const HwmonChip& chip, const std::string& file, long long& out)
{
    return hwmonHas(chip, file) && readInt(chip.dir + "/" + file, out);
}

std::string quoted(const std::string& s)
{
    return "\"" + s + "\"";
}

struct Label
{
    int channel;
    std::string text;
};

std::vector<Label> tempLabels(const HwmonChip& chip)
{
    std::vector<Label> out;
    for (int n : hwmonChannels(chip, "temp"))
        out.push_back({n, hwmonLabel(chip, "temp", n)});
    return out;
}

bool planFromCoretemp(const HwmonChip& chip, CpuTemperaturePlan& plan)
{
    const auto labels = tempLabels(chip);
    // "Physical id" is what older kernels called the package.
    auto pkg = std::find_if(labels.begin(), labels.end(), [](const Label& l) {
        return l.text == "Package id 0" || l.text == "Physical id 0";
    });
    std::vector<std::string> cores;
    for (const auto& l : labels)
        if (startsWith(l.text, "Core ")) {
            cores.push_back(hwmonInput(chip.dir, "temp", l.channel));
            plan.extras.push_back({"CPU Core #" + l.text.substr(5), cores.back()});
        }
    plan.source = chip.name;
    if (pkg != labels.end()) {
        plan.packagePath = hwmonInput(chip.dir, "temp", pkg->channel);
        plan.why = "the CPU's driver coretemp, package channel " + quoted(pkg->text);
        return true;
    }
    if (cores.empty()) {
        plan.extras.clear();
        return false;
    }
    // Core 2 and Nehalem parts have no package sensor; the hottest core is what throttles.
    plan.hottestOf = cores;
    plan.why = "the CPU's driver coretemp has no package channel (CPUs before Sandy Bridge): "
               "the hottest of " +
               std::to_string(cores.size()) + " cores";
    return true;
}

// Labels, not channel numbers: kernels before 5.7 swapped temp1 and temp2 of k10temp.
bool planFromAmd(const HwmonChip& chip, CpuTemperaturePlan& plan)
{
    const auto labels = tempLabels(chip);
    const Label* tdie = nullptr;
    const Label* tctl = nullptr;
    bool anyLabel = false;
    for (const auto& l : labels) {
        anyLabel = anyLabel || !l.text.empty();
        if (l.text == "Tdie")
            tdie = &l;
        else if (l.text == "Tctl")
            tctl = &l;
    }
    const Label* pick = tdie ? tdie : tctl;
    plan.source = chip.name;
    if (pick) {
        plan.packagePath = hwmonInput(chip.dir, "temp", pick->channel);
        plan.why = "the CPU's driver " + chip.name + ", channel " + quoted(pick->text);
    } else if (!anyLabel && !labels.empty() && labels.front().channel == 1) {
        // Families 10h-16h, and Zen parts on kernels that predate their labels, have the one
        // temperature, temp1.
        plan.packagePath = hwmonInput(chip.dir, "temp", 1);
        plan.why = "the CPU's driver " + chip.name + ", its one unlabelled temperature temp1";
        return true;
    } else {
        return false;
    }
    for (const auto& l : labels)
        if (startsWith(l.text, "Tccd"))
            plan.extras.push_back(
                {"CPU CCD #" + l.text.substr(4), hwmonInput(chip.dir, "temp", l.channel)});
    return true;
}

// Board, EC and laptop drivers that report the CPU's temperature under a fixed label.
struct BoardCpuTemp
{
    const char* driver;
    const char* label;
};
constexpr BoardCpuTemp kBoardCpuTemps[] = {
    {"asus_wmi_sensors", "CPU Temperature"},
    {"asusec", "CPU"},
    {"asus-ec-sensors", "CPU"}, // the out-of-tree module's name
    {"dell_smm", "CPU"},
};

bool planFromBoard(const std::vector<HwmonChip>& chips, CpuTemperaturePlan& plan)
{
    for (const auto& want : kBoardCpuTemps)
        for (const auto& chip : chips) {
            if (chip.name != want.driver)
                continue;
            for (const auto& l : tempLabels(chip))
                if (l.text == want.label) {
                    plan.source = chip.name;
                    plan.packagePath = hwmonInput(chip.dir, "temp", l.channel);
                    plan.why = "no CPU driver reports; the board driver " + chip.name +
                               ", channel " + quoted(l.text);
                    return true;
                }
        }
    return false;
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
                plan.why = "no CPU or board driver reports; thermal zone " + quoted(type);
                return true;
            }
        }
    }
    return false;
}

bool isPlatformFanDriver(const std::string& name)
{
    return name == "thinkpad" || name == "dell_smm" || name == "asus";
}

// "CPU Fan", "cpu_fan", "Processor Fan"; never the optional header, a pump or an AIO.
bool namesCpuFan(const std::string& label)
{
    std::string l = lower(label);
    std::replace(l.begin(), l.end(), '_', ' ');
    return (contains(l, "cpu") || contains(l, "processor")) && !contains(l, "opt") &&
           !contains(l, "pump") && !contains(l, "aio") && !contains(l, "water");
}

// How surely a super-I/O temperature source is the CPU's: 2 for sources read from the CPU
// itself (PECI, SB-TSI and TSI, SMBus master 0 where AMD boards read the CPU, the PCH's CPU
// readings), 1 for CPUTIN, a board sensor near the socket, 0 for anything else.
int cpuSourceRank(const std::string& label)
{
    if (startsWith(label, "PECI") || contains(label, "TSI") || label == "SMBUSMASTER 0" ||
        label == "PCH_CPU_TEMP" || label == "PCH_CHIP_CPU_MAX_TEMP")
        return 2;
    return label == "CPUTIN" ? 1 : 0;
}

// sysfs-interface tempN_type: 5 AMD AMDSI, 6 Intel PECI.
bool isCpuTempType(long long type)
{
    return type == 5 || type == 6;
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
        chip.files = listDir(chip.dir);
        chips.push_back(std::move(chip));
    }
    return chips;
}

namespace {

std::vector<int> channelsIn(const std::vector<std::string>& names, const std::string& kind)
{
    std::vector<int> out;
    const std::string suffix = "_input";
    for (const auto& name : names) {
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

} // namespace

std::vector<int> hwmonChannels(const std::string& dir, const std::string& kind)
{
    return channelsIn(listDir(dir), kind);
}

std::vector<int> hwmonChannels(const HwmonChip& chip, const std::string& kind)
{
    return channelsIn(chip.files, kind);
}

std::string hwmonLabel(const std::string& dir, const std::string& kind, int channel)
{
    std::string label;
    readLine(dir + "/" + kind + std::to_string(channel) + "_label", label);
    return label;
}

bool hwmonHas(const HwmonChip& chip, const std::string& file)
{
    return std::binary_search(chip.files.begin(), chip.files.end(), file, naturalLess);
}

// Most chips label few of their channels: a missing label file is not even opened.
std::string hwmonLabel(const HwmonChip& chip, const std::string& kind, int channel)
{
    const std::string file = kind + std::to_string(channel) + "_label";
    std::string label;
    if (hwmonHas(chip, file))
        readLine(chip.dir + "/" + file, label);
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
    if (planFromBoard(chips, plan) || planFromThermalZones(roots, plan))
        return plan;
    plan = CpuTemperaturePlan{};
    plan.why = "looked for coretemp, zenpower and k10temp; a board driver's CPU temperature "
               "(asus_wmi_sensors \"CPU Temperature\", asusec \"CPU\", dell_smm \"CPU\"); "
               "thermal zones x86_pkg_temp, cpu-thermal, cpu_thermal, acpitz";
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

bool isSuperIo(const HwmonChip& chip)
{
    for (const char* prefix : {"nct6", "it8", "w83", "f71", "f81"})
        if (startsWith(chip.name, prefix))
            return true;
    return false;
}

CpuFanChoice findCpuFan(const std::vector<HwmonChip>& chips)
{
    CpuFanChoice choice;
    auto pick = [&](std::size_t chip, int channel, std::string why) {
        choice.chip = static_cast<int>(chip);
        choice.channel = channel;
        choice.why = std::move(why);
    };

    for (std::size_t i = 0; i < chips.size(); ++i) {
        const HwmonChip& chip = chips[i];
        if (isGpuHwmon(chip) || isPlatformFanDriver(chip.name))
            continue;
        for (int n : hwmonChannels(chip, "fan")) {
            const std::string label = hwmonLabel(chip, "fan", n);
            if (namesCpuFan(label)) {
                pick(i, n, "a fan labelled " + quoted(label));
                return choice;
            }
        }
    }

    // nct6775 and friends label no fans, but name their temperature sources; a pwm output
    // that follows the CPU's temperature drives the CPU fan, and pwmN drives fanN. it87 says
    // which channels a pwm follows and what kind of sensor each channel is.
    int bestRank = 0;
    for (std::size_t i = 0; i < chips.size(); ++i) {
        const HwmonChip& chip = chips[i];
        if (!isSuperIo(chip))
            continue;
        // Most pwm outputs follow one of two or three sources: each label is read once.
        std::vector<Label> seen;
        auto sourceLabel = [&](int k) {
            for (const auto& l : seen)
                if (l.channel == k)
                    return l.text;
            seen.push_back({k, hwmonLabel(chip, "temp", k)});
            return seen.back().text;
        };
        for (int n : hwmonChannels(chip, "fan")) {
            if (bestRank == 2)
                break;
            const std::string pwm = "pwm" + std::to_string(n);
            long long v = 0;
            if (chipInt(chip, pwm + "_temp_sel", v) && v > 0) {
                const std::string label = sourceLabel(static_cast<int>(v));
                const int rank = cpuSourceRank(label);
                if (rank > bestRank) {
                    bestRank = rank;
                    pick(i, n,
                         "super-I/O " + pwm + " follows temp" + std::to_string(v) + " " +
                             quoted(label));
                }
            } else if (chipInt(chip, pwm + "_auto_channels_temp", v) && v > 0) {
                for (int k = 1; k <= 16 && bestRank < 2; ++k) {
                    long long type = 0;
                    if ((v & (1LL << (k - 1))) &&
                        chipInt(chip, "temp" + std::to_string(k) + "_type", type) &&
                        isCpuTempType(type)) {
                        bestRank = 2;
                        pick(i, n,
                             "super-I/O " + pwm + " follows temp" + std::to_string(k) +
                                 (type == 6 ? " (Intel PECI)" : " (AMD SI)"));
                    }
                }
            }
        }
    }
    if (bestRank > 0)
        return choice;

    for (std::size_t i = 0; i < chips.size(); ++i) {
        const HwmonChip& chip = chips[i];
        if (!isPlatformFanDriver(chip.name))
            continue;
        for (int n : hwmonChannels(chip, "fan")) {
            const std::string label = hwmonLabel(chip, "fan", n);
            // thinkpad_acpi labels no fans; its fan1 is the one that cools the CPU.
            if ((chip.name == "thinkpad" && n == 1) ||
                (chip.name == "dell_smm" && label == "Processor Fan") ||
                (chip.name == "asus" && label == "cpu_fan")) {
                pick(i, n,
                     "the laptop's platform fan: " + chip.name + " fan" + std::to_string(n) +
                         (label.empty() ? std::string() : " " + quoted(label)));
                return choice;
            }
        }
    }
    choice.why = "looked for a fan labelled CPU or Processor (not opt, pump or AIO); a super-I/O "
                 "fan whose pwm follows CPUTIN, PECI, TSI, SMBUSMASTER 0 or a PCH CPU "
                 "temperature (it87: a PECI or AMD SI channel); a laptop fan (thinkpad fan1, "
                 "dell_smm \"Processor Fan\", asus \"cpu_fan\")";
    return choice;
}

} // namespace zolven::monitor
