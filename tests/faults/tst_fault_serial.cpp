// The device link under port faults: every write fails, the device vanishes at every
// connection, the device stops reading. The link drops and comes back, nothing spins, and the
// host does not pile up frames nobody reads.

#include "LogCapture.h"
#include "tests/device/TestSupport.h"

#include "app/Sysctl.h"
#include "device/Frame.h"
#include "device/Transport.h"

#include <QDir>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using zolven::PortEntry;
using zolven::sensors::Metric;

class FaultSerialTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void everyWriteFails();
    void deviceVanishesAtEveryConnection();
    void deviceStopsReading_data();
    void deviceStopsReading();

private:
    std::unique_ptr<Sysctl> controller(const std::function<QList<PortEntry>()>& lister);

    std::unique_ptr<QTemporaryDir> m_root;
};

void FaultSerialTest::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    QVERIFY(QDir().mkpath(m_root->filePath("app")));
    qputenv("XDG_CONFIG_HOME", m_root->filePath("xdg").toLocal8Bit());
}

void FaultSerialTest::cleanup()
{
    m_root.reset();
}

std::unique_ptr<Sysctl> FaultSerialTest::controller(const std::function<QList<PortEntry>()>& lister)
{
    auto c = std::make_unique<Sysctl>(m_root->filePath("app"));
    c->transport()->setPortLister(lister);
    c->set_send_cpu_temperature(45);
    c->setIsShowFah(true);
    return c;
}

void FaultSerialTest::everyWriteFails()
{
    PtyDevice device;
    QVERIFY(device.isValid());
    auto c = controller([&] { return QList<PortEntry>{{device.name(), 0x1F3A, 0x0008}}; });
    auto* port = c->transport()->findChild<QSerialPort*>();
    QVERIFY(port);
    // Connected after the transport: each frame is handed to the port, which then fails.
    connect(c.get(), &Sysctl::emitSendData, port,
            [port] { emit port->errorOccurred(QSerialPort::WriteError); });

    QSignalSpy frames(c.get(), &Sysctl::emitSendData);
    QSignalSpy changed(c.get(), &Sysctl::isConnectedChanged);
    QSignalSpy errors(c->transport(), &Transport::emitError);
    LogCapture log;
    // Connect, six checks without a frame, a frame that fails: seven checks a round.
    for (int round = 1; round <= 5; ++round) {
        for (int i = 0; i < 7; ++i)
            c->handlerCheckConnected();
        QCOMPARE(frames.count(), round);
        QCOMPARE(errors.count(), round);
        QCOMPARE(changed.count(), round);
        QVERIFY(!c->getIsConnected());
        QVERIFY(!port->isOpen());
    }
    QCOMPARE(log.count("open ok"), 5);
    // The failures cost neither the metrics nor the settings.
    const auto last = zolven::decodeFrame(frames.last().at(0).toByteArray());
    QVERIFY(last && last->fahrenheit && (*last)[Metric::CpuTemp] == 45u);
    QVERIFY(c->getIsShowFah());
}

void FaultSerialTest::deviceVanishesAtEveryConnection()
{
    auto device = std::make_unique<PtyDevice>();
    QVERIFY(device->isValid());
    QString name = device->name();
    auto c = controller([&] { return QList<PortEntry>{{name, 0x1A86, 0x5D3B}}; });
    QSignalSpy errors(c->transport(), &Transport::emitError);
    LogCapture log;

    for (int round = 0; round < 5; ++round) {
        c->handlerCheckConnected();
        QVERIFY(c->getIsConnected());
        errors.clear();
        device->hangUp();
        QVERIFY(errors.wait(3000));
        QVERIFY(!c->getIsConnected());
        QVERIFY(!c->transport()->isOpen());
        // A closed port is quiet: no stream of errors from a line that is gone.
        QTest::qWait(200);
        QVERIFY2(errors.count() <= 2, qPrintable(QString::number(errors.count())));

        // The old name is gone too; trying it fails cleanly.
        log.clear();
        c->handlerCheckConnected();
        QVERIFY(!c->getIsConnected());
        QCOMPARE(log.lines(), QStringList{"open error"});

        device = std::make_unique<PtyDevice>();
        QVERIFY(device->isValid());
        name = device->name();
    }
    // Back for good: the seventh check sends, and the frame arrives whole.
    for (int i = 0; i < 7; ++i)
        c->handlerCheckConnected();
    const auto frame = zolven::decodeFrame(device->takeAtLeast(zolven::kFrameSize));
    QVERIFY(frame && (*frame)[Metric::CpuTemp] == 45u);
}

void FaultSerialTest::deviceStopsReading_data()
{
    QTest::addColumn<bool>("holdsLine");
    // The kernel's buffer fills, then the port's own.
    QTest::newRow("reads nothing") << false;
    // Flow control: nothing leaves the port's own buffer.
    QTest::newRow("holds the line") << true;
}

void FaultSerialTest::deviceStopsReading()
{
    QFETCH(bool, holdsLine);
    PtyDevice device;
    QVERIFY(device.isValid());
    auto c = controller([&] { return QList<PortEntry>{{device.name(), 0x1F3A, 0x0008}}; });
    auto* port = c->transport()->findChild<QSerialPort*>();
    QVERIFY(port);
    QByteArray newest;
    connect(c.get(), &Sysctl::emitSendData, this, [&](const QByteArray& f) { newest = f; });
    c->handlerCheckConnected();
    QVERIFY(c->getIsConnected());
    if (holdsLine)
        device.holdLine(true);
    LogCapture log;
    for (int i = 0; i < 20000; ++i) {
        c->handlerCheckConnected();
        if (i % 64 == 0)
            QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    QVERIFY(c->getIsConnected());
    // A frame that cannot leave is worth nothing once the next one is due: the backlog stays
    // small however long the device hangs.
    QVERIFY2(port->bytesToWrite() <= 64 * zolven::kFrameSize,
             qPrintable(QString::number(port->bytesToWrite())));
    // Said when the dropping starts, not for every frame dropped.
    QCOMPARE(log.linesStartingWith("[slotSendData]").size(), 1);

    // Reading again, the device gets the newest frame and nothing older after it. Only what the
    // far end of a pseudo-terminal took in before it stalled (its 4 KiB line buffer, the
    // device's own buffer in effect) comes first.
    c->set_send_cpu_temperature(77);
    c->handlerCheckConnected();
    if (holdsLine)
        device.holdLine(false);
    QByteArray wire;
    QTRY_VERIFY((wire += device.take(), port->bytesToWrite() == 0));
    QTest::qWait(50);
    wire += device.take();
    const qsizetype at = wire.indexOf(newest);
    QVERIFY2(at >= 0 && at <= (holdsLine ? 0 : 4095), qPrintable(QString::number(at)));
    QCOMPARE(wire.size(), at + zolven::kFrameSize);
    QCOMPARE((*zolven::decodeFrame(newest))[Metric::CpuTemp], 77u);

    // The next frame arrives whole.
    c->handlerCheckConnected();
    const QByteArray next = device.takeAtLeast(zolven::kFrameSize);
    QCOMPARE(next, newest);
}

QTEST_GUILESS_MAIN(FaultSerialTest)
#include "tst_fault_serial.moc"
