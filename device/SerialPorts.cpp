#include "SerialPorts.h"

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

QString findPort(const QList<PortEntry>& ports, DeviceIds ids)
{
    for (const PortEntry& port : ports) {
        if (port.vendorId == ids.vendorId && port.productId == ids.productId)
            return port.name;
    }
    return QString();
}

} // namespace zolven
