#include "device/PortMonitor.h"

#include <QSocketNotifier>

#include <libudev.h>
#include <unistd.h>

#include <cstring>

namespace zolven {
namespace {

// udevd's announcements for the tty subsystem. These come after udevd has run its rules, so a
// list taken on an "add" already carries the device's USB identifiers; the kernel's own
// events come earlier, before them.
class UdevPortMonitor : public PortMonitor
{
public:
    UdevPortMonitor(udev* context, udev_monitor* monitor)
        : m_udev(context), m_monitor(monitor),
          m_notifier(new QSocketNotifier(udev_monitor_get_fd(monitor), QSocketNotifier::Read, this))
    {
        connect(m_notifier, &QSocketNotifier::activated, this, &UdevPortMonitor::receive);
    }

    ~UdevPortMonitor() override
    {
        delete m_notifier;
        udev_monitor_unref(m_monitor);
        udev_unref(m_udev);
    }

private:
    void receive()
    {
        // The socket is non-blocking: take everything queued, tell once.
        bool any = false;
        bool received = false;
        while (udev_device* device = udev_monitor_receive_device(m_monitor)) {
            received = true;
            const char* action = udev_device_get_action(device);
            if (action && (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0))
                any = true;
            udev_device_unref(device);
        }
        // Readable but nothing to read: the queue overflowed and events were lost.
        if (any || !received)
            emit changed();
    }

    udev* m_udev;
    udev_monitor* m_monitor;
    QSocketNotifier* m_notifier;
};

} // namespace

std::unique_ptr<PortMonitor> createPortMonitor()
{
    // Without udevd (containers, build machines) libudev still hands out a monitor, one that
    // never hears anything.
    if (::access("/run/udev/control", F_OK) != 0)
        return nullptr;
    udev* context = udev_new();
    if (!context)
        return nullptr;
    udev_monitor* monitor = udev_monitor_new_from_netlink(context, "udev");
    if (!monitor || udev_monitor_filter_add_match_subsystem_devtype(monitor, "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor) < 0) {
        udev_monitor_unref(monitor);
        udev_unref(context);
        return nullptr;
    }
    return std::make_unique<UdevPortMonitor>(context, monitor);
}

} // namespace zolven
