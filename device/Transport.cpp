#include "Transport.h"

#include "device/Frame.h"
#include "device/PortMonitor.h"

#include <QDebug>

namespace {

constexpr qint32 kBaudRate = 1000000;
// Bytes the port may hold unsent: 64 frames, over a minute of telemetry.
constexpr qint64 kMaxBacklog = 64 * zolven::kFrameSize;

} // namespace

Transport::Transport(QObject* parent) : QObject(parent), m_port(new QSerialPort(this))
{
    setPortLister(nullptr);
    connect(m_port, &QSerialPort::readyRead, this, &Transport::slotRead);
    connect(m_port, &QSerialPort::errorOccurred, this, &Transport::slotSerialError);
}

Transport::~Transport()
{
    // Closing may report through errorOccurred; nobody is left to hear it.
    disconnect(m_port, nullptr, this, nullptr);
    if (m_port->isOpen())
        m_port->close();
    delete m_port;
    m_port = nullptr;
}

void Transport::setPortSource(zolven::PortLister lister,
                              std::unique_ptr<zolven::PortMonitor> monitor)
{
    m_ports = std::make_unique<zolven::PortWatch>(std::move(lister), std::move(monitor));
}

void Transport::setPortLister(zolven::PortLister lister)
{
    if (lister)
        setPortSource(std::move(lister), nullptr);
    else
        setPortSource(zolven::availableSerialPorts, zolven::createPortMonitor());
}

bool Transport::connectDevice()
{
    if (!m_manualPort.isEmpty())
        return openPort(m_manualPort);
    const QList<zolven::PortEntry> ports = m_ports->ports();
    for (const zolven::DeviceIds& ids : zolven::kDeviceIds) {
        if (openPortIn(ports, ids))
            return true;
    }
    return false;
}

bool Transport::openPortById(quint16 vendorId, quint16 productId)
{
    return openPortIn(m_ports->ports(), {vendorId, productId});
}

bool Transport::openPortIn(const QList<zolven::PortEntry>& ports, zolven::DeviceIds ids)
{
    const QString name = zolven::findPort(ports, ids);
    // No match leaves the port as it was.
    return !name.isEmpty() && openPort(name);
}

bool Transport::openPort(const QString& name)
{
    // QSerialPort reports closing a closed port as an error; here that is no event at all.
    if (m_port->isOpen())
        m_port->close();
    m_dropping = false;
    m_portName = name;
    m_port->setPortName(name);
    if (!m_port->open(QIODevice::ReadWrite)) {
        // Once for a port that keeps refusing (another program holds it, say), not at every
        // check: the log would fill with one line a second for as long as that lasts.
        if (name != m_refusedPort)
            qDebug().noquote() << "open error";
        m_refusedPort = name;
        return false;
    }
    m_refusedPort.clear();
    qDebug().noquote() << "open ok";
    // Stops at the first refusal and leaves the port open; the next attempt closes it.
    return m_port->setBaudRate(kBaudRate, QSerialPort::AllDirections) &&
           m_port->setDataBits(QSerialPort::Data8) && m_port->setParity(QSerialPort::NoParity) &&
           m_port->setStopBits(QSerialPort::OneStop) &&
           m_port->setFlowControl(QSerialPort::NoFlowControl);
}

bool Transport::isOpen() const
{
    return m_port && m_port->isOpen();
}

void Transport::closePort()
{
    if (m_port && m_port->isOpen())
        m_port->close();
}

void Transport::slotSendData(const QByteArray& dat)
{
    // Fire and forget: the port's buffer drains from the event loop.
    if (!m_port || !m_port->isOpen())
        return;
    // A device that stops reading must not make the host hoard frames without end; a frame
    // still waiting when many newer ones are due is worth nothing.
    if (!m_dropping && m_port->bytesToWrite() + dat.size() > kMaxBacklog) {
        qDebug().noquote() << "[slotSendData] The device is not reading; frames are dropped";
        m_dropping = true;
    }
    // From then on each frame replaces what is still queued, in the port's buffer and the
    // driver's, so a device that reads again gets the newest frame next. The driver takes frames
    // whether the device reads or not, so nothing tells when it reads again: this lasts until the
    // port is opened again, and costs a reading device nothing, its last frame long gone.
    if (m_dropping)
        m_port->clear(QSerialPort::Output);
    m_port->write(dat);
}

void Transport::slotRead()
{
    // The device has nothing to tell us; drop what it sends so the read buffer cannot grow.
    m_port->readAll();
}

void Transport::slotSerialError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError)
        return;
    // An open port failing is most likely a device that went away; should its removal not
    // have been announced, the next attempt must not trust the list kept from before.
    if (m_port->isOpen())
        m_ports->invalidate();
    emit emitError();
}
