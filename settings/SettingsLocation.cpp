#include "SettingsLocation.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace zolven {

QString settingsFilePath(const QString& appDir)
{
    const QString fileName = QStringLiteral("config.ini");
    if (QFileInfo(appDir).isWritable())
        return appDir + QLatin1Char('/') + fileName;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/ZOLVEN/") + fileName;
}

bool makeSettingsFolder(const QString& settingsPath)
{
    return QDir().mkpath(QFileInfo(settingsPath).absolutePath());
}

} // namespace zolven
