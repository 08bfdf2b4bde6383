#include "Autostart.h"

#include "SafeWrite.h"
#include "SettingsLocation.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zolven {
namespace {

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

void warn(const QString& path, const QString& why)
{
    qWarning().noquote().nospace() << "[Autostart] Cannot write " << path << ": " << why;
}

QString entryPath(const QString& executablePath)
{
    const QString home = userConfigHome();
    if (home.isEmpty())
        return QString();
    return home + QStringLiteral("/autostart/") + autostartEntryName(executablePath) +
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
    if (path.isEmpty()) {
        // No home: no entry to remove either.
        if (enable)
            warn(QStringLiteral("the autostart entry"), QStringLiteral("no home folder"));
        return;
    }
    if (!enable) {
        QFile entry(path);
        if (entry.exists() && !entry.remove())
            warn(path, entry.errorString());
        return;
    }
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=%1\n"
                                         "Exec=%2\n"
                                         "Terminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n")
                              .arg(escapeString(autostartEntryName(executablePath)),
                                   execValue(QFileInfo(executablePath).absoluteFilePath()));
    const QByteArray bytes = entry.toUtf8();
    QFile current(path);
    // Rewritten only when it would change: every start applies the setting.
    if (current.open(QIODevice::ReadOnly) && current.readAll() == bytes)
        return;
    current.close();
    QString why;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        warn(path, QStringLiteral("its folder cannot be made"));
    else if (!replaceFile(path, bytes, &why))
        warn(path, why);
}

} // namespace zolven
