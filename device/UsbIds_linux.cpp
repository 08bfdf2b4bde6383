#include "UsbIds.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zolven {
namespace {

bool readHex(const QString& path, quint16& out)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bool ok = false;
    const uint value = file.readAll().trimmed().toUInt(&ok, 16);
    if (!ok || value > 0xFFFF)
        return false;
    out = quint16(value);
    return true;
}

} // namespace

bool usbIdsOfPort(const QString& portName, quint16& vendorId, quint16& productId)
{
    if (portName.isEmpty() || portName.contains(QLatin1Char('/')))
        return false;
    // The tty sits below the USB interface (cdc_acm) or the usb-serial port (ch34x and the
    // like); the ids are a few levels up, on the USB device itself.
    QString dir = QFileInfo(QStringLiteral("/sys/class/tty/") + portName).canonicalFilePath();
    while (dir.startsWith(QLatin1String("/sys/devices/"))) {
        quint16 vendor = 0, product = 0;
        if (readHex(dir + QStringLiteral("/idVendor"), vendor) &&
            readHex(dir + QStringLiteral("/idProduct"), product)) {
            vendorId = vendor;
            productId = product;
            return true;
        }
        dir = QFileInfo(dir).path();
    }
    return false;
}

} // namespace zolven
