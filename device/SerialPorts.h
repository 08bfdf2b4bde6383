#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

#include <functional>

namespace zolven {

// One serial port as the enumeration reports it. Ports without USB identifiers report 0 for both.
struct PortEntry
{
    QString name;
    quint16 vendorId = 0;
    quint16 productId = 0;
};

// Lists the machine's serial ports in the system's order. Tests substitute their own list.
using PortLister = std::function<QList<PortEntry>()>;

// The machine's serial ports, from QSerialPortInfo::availablePorts().
QList<PortEntry> availableSerialPorts();

} // namespace zolven
