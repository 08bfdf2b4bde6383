#pragma once

#include "device/Frame.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class Transport;

namespace zolven {

// The device link: the latest value of each metric, the connection and its schedule. One
// check() a second connects while disconnected, lets the check that connected and the five
// after it pass in silence while the device starts, then sends one frame per check. Any port
// error drops the link and the next check connects again. It has no clock of its own: the
// tray's window or the service's road calls check().
class DeviceLink : public QObject
{
    Q_OBJECT
    using Metric = sensors::Metric;

public:
    explicit DeviceLink(QObject* parent = nullptr);
    ~DeviceLink() override;

    void setMetric(Metric m, qint32 value) { m_metrics[m] = value; }
    qint32 metric(Metric m) const { return m_metrics[m]; }

    void setFahrenheit(bool on) { m_fahrenheit = on; }
    bool fahrenheit() const { return m_fahrenheit; }

    void check();
    bool isConnected() const { return m_connected; }
    // The port of the current connection; empty while disconnected.
    QString portName() const;

    // Drops the link after a port error; the next check connects again.
    void dropLink();
    // Closes the port for good (at exit).
    void close();

    Transport* transport() const { return m_transport; }

signals:
    // Emitted at every check made while disconnected, connected or not by it.
    void connectionChecked();
    void connected(const QString& port);
    void disconnected(const QString& port);
    // After the frame was handed to the port.
    void frameSent(const QByteArray& frame);

private:
    MetricStore m_metrics;
    bool m_fahrenheit = false;
    bool m_connected = false;
    quint8 m_sendCountdown = 0;
    QString m_port;
    Transport* m_transport = nullptr;
    QByteArray m_frame;
};

} // namespace zolven
