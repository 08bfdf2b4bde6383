#pragma once

#include <QString>

namespace zolven {

// The user's config folder, the one place of config.ini, the autostart entry and monitor.conf.
// Linux: $XDG_CONFIG_HOME when absolute (a relative one is ignored), else ~/.config, where a
// missing home is never made and never taken as "/"; empty when there is no home. Windows: Qt's
// generic config location.
QString userConfigHome();

// The marker the install step lays down beside an installed program: such a copy never writes
// into its own folder, whoever runs it.
inline constexpr const char* kInstalledMarker = "installed";
bool isInstalledCopy(const QString& appDir);

// Where config.ini lives. Beside the executable when this user may write that folder and the
// copy is not installed: a build tree, an unpacked copy, the Windows program (which runs
// elevated). Otherwise in the user's config folder: userConfigHome() + "/ZOLVEN/config.ini".
// Empty when neither is possible (no home).
QString settingsFilePath(const QString& appDir);

// The service's default: userConfigHome() + "/ZOLVEN/config.ini", empty without a home.
QString userSettingsFilePath();

// Makes the folder that is to hold the settings file, before the first write to it.
bool makeSettingsFolder(const QString& settingsPath, QString* why = nullptr);

} // namespace zolven
