#include "SerialPorts.h"

#include "device/PortMonitor.h"
#include "device/UsbIds.h"

#include <QSerialPortInfo>

namespace zolven {

QList<PortEntry> availableSerialPorts()
{
    QList<PortEntry> ports;
    const auto infos = QSerialPortInfo::availablePorts();
    ports.reserve(infos.size());
    for (const QSerialPortInfo& info : infos) {
        PortEntry entry{info.portName(), info.vendorIdentifier(), info.productIdentifier()};
        if (!info.hasVendorIdentifier() && !info.hasProductIdentifier())
            usbIdsOfPort(entry.name, entry.vendorId, entry.productId);
        ports.append(entry);
    }
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
    if (m_stale || !m_taken.isValid() || m_taken.hasExpired(kMaxListAgeMs)) {
        m_ports = m_lister();
        m_stale = false;
        m_taken.start();
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
