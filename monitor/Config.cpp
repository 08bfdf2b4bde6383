#include "monitor/Config.h"

#include "monitor/SysFs.h"

#include <cstdlib>
#include <sstream>

namespace zolven::monitor {
namespace {

std::string resolve(const std::string& baseDir, const std::string& path)
{
    if (path.empty() || path[0] == '/' || baseDir.empty())
        return path;
    return baseDir + "/" + path;
}

std::string dirOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The sources a user may name by hand where the library could take a metric from several.
bool parseSourceChoice(const std::string& key, const std::string& value, MonitorConfig& c)
{
    if (key == "cpu_temp")
        c.cpuTemp = value;
    else if (key == "gpu")
        c.gpu = value;
    else if (key == "gpu_temp")
        c.gpuTemp = value;
    else
        return false;
    return true;
}

} // namespace

void parseConfig(const std::string& text, const std::string& baseDir, MonitorConfig& c,
                 std::vector<std::string>& warnings)
{
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        const std::string t = trim(line);
        if (t.empty() || t[0] == '#')
            continue;
        const auto eq = t.find('=');
        if (eq == std::string::npos) {
            warnings.push_back("line " + std::to_string(lineNo) + ": expected key = value");
            continue;
        }
        const std::string key = trim(t.substr(0, eq));
        const std::string value = trim(t.substr(eq + 1));
        if (key == "sys")
            c.sysRoot = resolve(baseDir, value);
        else if (key == "proc")
            c.procRoot = resolve(baseDir, value);
        else if (key == "nvml")
            // A bare library name is left to the dynamic loader's search path.
            c.nvmlLibrary = value == "off"                         ? std::string()
                            : value.find('/') == std::string::npos ? value
                                                                   : resolve(baseDir, value);
        else if (key == "pci_ids")
            c.pciIds = resolve(baseDir, value);
        else if (key == "cpu_fan")
            c.cpuFan = value;
        else if (key == "record")
            c.recordPath = resolve(baseDir, value);
        else if (key == "replay")
            c.replayPath = resolve(baseDir, value);
        else if (key == "record_passes") {
            long long n = 0;
            if (parseInt(value, n) && n >= 0)
                c.recordPasses = n;
            else
                warnings.push_back("line " + std::to_string(lineNo) +
                                   ": record_passes needs a whole number");
        } else if (!parseSourceChoice(key, value, c)) {
            warnings.push_back("line " + std::to_string(lineNo) + ": unknown setting \"" + key +
                               "\"");
        }
    }
}

std::string userConfigPath()
{
    // XDG base directories: an unset, empty or relative XDG_CONFIG_HOME means ~/.config.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg == '/')
        return std::string(xdg) + "/ZOLVEN/" + kConfigFileName;
    const char* home = std::getenv("HOME");
    if (home && *home)
        return std::string(home) + "/.config/ZOLVEN/" + kConfigFileName;
    return std::string();
}

std::string configPath(const std::string& libraryDir)
{
    const char* env = std::getenv(kConfigEnvironment);
    if (env && *env)
        return env;
    const std::string beside =
        (libraryDir.empty() ? std::string(".") : libraryDir) + "/" + kConfigFileName;
    // An installed library's folder is not the user's to write: then the user's own file.
    const std::string user = userConfigPath();
    if (!exists(beside) && !user.empty() && exists(user))
        return user;
    return beside;
}

MonitorConfig loadConfig(const std::string& path, std::vector<std::string>& warnings)
{
    MonitorConfig config;
    std::string text;
    if (!path.empty() && readFile(path, text))
        parseConfig(text, dirOf(path), config, warnings);
    return config;
}

} // namespace zolven::monitor
