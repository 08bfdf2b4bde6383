#include "Transport.h"

#include "device/Frame.h"

#include <QDebug>

namespace {

constexpr qint32 kBaudRate = 1000000;
// Bytes the port may hold unsent: 64 frames, over a minute of telemetry.
constexpr qint64 kMaxBacklog = 64 * zolven::kFrameSize;

} // namespace

Transport::Transport(QObject* parent)
    : QObject(parent), m_port(new QSerialPort(this)), m_lister(zolven::availableSerialPorts)
{
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

void Transport::setPortLister(zolven::PortLister lister)
{
    m_lister = lister ? std::move(lister) : zolven::PortLister(zolven::availableSerialPorts);
}

bool Transport::connectDevice()
{
    if (!m_manualPort.isEmpty())
        return openPort(m_manualPort);
    for (const zolven::DeviceIds& ids : zolven::kDeviceIds) {
        if (openPortById(ids.vendorId, ids.productId))
            return true;
    }
    return false;
}

bool Transport::openPortById(quint16 vendorId, quint16 productId)
{
    const QString name = zolven::findPort(m_lister(), {vendorId, productId});
    // No match leaves the port as it was.
    return !name.isEmpty() && openPort(name);
}

bool Transport::openPort(const QString& name)
{
    // QSerialPort reports closing a closed port as an error; here that is no event at all.
    if (m_port->isOpen())
        m_port->close();
    m_dropping = false;
    m_port->setPortName(name);
    if (!m_port->open(QIODevice::ReadWrite)) {
        qDebug().noquote() << "open error";
        return false;
    }
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
    if (error != QSerialPort::NoError)
        emit emitError();
}
