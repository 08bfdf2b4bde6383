#include "TestSupport.h"

#include "app/Sysctl.h"
#include "device/PortMonitor.h"
#include "device/Transport.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using zolven::PortEntry;
using zolven::PortMonitor;

namespace {

// A port list that counts how often it is taken.
struct FakePorts
{
    QList<PortEntry> list;
    int taken = 0;

    zolven::PortLister lister()
    {
        return [this] {
            ++taken;
            return list;
        };
    }
};

} // namespace

class PortWatchTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void deviceAfterStartFoundAtNextCheckAfterEvent();
    void withoutMonitorListTakenOncePerCheck();
    void portErrorLeadsToReconnection();
    void terminalNodesComingAndGoing();

private:
    // A controller whose list comes from ports, with the returned monitor standing for the
    // platform's, or none.
    PortMonitor* attach(FakePorts& ports, bool withMonitor);

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<Sysctl> m_controller;
};

void PortWatchTest::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    qputenv("XDG_CONFIG_HOME", m_root->filePath(QStringLiteral("xdg")).toLocal8Bit());
    m_controller = std::make_unique<Sysctl>(m_root->path());
}

void PortWatchTest::cleanup()
{
    m_controller.reset();
    m_root.reset();
}

PortMonitor* PortWatchTest::attach(FakePorts& ports, bool withMonitor)
{
    auto monitor = withMonitor ? std::make_unique<PortMonitor>() : nullptr;
    PortMonitor* raw = monitor.get();
    m_controller->transport()->setPortSource(ports.lister(), std::move(monitor));
    return raw;
}

void PortWatchTest::deviceAfterStartFoundAtNextCheckAfterEvent()
{
    FakePorts ports;
    ports.list = {{QStringLiteral("ttyS0"), 0, 0}};
    PortMonitor* monitor = attach(ports, true);
    Sysctl& c = *m_controller;

    for (int i = 0; i < 3; ++i)
        c.handlerCheckConnected();
    QVERIFY(!c.getIsConnected());
    QCOMPARE(ports.taken, 1);

    // Plugged in but not yet announced: the kept list still holds.
    PtyDevice device;
    QVERIFY(device.isValid());
    ports.list.append({device.name(), 0x1A86, 0x5D3B});
    c.handlerCheckConnected();
    QVERIFY(!c.getIsConnected());
    QCOMPARE(ports.taken, 1);

    // Events between two checks cost one list.
    emit monitor->changed();
    emit monitor->changed();
    LogCapture log;
    c.handlerCheckConnected();
    QVERIFY(c.getIsConnected());
    QCOMPARE(ports.taken, 2);
    QCOMPARE(log.lines(), QStringList{QStringLiteral("open ok")});
}

void PortWatchTest::withoutMonitorListTakenOncePerCheck()
{
    FakePorts ports;
    ports.list = {{QStringLiteral("ttyS0"), 0, 0}, {QStringLiteral("ttyS1"), 0x1F3A, 0x0009}};
    attach(ports, false);
    Sysctl& c = *m_controller;

    // Both pairs are looked for in one list.
    for (int i = 0; i < 3; ++i)
        c.handlerCheckConnected();
    QCOMPARE(ports.taken, 3);

    PtyDevice device;
    QVERIFY(device.isValid());
    ports.list.append({device.name(), 0x1F3A, 0x0008});
    c.handlerCheckConnected();
    QVERIFY(c.getIsConnected());
    QCOMPARE(ports.taken, 4);

    // A manual port is opened without looking at any list.
    PtyDevice manual;
    QVERIFY(manual.isValid());
    Transport& t = *c.transport();
    t.setManualPort(manual.name());
    QVERIFY(t.connectDevice());
    QCOMPARE(ports.taken, 4);
    t.slotSendData("m");
    QCOMPARE(manual.takeAtLeast(1), QByteArray("m"));
}

void PortWatchTest::portErrorLeadsToReconnection()
{
    auto first = std::make_unique<PtyDevice>();
    QVERIFY(first->isValid());
    FakePorts ports;
    ports.list = {{first->name(), 0x1F3A, 0x0008}};
    PortMonitor* monitor = attach(ports, true);
    Sysctl& c = *m_controller;
    c.handlerCheckConnected();
    QVERIFY(c.getIsConnected());

    // Unplugged, and its removal never announced: the error alone makes the next check take
    // the list again, once.
    QSignalSpy errors(c.transport(), &Transport::emitError);
    first->hangUp();
    QVERIFY(errors.wait(3000));
    QVERIFY(!c.getIsConnected());
    PtyDevice second;
    QVERIFY(second.isValid());
    ports.list = {{second.name(), 0x1F3A, 0x0008}};
    c.handlerCheckConnected();
    QVERIFY(c.getIsConnected());
    QCOMPARE(ports.taken, 2);

    // Unplugged again, announced this time: the error and the event cost one list together.
    errors.clear();
    second.hangUp();
    QVERIFY(errors.wait(3000));
    emit monitor->changed();
    PtyDevice third;
    QVERIFY(third.isValid());
    ports.list = {{third.name(), 0x1F3A, 0x0008}};
    for (int i = 0; i < 7; ++i)
        c.handlerCheckConnected();
    QVERIFY(c.getIsConnected());
    QCOMPARE(ports.taken, 3);
    QCOMPARE(third.takeAtLeast(zolven::kFrameSize).size(), zolven::kFrameSize);
}

void PortWatchTest::terminalNodesComingAndGoing()
{
    // Where udevd runs, its announcements; elsewhere the device nodes.
    QVERIFY(zolven::createPortMonitor());

    QTemporaryDir dev;
    QVERIFY(dev.isValid());
    auto monitor = zolven::watchTerminalNodes(QFile::encodeName(dev.path()));
    QVERIFY(monitor);
    QSignalSpy changed(monitor.get(), &PortMonitor::changed);

    // Other devices are no sign.
    QVERIFY(writeFile(dev.filePath(QStringLiteral("sda1")), QByteArray()));
    QTest::qWait(100);
    QCOMPARE(changed.count(), 0);

    QVERIFY(writeFile(dev.filePath(QStringLiteral("ttyACM0")), QByteArray()));
    QVERIFY(changed.wait(3000));
    QVERIFY(QFile::remove(dev.filePath(QStringLiteral("ttyACM0"))));
    QVERIFY(changed.wait(3000));
    QCOMPARE(changed.count(), 2);
}

QTEST_GUILESS_MAIN(PortWatchTest)
#include "tst_port_watch.moc"
