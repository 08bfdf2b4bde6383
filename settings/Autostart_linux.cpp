#include "Autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace zolven {
namespace {

// XDG base directories: an unset, empty or relative XDG_CONFIG_HOME means ~/.config.
QString configHome()
{
    const QString env = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!env.isEmpty() && QDir::isAbsolutePath(env))
        return env;
    return QDir::homePath() + QStringLiteral("/.config");
}

// Escapes for a desktop-entry string value: backslash, and the control characters that would
// break the line.
QString escapeString(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        default:
            out += c;
        }
    }
    return out;
}

// One Exec argument, always quoted: inside the quotes '"', '`', '$' and '\' take a backslash, a
// literal '%' is doubled so it is no field code, and the string escapes apply on top.
QString execValue(const QString& path)
{
    QString quoted = QStringLiteral("\"");
    for (const QChar c : path) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        if (c == u'%')
            quoted += u'%';
        quoted += c;
    }
    quoted += u'"';
    return escapeString(quoted);
}

QString entryPath(const QString& executablePath)
{
    return configHome() + QStringLiteral("/autostart/") + autostartEntryName(executablePath) +
           QStringLiteral(".desktop");
}

} // namespace

QString autostartEntryName(const QString& executablePath)
{
    // The whole file name: there is no ".exe" to take off here.
    return QFileInfo(executablePath).fileName();
}

void applyAutostart(const QString& executablePath, bool enable)
{
    if (autostartEntryName(executablePath).isEmpty())
        return;
    const QString path = entryPath(executablePath);
    if (!enable) {
        QFile::remove(path);
        return;
    }
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return;
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=%1\n"
                                         "Exec=%2\n"
                                         "Terminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n")
                              .arg(escapeString(autostartEntryName(executablePath)),
                                   execValue(QFileInfo(executablePath).absoluteFilePath()));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(entry.toUtf8());
    file.commit();
}

} // namespace zolven
