#pragma once

#include <QByteArray>
#include <QObject>

#include <memory>

namespace zolven {

// Tells when the machine's serial devices may have changed, so that the port list, costly to
// take, is taken again only then.
class PortMonitor : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

signals:
    // A serial device came or went.
    void changed();
};

// The platform's monitor, or null where none can be had; then the list has to be taken at
// every check.
std::unique_ptr<PortMonitor> createPortMonitor();

// Linux without udevd: terminal nodes ("tty...") coming and going in a directory, /dev for
// the platform's monitor.
std::unique_ptr<PortMonitor> watchTerminalNodes(const QByteArray& directory);

} // namespace zolven
