#include "Sysctl.h"

#include "device/SystemCommands.h"
#include "device/Transport.h"
#include "settings/SettingsLocation.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>

namespace {

// Checks that pass after a connection before the first frame: the device needs time to start.
constexpr quint8 kChecksBeforeSending = 6;

} // namespace

Sysctl::Sysctl(QObject* parent) : Sysctl(QCoreApplication::applicationDirPath(), parent) {}

Sysctl::Sysctl(const QString& appDir, QObject* parent)
    : QObject(parent), m_appDir(appDir), m_configPath(zolven::settingsFilePath(appDir)),
      m_transport(new Transport(this))
{
    qDebug().noquote().nospace() << "[Config] Settings file : " << m_configPath;
    connect(this, &Sysctl::emitSendData, m_transport, &Transport::slotSendData);
    connect(m_transport, &Transport::emitError, this, &Sysctl::slotPortError);

    m_languages = zolven::languageTable();
    m_config = zolven::defaultConfigEntries();

    // The library "./config.dat" and relative paths resolve against the application directory.
    enterAppDir();
    zolven::runUpdaterIfPresent(m_appDir);
}

Sysctl::~Sysctl()
{
    if (m_transport->isOpen())
        m_transport->closePort();
    delete m_transport;
    m_transport = nullptr;
    syncConfFile();
}

void Sysctl::enterAppDir() const
{
    QDir::setCurrent(m_appDir);
}

void Sysctl::handlerCheckConnected()
{
    if (!m_isConnected) {
        if (m_transport->connectDevice()) {
            m_isConnected = true;
            m_sendCountdown = kChecksBeforeSending;
        }
        emit isConnectedChanged();
    }
    if (!m_isConnected)
        return;
    if (m_sendCountdown > 0) {
        --m_sendCountdown;
        return;
    }
    zolven::buildFrame(m_metrics, m_isShowFah, m_frame);
    emit emitSendData(m_frame);
}

void Sysctl::slotPortError()
{
    if (m_transport && m_transport->isOpen())
        m_transport->closePort();
    m_isConnected = false;
}

QString Sysctl::getCPUName()
{
    return zolven::queryCpuName();
}
