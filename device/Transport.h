#pragma once

#include "device/SerialPorts.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>

#include <memory>

// The one serial port to the device. It finds the device by USB identifiers (or opens the port
// named in the settings), writes the frames it is handed and reports every port error as
// emitError(). It never reads from the device; the controller owns the connection state.
class Transport : public QObject
{
    Q_OBJECT

public:
    explicit Transport(QObject* parent);
    ~Transport() override;

    // Opens the manual port if one is set, else the first identifier pair that opens, else the
    // second, both from one port list. True only when a port opened and took all five
    // settings.
    bool connectDevice();
    bool openPortById(quint16 vendorId, quint16 productId);
    bool isOpen() const;
    void closePort();
    // The port last opened or tried.
    QString portName() const { return m_portName; }

    // A port name that replaces the search by identifiers; empty restores the search.
    void setManualPort(const QString& name) { m_manualPort = name; }
    QString manualPort() const { return m_manualPort; }
    // Where the port list comes from: the lister, taken again when the monitor tells of a
    // change, or at every connection attempt without one. By default the machine's ports and
    // the platform's monitor.
    void setPortSource(zolven::PortLister lister, std::unique_ptr<zolven::PortMonitor> monitor);
    // A lister without a monitor; null restores the default source.
    void setPortLister(zolven::PortLister lister);

signals:
    void emitError();

public slots:
    void slotSendData(const QByteArray& dat);

private slots:
    void slotRead();
    void slotSerialError(QSerialPort::SerialPortError error);

private:
    bool openPort(const QString& name);
    bool openPortIn(const QList<zolven::PortEntry>& ports, zolven::DeviceIds ids);

    QSerialPort* m_port = nullptr;
    std::unique_ptr<zolven::PortWatch> m_ports;
    QString m_manualPort;
    QString m_portName;      // as named to open(), a path on Linux
    bool m_dropping = false; // the device stopped reading on this port: only the newest frame waits
    QString m_refusedPort;   // the port whose last opening failed, said once until one opens
};
