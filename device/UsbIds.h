#pragma once

#include <QString>
#include <QtGlobal>

namespace zolven {

// The USB ids of a serial port's device when the port list gave none: Qt takes them from udev's
// properties, which a machine without udevd (a container, a minimal system) never fills in,
// though the kernel shows them on the port's USB parent. Linux: idVendor and idProduct of the
// nearest folder above /sys/class/tty/<portName> that has both. Windows: nothing to add (false).
bool usbIdsOfPort(const QString& portName, quint16& vendorId, quint16& productId);

} // namespace zolven
