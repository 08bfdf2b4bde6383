#include "ServiceOptions.h"

#include "settings/SettingsFile.h"
#include "settings/SettingsLocation.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

namespace zolven {

bool startedAsSystemService(const QProcessEnvironment& env)
{
    return !env.value(QStringLiteral("INVOCATION_ID")).isEmpty() &&
           env.value(QStringLiteral("MANAGERPID")).isEmpty();
}

QString defaultServiceConfigPath(const QProcessEnvironment& env)
{
    if (startedAsSystemService(env))
        return QString::fromLatin1(kSystemConfigPath);
    // The tray program's rule for the user's folder, so both read the same file.
    return userSettingsFilePath();
}

ServiceOptions parseServiceOptions(const QStringList& arguments, const QProcessEnvironment& env)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral(
            "Feeds the ZOLVEN display with the machine's readings, without a desktop.\n"
            "\n"
            "Loads config.dat beside itself. Takes Show Fah and [DEVICE] Port= from the\n"
            "settings file, which it never writes; a missing file or key means its default.\n"
            "Without --config the file is %1 when systemd starts it as a\n"
            "system service (INVOCATION_ID set, MANAGERPID unset), else\n"
            "$XDG_CONFIG_HOME/ZOLVEN/config.ini (default ~/.config/ZOLVEN/config.ini).\n"
            "The library reads the file named by ZOLVEN_MONITOR_CONFIG (one that does not\n"
            "exist means its defaults), else monitor.conf beside config.dat.\n"
            "\n"
            "Logs one line at start and one per connection and disconnection; --debug or\n"
            "QT_LOGGING_RULES turns on every line of the tray program's log.")
            .arg(QLatin1String(kSystemConfigPath)));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays this help."));
    const QCommandLineOption version({QStringLiteral("V"), QStringLiteral("version")},
                                     QStringLiteral("Displays the version."));
    const QCommandLineOption config(QStringLiteral("config"),
                                    QStringLiteral("Reads the settings from <file>."),
                                    QStringLiteral("file"));
    const QCommandLineOption debug({QStringLiteral("v"), QStringLiteral("debug")},
                                   QStringLiteral("Logs every line, each pass's included."));
    parser.addOptions({help, version, config, debug});

    ServiceOptions out;
    if (!parser.parse(arguments)) {
        out.exitCode = 2;
        out.message = parser.errorText() + QStringLiteral("\nTry --help.\n");
        return out;
    }
    if (!parser.positionalArguments().isEmpty()) {
        out.exitCode = 2;
        out.message = QStringLiteral("Unexpected argument: %1\nTry --help.\n")
                          .arg(parser.positionalArguments().constFirst());
        return out;
    }
    if (parser.isSet(help)) {
        out.exitCode = 0;
        out.message = parser.helpText();
        return out;
    }
    if (parser.isSet(version)) {
        out.exitCode = 0;
        out.message = QStringLiteral("zolvend %1\n").arg(QStringLiteral(ZOLVEN_VERSION));
        return out;
    }
    out.debug = parser.isSet(debug);
    out.configPath = parser.isSet(config) ? QFileInfo(parser.value(config)).absoluteFilePath()
                                          : defaultServiceConfigPath(env);
    return out;
}

ServiceSettings readServiceSettings(const QString& path)
{
    ServiceSettings out;
    out.path = path;
    out.fahrenheit = kDefaultShowFah;
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return out;
    out.found = true;
    // Each key on its own: a file written by hand for the service may name only what it changes.
    QList<ConfigEntry> rows = defaultConfigEntries();
    readConfigFile(path, rows);
    out.fahrenheit = rows.at(RowShowFah).value.toBool();
    out.manualPort = readManualPort(path);
    return out;
}

} // namespace zolven
