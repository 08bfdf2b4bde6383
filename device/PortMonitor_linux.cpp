#include "device/PortMonitor.h"

#include <QSocketNotifier>

#include <libudev.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstring>

namespace zolven {
namespace {

// udevd's announcements for the tty subsystem. These come after udevd has run its rules, so a
// list taken on an "add" already carries the device's USB identifiers; the kernel's own
// events come before those.
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

std::unique_ptr<PortMonitor> createUdevMonitor()
{
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

// Terminal nodes created and removed in a directory: devtmpfs makes /dev/ttyUSB0 and the like
// as the kernel adds the device, with or without udevd.
class NodePortMonitor : public PortMonitor
{
public:
    explicit NodePortMonitor(int fd)
        : m_fd(fd), m_notifier(new QSocketNotifier(fd, QSocketNotifier::Read, this))
    {
        connect(m_notifier, &QSocketNotifier::activated, this, &NodePortMonitor::receive);
    }

    ~NodePortMonitor() override
    {
        delete m_notifier;
        ::close(m_fd);
    }

private:
    void receive()
    {
        alignas(inotify_event) char buffer[4096];
        bool any = false;
        ssize_t n;
        while ((n = ::read(m_fd, buffer, sizeof buffer)) > 0) {
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                // Disks, input devices and the like come and go too; only terminals matter.
                if ((event->mask & IN_Q_OVERFLOW) ||
                    (event->len > 0 && std::strncmp(event->name, "tty", 3) == 0))
                    any = true;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        if (any)
            emit changed();
    }

    int m_fd;
    QSocketNotifier* m_notifier;
};

} // namespace

std::unique_ptr<PortMonitor> watchTerminalNodes(const QByteArray& directory)
{
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0)
        return nullptr;
    if (::inotify_add_watch(fd, directory.constData(),
                            IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO) < 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<NodePortMonitor>(fd);
}

std::unique_ptr<PortMonitor> createPortMonitor()
{
    // Without udevd (containers, build machines) libudev still hands out a monitor, one that
    // never hears anything. Nothing then follows the kernel's device node, no database entry
    // and no permissions, so the node itself is the sign of a device.
    if (::access("/run/udev/control", F_OK) != 0)
        return watchTerminalNodes("/dev");
    return createUdevMonitor();
}

} // namespace zolven
