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

} // namespace zolven
