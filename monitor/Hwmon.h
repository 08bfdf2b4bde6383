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
};

std::vector<HwmonChip> listHwmonChips(const Roots& roots);
// Channel numbers N for which <kind>N_input exists ("temp", "fan", "in"), ascending.
std::vector<int> hwmonChannels(const std::string& dir, const std::string& kind);
// The channel's label file, or "" when it has none.
std::string hwmonLabel(const std::string& dir, const std::string& kind, int channel);
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
    std::vector<TempFile> extras; // per-core or per-CCD, labelled so no CPU rule can match
};

// coretemp "Package id 0" > zenpower/k10temp "Tdie" > "Tctl" > thermal zones
// x86_pkg_temp > cpu-thermal > acpitz (a board zone, not necessarily the CPU).
CpuTemperaturePlan planCpuTemperature(const Roots& roots, const std::vector<HwmonChip>& chips);

// hwmon drivers of graphics cards: their readings belong to the GPU sensors.
bool isGpuHwmon(const HwmonChip& chip);

// The chip's CPU fan channel, or -1: a fan labelled cpu/processor, else on nct67xx-like
// chips the fan whose pwm follows a CPU temperature source (CPUTIN, PECI, SB-TSI).
int findCpuFan(const std::string& chipDir);

} // namespace zolven::monitor
