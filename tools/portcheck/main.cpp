// portcheck: lists the serial ports with their USB identifiers and tells which one ZOLVEN would
// open, so a user whose adapter reports other identifiers knows what to put under
// [DEVICE] Port= in config.ini.

#include "device/SerialPorts.h"
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

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Lists serial ports and the one ZOLVEN would open."));
    parser.addHelpOption();
    parser.addPositionalArgument(
        QStringLiteral("config"),
        QStringLiteral("config.ini to take a manual port from (default: the one beside this "
                       "program)"),
        QStringLiteral("[config.ini]"));
    parser.process(app);

    QTextStream out(stdout);
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos) {
        out << info.portName() << "  " << info.systemLocation() << "  ";
        if (info.hasVendorIdentifier() && info.hasProductIdentifier())
            out << hex4(info.vendorIdentifier()) << ':' << hex4(info.productIdentifier());
        else
            out << "----:----";
        out << "  " << info.description() << Qt::endl;
    }
    if (infos.isEmpty())
        out << "no serial ports" << Qt::endl;

    const QString ini = parser.positionalArguments().value(
        0, QCoreApplication::applicationDirPath() + QStringLiteral("/config.ini"));
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
