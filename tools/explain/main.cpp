// Prints, per metric, the chip and file our Linux library reads and the step that chose it,
// or what it looked for when the metric is missing. It reads monitor.conf beside itself (or
// the file ZOLVEN_MONITOR_CONFIG names) as the library does beside config.dat, so the answer
// is the one the program gets.
//
//   zolven-explain [--config FILE]

#include "monitor/Config.h"
#include "monitor/Hwmon.h"
#include "monitor/Monitor.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

using namespace zolven::monitor;

namespace {

std::string exeDir()
{
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return ".";
    std::string path(buf, static_cast<std::size_t>(n));
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

const char* orNone(const std::string& s)
{
    return s.empty() ? "(none)" : s.c_str();
}

} // namespace

int main(int argc, char** argv)
{
    std::string path;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--config") == 0 && i + 1 < argc) {
            path = argv[++i];
        } else {
            std::fprintf(stderr, "usage: %s [--config FILE]\n", argv[0]);
            return 2;
        }
    }
    if (path.empty())
        path = configPath(exeDir());

    std::vector<std::string> warnings;
    const MonitorConfig config = loadConfig(path, warnings);
    std::printf("settings: %s%s\n", path.c_str(),
                ::access(path.c_str(), R_OK) == 0 ? "" : " (absent: defaults)");
    for (const auto& w : warnings)
        std::printf("  warning: %s\n", w.c_str());
    std::printf("sys = %s, proc = %s, nvml = %s", config.sysRoot.c_str(), config.procRoot.c_str(),
                orNone(config.nvmlLibrary));
    for (const auto& [key, value] :
         {std::pair<const char*, const std::string&>{"cpu_fan", config.cpuFan},
          {"cpu_temp", config.cpuTemp},
          {"gpu", config.gpu},
          {"gpu_temp", config.gpuTemp}})
        if (!value.empty())
            std::printf(", %s = %s", key, value.c_str());
    std::printf("\n");

    if (!config.replayPath.empty()) {
        std::printf("replaying %s: the readings are the file's, not the machine's\n",
                    config.replayPath.c_str());
        return 0;
    }

    std::printf("\nhwmon chips:\n");
    const auto chips = listHwmonChips(Roots{config.sysRoot, config.procRoot});
    for (const auto& chip : chips)
        std::printf("  %-20s %s%s\n", chip.name.c_str(), chip.dir.c_str(),
                    isGpuHwmon(chip)  ? "  (graphics)"
                    : isSuperIo(chip) ? "  (super-I/O)"
                                      : "");
    if (chips.empty())
        std::printf("  (none)\n");

    Monitor monitor;
    monitor.initialize(64, config);
    for (const auto& m : monitor.messages())
        std::printf("  note: %s\n", m.c_str());

    std::printf("\nmetrics:\n");
    for (const Choice& c : monitor.catalogue().choices()) {
        std::printf("  %-16s %s\n", c.metric.c_str(),
                    c.file.empty() ? "MISSING" : c.sensor.c_str());
        if (!c.file.empty())
            std::printf("  %-16s   file: %s\n", "", c.file.c_str());
        std::printf("  %-16s   why: %s\n", "", c.why.c_str());
    }
    monitor.shutdown();
    return 0;
}
