// portcheck: lists the serial ports with their USB identifiers and tells which one ZOLVEN would
// open, so a user whose adapter reports other identifiers knows what to put under
// [DEVICE] Port= in config.ini. With --watch it lists them again each time the device monitor
// ZOLVEN uses tells of a change, which shows that a display plugged in later will be seen.

#include "device/PortMonitor.h"
#include "device/SerialPorts.h"
#include "device/UsbIds.h"
#include "settings/SettingsFile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QTextStream>

namespace {

QString hex4(quint16 v)
{
    return QStringLiteral("%1").arg(v, 4, 16, QLatin1Char('0'));
}

// Prints the ports and the choice; 0 when ZOLVEN would open a port.
int report(const QString& ini)
{
    QTextStream out(stdout);
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos) {
        out << info.portName() << "  " << info.systemLocation() << "  ";
        quint16 vendor = 0, product = 0;
        if (info.hasVendorIdentifier() && info.hasProductIdentifier())
            out << hex4(info.vendorIdentifier()) << ':' << hex4(info.productIdentifier());
        else if (zolven::usbIdsOfPort(info.portName(), vendor, product))
            // What ZOLVEN falls back to without udev's properties.
            out << hex4(vendor) << ':' << hex4(product) << " (sysfs)";
        else
            out << "----:----";
        out << "  " << info.description() << Qt::endl;
    }
    if (infos.isEmpty())
        out << "no serial ports" << Qt::endl;

    const QString manual = zolven::readManualPort(ini);
    if (!manual.isEmpty()) {
        out << "manual port from " << QDir::toNativeSeparators(QFileInfo(ini).absoluteFilePath())
            << ": " << manual << " (identifiers are not searched)" << Qt::endl;
        return 0;
    }

    const QList<zolven::PortEntry> ports = zolven::availableSerialPorts();
    for (const zolven::DeviceIds& ids : zolven::kDeviceIds) {
        const QString name = zolven::findPort(ports, ids);
        if (!name.isEmpty()) {
            out << "would open " << name << " (" << hex4(ids.vendorId) << ':' << hex4(ids.productId)
                << ')' << Qt::endl;
            return 0;
        }
    }
    QStringList wanted;
    for (const zolven::DeviceIds& ids : zolven::kDeviceIds)
        wanted << hex4(ids.vendorId) + QLatin1Char(':') + hex4(ids.productId);
    out << "no device: no port reports " << wanted.join(QStringLiteral(" or ")) << Qt::endl;
    return 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Lists serial ports and the one ZOLVEN would open."));
    parser.addHelpOption();
    const QCommandLineOption watch(
        QStringLiteral("watch"), QStringLiteral("List again whenever serial devices come or go."));
    parser.addOption(watch);
    parser.addPositionalArgument(
        QStringLiteral("config"),
        QStringLiteral("config.ini to take a manual port from (default: the one beside this "
                       "program)"),
        QStringLiteral("[config.ini]"));
    parser.process(app);

    const QString ini = parser.positionalArguments().value(
        0, QCoreApplication::applicationDirPath() + QStringLiteral("/config.ini"));
    const int found = report(ini);
    if (!parser.isSet(watch))
        return found;

    QTextStream out(stdout);
    const std::unique_ptr<zolven::PortMonitor> monitor = zolven::createPortMonitor();
    if (!monitor) {
        out << "no device monitor here: ZOLVEN takes the port list at every check" << Qt::endl;
        return found;
    }
    QObject::connect(monitor.get(), &zolven::PortMonitor::changed, &app, [ini] {
        QTextStream(stdout) << "-- serial devices changed" << Qt::endl;
        report(ini);
    });
    out << "-- watching for serial devices; Ctrl+C ends" << Qt::endl;
    return QCoreApplication::exec();
}
