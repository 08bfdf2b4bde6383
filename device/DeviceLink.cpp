#include "DeviceLink.h"

#include "device/Transport.h"

namespace zolven {
namespace {

// Checks that pass after a connection before the first frame: the device needs time to start.
constexpr quint8 kChecksBeforeSending = 6;

} // namespace

DeviceLink::DeviceLink(QObject* parent) : QObject(parent), m_transport(new Transport(this))
{
    connect(m_transport, &Transport::emitError, this, &DeviceLink::dropLink);
}

DeviceLink::~DeviceLink()
{
    close();
}

void DeviceLink::check()
{
    if (!m_connected) {
        if (m_transport->connectDevice()) {
            m_connected = true;
            m_sendCountdown = kChecksBeforeSending;
            m_port = m_transport->portName();
            emit connected(m_port);
        }
        emit connectionChecked();
    }
    if (!m_connected)
        return;
    if (m_sendCountdown > 0) {
        --m_sendCountdown;
        return;
    }
    buildFrame(m_metrics, m_fahrenheit, m_frame);
    m_transport->slotSendData(m_frame);
    emit frameSent(m_frame);
}

QString DeviceLink::portName() const
{
    return m_connected ? m_port : QString();
}

void DeviceLink::dropLink()
{
    if (m_transport && m_transport->isOpen())
        m_transport->closePort();
    if (!m_connected)
        return;
    m_connected = false;
    emit disconnected(m_port);
    m_port.clear();
}

void DeviceLink::close()
{
    if (!m_transport)
        return;
    // Closing may report an error; the link is gone by then.
    disconnect(m_transport, nullptr, this, nullptr);
    m_transport->closePort();
    m_connected = false;
}

} // namespace zolven
