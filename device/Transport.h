#pragma once

#include "device/SerialPorts.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>

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
    // second. True only when a port opened and took all five settings.
    bool connectDevice();
    bool openPortById(quint16 vendorId, quint16 productId);
    bool isOpen() const;
    void closePort();

    // A port name that replaces the search by identifiers; empty restores the search.
    void setManualPort(const QString& name) { m_manualPort = name; }
    QString manualPort() const { return m_manualPort; }
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

    QSerialPort* m_port = nullptr;
    zolven::PortLister m_lister;
    QString m_manualPort;
    bool m_dropping = false; // the device stopped reading on this port: only the newest frame waits
};
