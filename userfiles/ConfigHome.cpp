#include "userfiles/ConfigHome.h"

#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zolven::userfiles {
namespace {

std::string accountHome()
{
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd pw{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &pw, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir)
        return std::string();
    return found->pw_dir;
}

} // namespace

std::string homeFolder()
{
    const char* env = std::getenv("HOME");
    std::string home = env && *env ? std::string(env) : accountHome();
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    struct stat st
    {};
    if (home.empty() || home[0] != '/' || home == "/" || ::stat(home.c_str(), &st) != 0 ||
        !S_ISDIR(st.st_mode))
        return std::string();
    return home;
}

std::string configHome()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg == '/')
        return xdg;
    const std::string home = homeFolder();
    return home.empty() ? std::string() : home + "/.config";
}

std::string appConfigFolder()
{
    const std::string home = configHome();
    return home.empty() ? std::string() : home + "/ZOLVEN";
}

} // namespace zolven::userfiles
