#include "monitor/Config.h"

#include "monitor/SysFs.h"
#include "userfiles/ConfigHome.h"
#include "userfiles/Trust.h"

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
    const std::string folder = userfiles::appConfigFolder();
    return folder.empty() ? std::string() : folder + "/" + kConfigFileName;
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

namespace {

// A setting that names what the library loads, reads or writes is kept only when no other user
// could have put it there; otherwise its default stands. A named file that is missing is left
// to fail where it is used.
void keepTrusted(std::string& value, const std::string& fallback, const char* key,
                 userfiles::Kind kind, std::vector<std::string>& warnings)
{
    if (value == fallback || value.empty() || !exists(value))
        return;
    const std::string why = userfiles::distrustTarget(value, kind);
    if (why.empty())
        return;
    warnings.push_back(std::string(key) + " ignored: " + why);
    value = fallback;
}

} // namespace

MonitorConfig loadConfig(const std::string& path, std::vector<std::string>& warnings)
{
    MonitorConfig config;
    std::string text;
    if (path.empty() || !exists(path))
        return config;
    // Its nvml names code to load, its record a file to write: the file and what it names must
    // be the user's or root's.
    const std::string why = userfiles::distrustTarget(path, userfiles::Kind::File);
    if (!why.empty()) {
        warnings.push_back(std::string(kConfigFileName) + " ignored: " + why);
        return config;
    }
    if (!readFile(path, text))
        return config;
    parseConfig(text, dirOf(path), config, warnings);
    const MonitorConfig defaults;
    using userfiles::Kind;
    keepTrusted(config.sysRoot, defaults.sysRoot, "sys", Kind::Folder, warnings);
    keepTrusted(config.procRoot, defaults.procRoot, "proc", Kind::Folder, warnings);
    keepTrusted(config.pciIds, defaults.pciIds, "pci_ids", Kind::File, warnings);
    keepTrusted(config.replayPath, defaults.replayPath, "replay", Kind::File, warnings);
    // A bare name is left to the loader's search path, which only root may change.
    if (config.nvmlLibrary.find('/') != std::string::npos)
        keepTrusted(config.nvmlLibrary, std::string(), "nvml", Kind::File, warnings);
    if (!config.recordPath.empty()) {
        const std::string folder = dirOf(config.recordPath);
        const std::string distrusted = userfiles::distrustTarget(folder, Kind::Folder);
        if (!distrusted.empty()) {
            warnings.push_back("record ignored: " + distrusted);
            config.recordPath.clear();
        }
    }
    return config;
}

} // namespace zolven::monitor
