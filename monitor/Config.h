#pragma once

// Settings of the library, read at every initialise from a small text file: "monitor.conf"
// beside config.dat, else the user's $XDG_CONFIG_HOME/ZOLVEN/monitor.conf, or the file named by
// the environment variable ZOLVEN_MONITOR_CONFIG.
// The program itself has no options; this is how a user points the library elsewhere.
//
//   # comment
//   sys = /sys                        root of sysfs
//   proc = /proc                      root of procfs
//   nvml = libnvidia-ml.so.1          NVIDIA's management library, or "off"
//   pci_ids = /usr/share/misc/pci.ids adapter names
//   cpu_fan = nct6798/fan2            the CPU fan, when the guess is wrong ("<chip>/fan<N>")
//   cpu_temp = nct6798/temp7          the CPU temperature ("<chip>/temp<N>" or a thermal zone type)
//   gpu = 0000:01:00.0                the GPU to report on a machine with several (PCI address,
//                                     or part of the name zolven-explain shows)
//   gpu_temp = amdgpu/temp2           the GPU temperature ("<chip>/temp<N>" or a zone type)
//   record = /tmp/machine.readings    write every pass to this readings file
//   record_passes = 3600              stop recording after this many passes (0: never)
//   replay = machine.readings         serve this readings file instead of the machine
//
// Relative paths are taken from the directory of the file that names them.

#include <string>
#include <vector>

namespace zolven::monitor {

inline constexpr const char* kConfigFileName = "monitor.conf";
inline constexpr const char* kConfigEnvironment = "ZOLVEN_MONITOR_CONFIG";

struct MonitorConfig
{
    std::string sysRoot = "/sys";
    std::string procRoot = "/proc";
    std::string nvmlLibrary = "libnvidia-ml.so.1"; // empty: NVML off
    std::string pciIds = "/usr/share/misc/pci.ids";
    std::string cpuFan;
    std::string cpuTemp;
    std::string gpu;
    std::string gpuTemp;
    std::string recordPath;
    long long recordPasses = 3600;
    std::string replayPath;
};

// Applies the text's settings on top of config; lines it cannot use are described in
// warnings and otherwise ignored.
void parseConfig(const std::string& text, const std::string& baseDir, MonitorConfig& config,
                 std::vector<std::string>& warnings);

// The file to read: the environment's choice, else monitor.conf in libraryDir, else the user's
// when only that one exists (a missing file means defaults).
std::string configPath(const std::string& libraryDir);

// $XDG_CONFIG_HOME/ZOLVEN/monitor.conf (default ~/.config); empty without a home.
std::string userConfigPath();

// Reads the file when it exists (a missing file means defaults).
MonitorConfig loadConfig(const std::string& path, std::vector<std::string>& warnings);

} // namespace zolven::monitor
