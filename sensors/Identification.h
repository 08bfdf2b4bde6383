#pragma once

// Naming the CPU and the GPU for the window. The choices are pure functions; the platform
// parts (CPUID, display-adapter enumeration) sit behind sensors/platform/.

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace zolven::sensors {

// The brand bytes up to the first NUL, as UTF-8, without surrounding white space.
QString cpuBrandFromBytes(const std::string& raw);

// Reads and logs the processor's brand text.
QString readCpuBrand();

struct GpuChoice
{
    QString name;
    bool discrete = false;
};

// Picks the adapter to show: the last one naming a discrete card, else the last integrated
// one, else "Unknown GPU". Logs each adapter and the outcome.
GpuChoice chooseGpuName(const QStringList& descriptions);

// chooseGpuName over the system's display adapters.
GpuChoice findGpuName();

// Replaces the system's adapter enumeration (null restores it). For tests, whose outcome
// must not depend on the graphics cards of the machine they run on.
using AdapterSource = std::vector<std::string> (*)();
void setAdapterSource(AdapterSource source);

} // namespace zolven::sensors
