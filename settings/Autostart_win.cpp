#include "Autostart.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace zolven {

QString autostartEntryName(const QString& executablePath)
{
    // "ZOLVEN.exe" -> "ZOLVEN"
    const QString file = QFileInfo(executablePath).fileName();
    return file.left(qMax<qsizetype>(0, file.size() - 4));
}

void applyAutostart(const QString& executablePath, bool enable)
{
    const QString name = autostartEntryName(executablePath);
    // An empty name would address the key's default value.
    if (name.isEmpty())
        return;
    QSettings run(
        QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"),
        QSettings::NativeFormat);
    if (enable)
        run.setValue(name, QDir::toNativeSeparators(executablePath));
    else
        run.remove(name);
    run.sync();
}

} // namespace zolven
