#include "Service.h"

#include "device/SerialPorts.h"
#include "device/Transport.h"
#include "service/SystemdNotify.h"

#include <QCoreApplication>
#include <QDebug>

namespace zolven {

Service::Service(const ServiceSettings& settings, QObject* parent)
    : QObject(parent), m_settings(settings), m_road(m_bridge, m_link)
{
    m_link.setFahrenheit(settings.fahrenheit);
    m_link.transport()->setManualPort(settings.manualPort);
    connect(&m_road, &SensorRoad::checked, this, &Service::afterCheck);
    connect(&m_link, &DeviceLink::connected, this, [](const QString& port) {
        qInfo().noquote() << "Connected to the display on" << port;
        systemd::notify(
            QStringLiteral("STATUS=Feeding the display on %1").arg(port).toUtf8().constData());
    });
    connect(&m_link, &DeviceLink::disconnected, this, [](const QString& port) {
        qInfo().noquote() << "Lost the display on" << port << "- looking for it again";
        systemd::notify("STATUS=Waiting for the display");
    });
    connect(&m_watchdog, &QTimer::timeout, this, &Service::watchdogTick);
}

Service::~Service()
{
    m_watchdog.stop();
    m_road.stop();
    m_link.close();
    // m_bridge goes last: its destructor waits for the worker, then shuts the library down.
}

QString Service::startLine(const ServiceSettings& settings, const QString& libraryPath)
{
    QString config;
    if (settings.path.isEmpty())
        config = QStringLiteral("none (defaults)");
    else if (!settings.found)
        config = settings.path + QStringLiteral(" (absent: defaults)");
    else
        config = settings.path;
    QString search;
    if (!settings.manualPort.isEmpty()) {
        search = QStringLiteral("port %1 ([DEVICE] Port=)").arg(settings.manualPort);
    } else {
        QStringList ids;
        for (const DeviceIds& d : kDeviceIds)
            ids << QStringLiteral("%1:%2")
                       .arg(d.vendorId, 4, 16, QLatin1Char('0'))
                       .arg(d.productId, 4, 16, QLatin1Char('0'));
        search = QStringLiteral("port by USB ids %1").arg(ids.join(QStringLiteral(", ")));
    }
    return QStringLiteral("zolvend %1: configuration %2, library %3, %4, temperatures in %5")
        .arg(QStringLiteral(ZOLVEN_VERSION), config, libraryPath, search,
             settings.fahrenheit ? QStringLiteral("Fahrenheit") : QStringLiteral("Celsius"));
}

void Service::start(int checkIntervalMs)
{
    qInfo().noquote() << startLine(m_settings, QCoreApplication::applicationDirPath() +
                                                   QStringLiteral("/config.dat"));
    m_bridge.RunAsync();
    m_road.start(checkIntervalMs);
}

void Service::afterCheck()
{
    if (m_ready || m_bridge.passes() == 0)
        return;
    // The library is up (or found unusable, which a restart would not mend) and a check ran.
    m_ready = true;
    systemd::notify(m_link.isConnected() ? "READY=1" : "READY=1\nSTATUS=Waiting for the display");
    m_watchdogUsec = systemd::watchdogIntervalUsec();
    if (m_watchdogUsec > 0) {
        m_clocks.start();
        m_lastPasses = m_bridge.passes();
        m_lastChecks = m_road.checks();
        m_passMovedMs = m_checkMovedMs = 0;
        m_watchdog.start(int(qMax<quint64>(1, m_watchdogUsec / 2000)));
    }
}

void Service::watchdogTick()
{
    // Both clocks must have moved within the watchdog interval: a worker stuck in a library
    // call, or a check stuck on the port, stops the pings and the manager restarts the service.
    const qint64 now = m_clocks.elapsed();
    const quint64 passes = m_bridge.passes();
    const quint64 checks = m_road.checks();
    if (passes != m_lastPasses)
        m_passMovedMs = now;
    if (checks != m_lastChecks)
        m_checkMovedMs = now;
    m_lastPasses = passes;
    m_lastChecks = checks;
    const qint64 limitMs = qint64(m_watchdogUsec / 1000);
    if (now - m_passMovedMs < limitMs && now - m_checkMovedMs < limitMs)
        systemd::notify("WATCHDOG=1");
    else
        qDebug().noquote() << "[Watchdog] No progress: passes" << passes << "checks" << checks;
}

} // namespace zolven
