#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace zolven {

// Started by the system's service manager, not by a user's (which sets MANAGERPID) nor from a
// shell: systemd gives every unit's processes INVOCATION_ID.
bool startedAsSystemService(const QProcessEnvironment& env);

// The configuration file when none is named: /etc/zolven/config.ini for the system service,
// else the tray program's file in the user's config folder (userSettingsFilePath: relative
// XDG_CONFIG_HOME ignored, no usable home means none). Empty when there is none: then the
// defaults apply. env decides only whether this is the system service.
QString defaultServiceConfigPath(const QProcessEnvironment& env);

inline constexpr char kSystemConfigPath[] = "/etc/zolven/config.ini";

struct ServiceOptions
{
    QString configPath; // absolute, or empty for none
    bool debug = false;
    // Set when the command line asked for help or a version, or was wrong: end with this code
    // after printing message.
    int exitCode = -1;
    QString message;
};

// Parses the arguments after the program's name.
ServiceOptions parseServiceOptions(const QStringList& arguments, const QProcessEnvironment& env);

// What the service takes from the tray's settings file; it never writes the file.
struct ServiceSettings
{
    QString path;
    bool found = false;
    bool fahrenheit = false;
    QString manualPort;
};

// A missing file or key means its default.
ServiceSettings readServiceSettings(const QString& path);

} // namespace zolven
