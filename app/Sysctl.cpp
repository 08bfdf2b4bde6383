#include "Sysctl.h"

#include "device/SystemCommands.h"
#include "settings/SettingsLocation.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>

Sysctl::Sysctl(QObject* parent) : Sysctl(QCoreApplication::applicationDirPath(), parent) {}

Sysctl::Sysctl(const QString& appDir, QObject* parent)
    : QObject(parent), m_appDir(appDir), m_configPath(zolven::settingsFilePath(appDir))
{
    qDebug().noquote().nospace() << "[Config] Settings file : " << m_configPath;
    m_link.setFahrenheit(zolven::kDefaultShowFah);
    // The link writes each frame to the port before this signal tells of it.
    connect(&m_link, &zolven::DeviceLink::frameSent, this, &Sysctl::emitSendData);
    connect(&m_link, &zolven::DeviceLink::connectionChecked, this, &Sysctl::isConnectedChanged);

    m_languages = zolven::languageTable();
    m_config = zolven::defaultConfigEntries();

    // The library "./config.dat" and relative paths resolve against the application directory.
    enterAppDir();
    zolven::runUpdaterIfPresent(m_appDir);
}

Sysctl::~Sysctl()
{
    m_link.close();
    syncConfFile();
}

void Sysctl::enterAppDir() const
{
    QDir::setCurrent(m_appDir);
}

void Sysctl::handlerCheckConnected()
{
    m_link.check();
}

void Sysctl::slotPortError()
{
    m_link.dropLink();
}

QString Sysctl::getCPUName()
{
    return zolven::queryCpuName();
}
