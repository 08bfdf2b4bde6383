// The controller's settings: config.ini beside the executable and the autostart entry.

#include "Sysctl.h"

#include "device/Transport.h"
#include "settings/Autostart.h"
#include "settings/SettingsLocation.h"

#include <QCoreApplication>
#include <QDebug>

using namespace zolven;

QString Sysctl::configFilePath() const
{
    return m_configPath;
}

bool Sysctl::readConfigFile()
{
    enterAppDir();
    const bool complete = zolven::readConfigFile(configFilePath(), m_config);
    transport()->setManualPort(readManualPort(configFilePath()));
    return complete;
}

void Sysctl::writeConfigFile()
{
    enterAppDir();
    zolven::makeSettingsFolder(configFilePath());
    // A file that cannot be written changes nothing for this run; the values still apply.
    if (!zolven::writeConfigFile(configFilePath(), m_config))
        qDebug() << "[syncConfFile] Cannot write" << configFilePath();
}

void Sysctl::confFileSync()
{
    if (!readConfigFile()) {
        // One missing key discards them all, so the file never mixes old and default values.
        m_config = defaultConfigEntries();
        writeConfigFile();
    }
    m_configLoaded = true;
    setIsAutoRun(m_config.at(RowAutoRun).value.toBool());
    setIsShowFah(m_config.at(RowShowFah).value.toBool());
    setILanguage(m_config.at(RowLanguage).value.toInt());
}

void Sysctl::syncConfFile()
{
    // Never loaded (the window did not come up): the live values are only defaults, and writing
    // them would overwrite the user's settings.
    if (!m_configLoaded)
        return;
    m_config[RowAutoRun].value = m_isAutoRun;
    m_config[RowShowFah].value = getIsShowFah();
    m_config[RowLanguage].value = m_iLanguage;
    writeConfigFile();
}

void Sysctl::setIsAutoRun(bool value)
{
    m_isAutoRun = value;
    applyAutoRun(value);
    emit isAutoRunChanged();
    qDebug().noquote().nospace() << "[setIsAutoRun] " << m_isAutoRun;
}

void Sysctl::setIsShowFah(bool value)
{
    m_link.setFahrenheit(value);
    emit isShowFahChanged();
    qDebug().noquote().nospace() << "[setIsShowFah] " << getIsShowFah();
}

void Sysctl::applyAutoRun(bool enable)
{
    applyAutostart(QCoreApplication::applicationFilePath(), enable);
}
