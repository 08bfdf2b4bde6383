#include "SerialPorts.h"

#include "device/PortMonitor.h"

#include <QSerialPortInfo>

namespace zolven {

QList<PortEntry> availableSerialPorts()
{
    QList<PortEntry> ports;
    const auto infos = QSerialPortInfo::availablePorts();
    ports.reserve(infos.size());
    for (const QSerialPortInfo& info : infos)
        ports.append({info.portName(), info.vendorIdentifier(), info.productIdentifier()});
    return ports;
}

PortWatch::PortWatch(PortLister lister, std::unique_ptr<PortMonitor> monitor)
    : m_lister(std::move(lister)), m_monitor(std::move(monitor))
{
    if (m_monitor)
        QObject::connect(m_monitor.get(), &PortMonitor::changed, [this] { m_stale = true; });
}

PortWatch::~PortWatch() = default;

QList<PortEntry> PortWatch::ports()
{
    if (!m_monitor)
        return m_lister();
    if (m_stale) {
        m_ports = m_lister();
        m_stale = false;
    }
    return m_ports;
}

QString findPort(const QList<PortEntry>& ports, DeviceIds ids)
{
    for (const PortEntry& port : ports) {
        if (port.vendorId == ids.vendorId && port.productId == ids.productId)
            return port.name;
    }
    return QString();
}

} // namespace zolven
