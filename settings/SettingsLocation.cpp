#include "SettingsLocation.h"

#include <QDir>
#include <QFileInfo>

namespace zolven {

bool isInstalledCopy(const QString& appDir)
{
    return QFileInfo(appDir + QLatin1Char('/') + QLatin1String(kInstalledMarker)).isFile();
}

QString userSettingsFilePath()
{
    const QString home = userConfigHome();
    return home.isEmpty() ? QString() : home + QStringLiteral("/ZOLVEN/config.ini");
}

QString settingsFilePath(const QString& appDir)
{
    if (!isInstalledCopy(appDir) && QFileInfo(appDir).isWritable())
        return appDir + QStringLiteral("/config.ini");
    return userSettingsFilePath();
}

bool makeSettingsFolder(const QString& settingsPath, QString* why)
{
    if (settingsPath.isEmpty()) {
        if (why)
            *why = QStringLiteral("there is no home folder to keep it in");
        return false;
    }
    if (QDir().mkpath(QFileInfo(settingsPath).absolutePath()))
        return true;
    if (why)
        *why = QStringLiteral("its folder cannot be made");
    return false;
}

} // namespace zolven
