#include "monitor/Hwmon.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>

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
    {"asuswmisensors", "CPU Temperature"}, // the out-of-tree module's name
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

// A fan label that says it cools something other than the CPU, or is a pump or flow meter.
bool namesOtherPart(const std::string& label)
{
    const std::string l = lower(label);
    for (const char* part : {"opt", "pump", "aio", "water", "flow", "gpu", "video", "graphic",
                             "vga", "chipset", "pch", "psu", "vrm", "ssd", "nvme"})
        if (contains(l, part))
            return true;
    return false;
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

// Device trees name thermal zones "<part>-thermal" (bindings/thermal/thermal-zones.yaml), the
// part being whatever the board's makers chose: "cpu", "cpu0", "bigcore0", "littlecore",
// "cluster1", "soc", "gpu", "npu", "ddr". ACPI and x86 add "acpitz" and "x86_pkg_temp".
} // namespace

ZoneKind zoneKind(const std::string& type)
{
    std::string t = lower(type);
    if (t == "x86_pkg_temp")
        return ZoneKind::CpuPackage;
    if (t == "acpitz")
        return ZoneKind::Acpi;
    if (contains(t, "gpu"))
        return ZoneKind::Gpu;
    if (startsWith(t, "cpu") || startsWith(t, "cluster") || contains(t, "core"))
        return ZoneKind::Cpu;
    if (startsWith(t, "soc"))
        return ZoneKind::Soc;
    return ZoneKind::Other;
}

namespace {

bool planFromThermalZones(const std::vector<ThermalZone>& zones,
                          std::initializer_list<ZoneKind> kinds, CpuTemperaturePlan& plan)
{
    auto ofKind = [&](ZoneKind kind) {
        std::vector<const ThermalZone*> out;
        for (const auto& z : zones)
            if (zoneKind(z.type) == kind)
                out.push_back(&z);
        return out;
    };
    for (ZoneKind kind : kinds) {
        const auto found = ofKind(kind);
        if (found.empty())
            continue;
        plan.source = found.front()->type;
        if (found.size() == 1) {
            plan.packagePath = found.front()->temp;
            plan.why = "no CPU or board driver reports; thermal zone " + quoted(plan.source) +
                       (kind == ZoneKind::Cpu   ? " (a zone of the CPU)"
                        : kind == ZoneKind::Soc ? " (the SoC's zone; no zone of the CPU alone)"
                                                : "");
            return true;
        }
        // A SoC with a zone per cluster or core: the hottest is what throttles.
        std::string names;
        for (const auto* z : found) {
            plan.hottestOf.push_back(z->temp);
            names += (names.empty() ? "" : ", ") + z->type;
        }
        plan.why =
            "no CPU or board driver reports; the hottest of the CPU's thermal zones " + names;
        return true;
    }
    return false;
}

// A super-I/O or board chip's channel read from the CPU itself (PECI, SB-TSI, SMBus master 0)
// or next to its socket (CPUTIN); machines whose CPU driver is not loaded still have these.
bool planFromSuperIo(const std::vector<HwmonChip>& chips, CpuTemperaturePlan& plan)
{
    int bestRank = 0;
    for (const auto& chip : chips) {
        if (!isSuperIo(chip))
            continue;
        for (const auto& l : tempLabels(chip)) {
            int rank = cpuSourceRank(l.text);
            long long type = 0;
            if (!rank && chipInt(chip, "temp" + std::to_string(l.channel) + "_type", type) &&
                isCpuTempType(type))
                rank = 2;
            if (rank > bestRank) {
                bestRank = rank;
                plan.source = chip.name;
                plan.packagePath = hwmonInput(chip.dir, "temp", l.channel);
                plan.why = "no CPU or board driver reports; super-I/O " + chip.name + " temp" +
                           std::to_string(l.channel) +
                           (l.text.empty() ? std::string(" (a PECI or AMD SI channel)")
                                           : " " + quoted(l.text)) +
                           (rank == 2 ? ", read from the CPU itself" : ", next to the socket");
            }
        }
    }
    return bestRank > 0;
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

std::string resolveTemperature(const std::string& pin, const std::vector<ThermalZone>& zones,
                               const std::vector<HwmonChip>& chips)
{
    const auto slash = pin.rfind('/');
    long long n = 0;
    if (slash != std::string::npos && pin.compare(slash + 1, 4, "temp") == 0 &&
        parseInt(pin.substr(slash + 5), n) && n > 0) {
        const std::string file = "temp" + std::to_string(n) + "_input";
        for (const auto& chip : chips)
            if (chip.name == pin.substr(0, slash) && hwmonHas(chip, file))
                return chip.dir + "/" + file;
        return {};
    }
    for (const auto& z : zones)
        if (z.type == pin)
            return z.temp;
    return {};
}

std::vector<ThermalZone> listThermalZones(const Roots& roots)
{
    std::vector<ThermalZone> zones;
    const std::string base = roots.sys + "/class/thermal";
    for (const auto& zone : listNumbered(base, "thermal_zone")) {
        ThermalZone z;
        if (readLine(base + "/" + zone + "/type", z.type)) {
            z.temp = base + "/" + zone + "/temp";
            zones.push_back(std::move(z));
        }
    }
    return zones;
}

namespace {

bool planFromPin(const std::string& pin, const std::vector<ThermalZone>& zones,
                 const std::vector<HwmonChip>& chips, CpuTemperaturePlan& plan)
{
    plan.packagePath = resolveTemperature(pin, zones, chips);
    plan.source = pin.substr(0, pin.rfind('/'));
    plan.why = "cpu_temp = " + pin + " in monitor.conf";
    return !plan.packagePath.empty();
}

} // namespace

CpuTemperaturePlan planCpuTemperature(const std::vector<ThermalZone>& zones,
                                      const std::vector<HwmonChip>& chips, const std::string& pin)
{
    CpuTemperaturePlan plan;
    if (!pin.empty()) {
        if (planFromPin(pin, zones, chips, plan))
            return plan;
        plan = CpuTemperaturePlan{};
        plan.pinMissing = "cpu_temp = " + pin +
                          " in monitor.conf names no temperature here (\"<chip>/temp<N>\" of a "
                          "hwmon chip, or a thermal zone's type); the library chooses instead";
    }
    const std::string pinMissing = plan.pinMissing;
    auto done = [&] {
        plan.pinMissing = pinMissing;
        if (!pinMissing.empty())
            plan.why = pinMissing + ": " + plan.why;
        return plan;
    };
    for (const auto& chip : chips)
        if (chip.name == "coretemp" && planFromCoretemp(chip, plan))
            return done();
    for (const char* driver : {"zenpower", "k10temp"})
        for (const auto& chip : chips)
            if (chip.name == driver && planFromAmd(chip, plan))
                return done();
    // x86_pkg_temp is the package sensor coretemp would have read; a super-I/O channel is a
    // copy of the CPU's (PECI, TSI) or a board sensor (CPUTIN); the zones after it may not
    // be the CPU's alone.
    if (planFromBoard(chips, plan) || planFromThermalZones(zones, {ZoneKind::CpuPackage}, plan) ||
        planFromSuperIo(chips, plan) ||
        planFromThermalZones(zones, {ZoneKind::Cpu, ZoneKind::Soc, ZoneKind::Acpi}, plan))
        return done();
    plan = CpuTemperaturePlan{};
    plan.why =
        "looked for coretemp, zenpower and k10temp; a board driver's CPU temperature "
        "(asus_wmi_sensors or asuswmisensors \"CPU Temperature\", asusec \"CPU\", "
        "dell_smm \"CPU\"); a super-I/O channel read from the CPU (PECI, TSI, SMBUSMASTER "
        "0, PCH_CPU_TEMP, an it87 PECI or AMD SI channel) or CPUTIN, after thermal zone "
        "x86_pkg_temp; then thermal zones of the CPU (cpu*, *core*, cluster*), then soc*, then "
        "acpitz";
    return done();
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

    // Single-board computers (gpio-fan, pwm-fan), handhelds, mini PCs and many laptops have
    // one fan, on a platform or EC driver, whatever its label says: it cools the CPU. A
    // super-I/O fan that spins, or a label naming another part, says there is more to it.
    int lone = 0, loneChip = -1, loneChannel = -1;
    bool otherFans = false;
    for (std::size_t i = 0; i < chips.size(); ++i) {
        const HwmonChip& chip = chips[i];
        if (isGpuHwmon(chip))
            continue;
        for (int n : hwmonChannels(chip, "fan")) {
            if (isSuperIo(chip)) {
                long long rpm = 0;
                otherFans = otherFans || (readInt(hwmonInput(chip.dir, "fan", n), rpm) && rpm > 0);
                continue;
            }
            ++lone;
            loneChip = static_cast<int>(i);
            loneChannel = n;
        }
    }
    if (lone == 1 && !otherFans) {
        const HwmonChip& chip = chips[static_cast<std::size_t>(loneChip)];
        const std::string label = hwmonLabel(chip, "fan", loneChannel);
        if (!namesOtherPart(label)) {
            pick(static_cast<std::size_t>(loneChip), loneChannel,
                 "the machine's one fan: " + chip.name + " fan" + std::to_string(loneChannel) +
                     (label.empty() ? std::string() : " " + quoted(label)));
            return choice;
        }
    }
    choice.why = "looked for a fan labelled CPU or Processor (not opt, pump or AIO); a super-I/O "
                 "fan whose pwm follows CPUTIN, PECI, TSI, SMBUSMASTER 0 or a PCH CPU "
                 "temperature (it87: a PECI or AMD SI channel); a laptop fan (thinkpad fan1, "
                 "dell_smm \"Processor Fan\", asus \"cpu_fan\"); the machine's one platform or EC "
                 "fan, unless a super-I/O fan spins or its label names another part";
    return choice;
}

} // namespace zolven::monitor
