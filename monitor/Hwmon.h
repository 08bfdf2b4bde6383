#pragma once

// hwmon chips (/sys/class/hwmon) and the choices made from them: which temperature is the
// CPU's and which fan is the CPU fan.

#include "monitor/SysFs.h"

#include <string>
#include <vector>

namespace zolven::monitor {

struct HwmonChip
{
    std::string dir; // where the tempN_/fanN_ attributes live
    std::string name;
    std::vector<std::string> files; // the directory's entries, listed once at discovery
};

std::vector<HwmonChip> listHwmonChips(const Roots& roots);
// Channel numbers N for which <kind>N_input exists ("temp", "fan", "in"), ascending.
std::vector<int> hwmonChannels(const std::string& dir, const std::string& kind);
std::vector<int> hwmonChannels(const HwmonChip& chip, const std::string& kind);
// The channel's label file, or "" when it has none.
std::string hwmonLabel(const std::string& dir, const std::string& kind, int channel);
// The same from a listed chip: only files the listing showed are opened.
std::string hwmonLabel(const HwmonChip& chip, const std::string& kind, int channel);
bool hwmonHas(const HwmonChip& chip, const std::string& file);
std::string hwmonInput(const std::string& dir, const std::string& kind, int channel);

// A temperature file in millidegrees and the label we report it under.
struct TempFile
{
    std::string label;
    std::string path;
};

struct CpuTemperaturePlan
{
    std::string source; // driver or thermal zone type that won, for the record
    std::string packagePath;
    // A CPU without a package channel (coretemp before Sandy Bridge): the hottest of these.
    std::vector<std::string> hottestOf;
    std::vector<TempFile> extras; // per-core or per-CCD, labelled so no CPU rule can match
    std::string why;              // the step that chose it, or what was looked for
    std::string pinMissing;       // monitor.conf named a temperature that does not exist
};

struct ThermalZone
{
    std::string type;
    std::string temp; // millidegrees
};

std::vector<ThermalZone> listThermalZones(const Roots& roots);

// The file behind a temperature monitor.conf names, "<chip>/temp<N>" of a hwmon chip or a
// thermal zone's type; "" when the machine has no such temperature.
std::string resolveTemperature(const std::string& pin, const std::vector<ThermalZone>& zones,
                               const std::vector<HwmonChip>& chips);

enum class ZoneKind
{
    Other,
    CpuPackage,
    Cpu,
    Soc,
    Gpu,
    Acpi
};
// What a thermal zone covers, from its type as the device tree or ACPI names it.
ZoneKind zoneKind(const std::string& type);

// The temperature monitor.conf names (cpu_temp = <chip>/temp<N> or a thermal zone's type);
// else the CPU's own driver (coretemp "Package id 0", else its hottest core; zenpower/k10temp
// "Tdie" > "Tctl" > an unlabelled temp1); then a board, EC or laptop driver's CPU temperature;
// then thermal zone x86_pkg_temp; then a super-I/O channel read from the CPU (PECI, TSI, SMBus
// master) > CPUTIN; then thermal zones of the CPU (the hottest when there are several) > the
// SoC's > acpitz (a board zone, not necessarily the CPU).
CpuTemperaturePlan planCpuTemperature(const std::vector<ThermalZone>& zones,
                                      const std::vector<HwmonChip>& chips,
                                      const std::string& pin = {});

// hwmon drivers of graphics cards: their readings belong to the GPU sensors.
bool isGpuHwmon(const HwmonChip& chip);
// Motherboard super-I/O chips, whose unused headers read 0 RPM.
bool isSuperIo(const HwmonChip& chip);

struct CpuFanChoice
{
    int chip = -1; // index into the chip list, -1 for none
    int channel = -1;
    std::string why;
};

// Ranked across all chips: a fan labelled as the CPU's own (never an "opt", pump or AIO
// header), then a super-I/O fan whose PWM follows a CPU temperature source, then a laptop's
// platform fan.
CpuFanChoice findCpuFan(const std::vector<HwmonChip>& chips);

} // namespace zolven::monitor
