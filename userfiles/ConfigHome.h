#pragma once

#include <string>

namespace zolven::userfiles {

// The user's config folder by the XDG rules: $XDG_CONFIG_HOME when it is absolute (a relative
// one is ignored), else the home folder's .config. The home folder is $HOME, else the account's;
// it must be absolute, exist and not be "/": a missing home is never made, and "/" is no one's.
// Empty when there is no usable home. The folder itself need not exist yet.
std::string configHome();

// The home folder by the rules above; empty when there is none.
std::string homeFolder();

// configHome() + "/ZOLVEN", the folder of config.ini and monitor.conf; empty without a home.
std::string appConfigFolder();

} // namespace zolven::userfiles
