#pragma once

#include <QString>

namespace zolven {

// Where config.ini lives. Beside the executable when this user may write that folder: a build
// tree, an unpacked copy, the Windows program (which runs elevated). Otherwise, as for a copy
// installed under /usr, in the user's config folder: $XDG_CONFIG_HOME/ZOLVEN/config.ini
// (default ~/.config).
QString settingsFilePath(const QString& appDir);

// Makes the folder that is to hold the settings file, before the first write to it.
bool makeSettingsFolder(const QString& settingsPath);

} // namespace zolven
