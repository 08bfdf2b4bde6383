#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>

namespace zolven {

// One serial port as the enumeration reports it. Ports without USB identifiers report 0 for both.
struct PortEntry
{
    QString name;
    quint16 vendorId = 0;
    quint16 productId = 0;
};

struct DeviceIds
{
    quint16 vendorId;
    quint16 productId;
};

// The device's USB identifiers, in the order they are tried: with both kinds attached, the
// first pair wins.
inline constexpr DeviceIds kDeviceIds[] = {{0x1F3A, 0x0008}, {0x1A86, 0x5D3B}};

// Name of the first listed port with these identifiers; empty when there is none.
QString findPort(const QList<PortEntry>& ports, DeviceIds ids);

// Lists the machine's serial ports in the system's order. Tests substitute their own list.
using PortLister = std::function<QList<PortEntry>()>;

// The machine's serial ports, from QSerialPortInfo::availablePorts().
QList<PortEntry> availableSerialPorts();

class PortMonitor;

// The port list for the connection checks. Taking it walks every tty of the machine, so it is
// taken at the first check and again once the monitor has told of a change, or once the list is
// kMaxListAgeMs old: an announcement can be lost (a full socket queue, a udevd restart), and a
// display plugged in then must still be found. Without a monitor, at every check.
class PortWatch
{
public:
    PortWatch(PortLister lister, std::unique_ptr<PortMonitor> monitor);
    ~PortWatch();
    PortWatch(const PortWatch&) = delete;
    PortWatch& operator=(const PortWatch&) = delete;

    static constexpr qint64 kMaxListAgeMs = 10000;

    QList<PortEntry> ports();
    // The next ports() takes the list again, whatever the monitor said.
    void invalidate() { m_stale = true; }
    bool hasMonitor() const { return m_monitor != nullptr; }

private:
    PortLister m_lister;
    std::unique_ptr<PortMonitor> m_monitor;
    QList<PortEntry> m_ports;
    QElapsedTimer m_taken;
    bool m_stale = true;
};

} // namespace zolven
