#pragma once

#include "device/DeviceLink.h"
#include "sensors/hwinfoBridge.h"
#include "service/SensorRoad.h"
#include "service/ServiceOptions.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace zolven {

// The display fed without a window: the refresh worker behind the bridge, the road and the
// device link, with readiness and watchdog pings for the service manager.
class Service : public QObject
{
    Q_OBJECT

public:
    explicit Service(const ServiceSettings& settings, QObject* parent = nullptr);
    // The clock stops, then the bridge stops its worker before it shuts the library down.
    ~Service() override;

    // Logs the start line, starts the worker and the clock.
    void start(int checkIntervalMs = 1000);

    hwinfoBridge& bridge() { return m_bridge; }
    DeviceLink& link() { return m_link; }
    SensorRoad& road() { return m_road; }
    bool isReady() const { return m_ready; }

    // The start line's text.
    static QString startLine(const ServiceSettings& settings, const QString& libraryPath);

private:
    void afterCheck();
    void watchdogTick();

    ServiceSettings m_settings;
    // Declared first, destroyed last: the road and the link take its signals until then.
    hwinfoBridge m_bridge;
    DeviceLink m_link;
    SensorRoad m_road;
    QTimer m_watchdog;
    bool m_ready = false;
    quint64 m_watchdogUsec = 0;
    QElapsedTimer m_clocks;
    quint64 m_lastPasses = 0;
    quint64 m_lastChecks = 0;
    qint64 m_passMovedMs = 0; // when each clock was last seen to move, on m_clocks
    qint64 m_checkMovedMs = 0;
};

} // namespace zolven
