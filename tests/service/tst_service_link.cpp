// The service's device link found by USB ids through the port monitor: a display plugged in
// after the start is fed without a restart, one that goes away is looked for again, and the
// journal gets one line for each. The checks are called by hand; the list and the monitor are
// stand-ins for the machine's.

#include "device/PortMonitor.h"
#include "device/Transport.h"
#include "service/Service.h"
#include "tests/device/TestSupport.h"

#include <QTest>

#include <memory>

using zolven::PortEntry;

class ServiceLinkTest : public QObject
{
    Q_OBJECT

private slots:
    void displayPluggedInLater();
};

void ServiceLinkTest::displayPluggedInLater()
{
    zolven::Service service(zolven::readServiceSettings(QString()));
    QList<PortEntry> ports{{QStringLiteral("ttyS0"), 0, 0}};
    int taken = 0;
    auto monitor = std::make_unique<zolven::PortMonitor>();
    zolven::PortMonitor* announce = monitor.get();
    service.link().transport()->setPortSource(
        [&] {
            ++taken;
            return ports;
        },
        std::move(monitor));
    QList<QByteArray> frames;
    connect(&service.link(), &zolven::DeviceLink::frameSent,
            [&frames](const QByteArray& f) { frames.append(f); });
    const auto checks = [&](int n) {
        for (int i = 0; i < n; ++i)
            service.road().check();
    };

    LogCapture log;
    checks(5);
    QVERIFY(!service.link().isConnected());
    QCOMPARE(taken, 1);

    auto device = std::make_unique<PtyDevice>();
    QVERIFY(device->isValid());
    ports.append({device->name(), 0x1F3A, 0x0008});
    emit announce->changed();
    checks(1);
    QVERIFY(service.link().isConnected());
    checks(6);
    QCOMPARE(frames.size(), 1);
    QCOMPARE(device->takeAtLeast(zolven::kFrameSize).size(), zolven::kFrameSize);

    // Unplugged: the write fails, the link drops, the next checks look for it again.
    device.reset();
    ports.removeLast();
    emit announce->changed();
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            checks(1);
            return !service.link().isConnected();
        }(),
        20000);
    checks(3);
    QVERIFY(!service.link().isConnected());

    device = std::make_unique<PtyDevice>();
    QVERIFY(device->isValid());
    ports.append({device->name(), 0x1A86, 0x5D3B});
    emit announce->changed();
    checks(7);
    QVERIFY(service.link().isConnected());
    QCOMPARE(device->takeAtLeast(zolven::kFrameSize).size(), zolven::kFrameSize);

    // Not a line per check: one for each connection and one for the loss.
    QStringList lines;
    const QStringList all = log.lines();
    for (const QString& line : all) {
        if (line.startsWith(QLatin1String("Connected")) || line.startsWith(QLatin1String("Lost")))
            lines.append(line);
    }
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines.at(0).startsWith(QLatin1String("Connected to the display on ")));
    QVERIFY(lines.at(1).startsWith(QLatin1String("Lost the display on ")));
    QVERIFY(lines.at(2).startsWith(QLatin1String("Connected to the display on ")));
}

QTEST_GUILESS_MAIN(ServiceLinkTest)
#include "tst_service_link.moc"
