#include "TestSupport.h"

#include "app/Sysctl.h"
#include "device/Frame.h"
#include "device/SystemCommands.h"
#include "device/Transport.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using zolven::PortEntry;
using zolven::sensors::Metric;

namespace {

// A frame with every metric set, in the order of the window's operations.
void storeSample(Sysctl& c)
{
    c.set_send_cpu_temperature(45);
    c.set_send_cpu_frequency(3600);
    c.set_send_cpu_utilization(12);
    c.set_send_cpu_fan_speed(1200);
    c.set_send_gpu_frequency(1500);
    c.set_send_gpu_utilization(30);
    c.set_send_gpu_fan_speed(40);
    c.set_send_gpu_memOcupancy(2048);
    c.set_send_gpu_memTotal(8192);
    c.set_send_gpu_temperature(50);
    c.set_send_ram_usage(63);
}

// The worked example: 45 °C, 1200 RPM, 12 %, 3600 MHz, 30 %, 1500 MHz, 2048 MB of 8192 MB, 40 %,
// 50 °C, 63 %, before the mask.
QByteArray sampleOnWire(bool fahrenheit)
{
    QByteArray f = QByteArray::fromHex("7400"
                                       "2D04B00C0E101E05DC00000800000020000028323F");
    f[1] = fahrenheit ? 1 : 0;
    for (int i = 2; i < f.size(); ++i)
        f[i] = static_cast<char>(static_cast<quint8>(f[i]) ^ zolven::kFrameMask);
    return f;
}

} // namespace

class SysctlTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void noDeviceSendsNothing();
    void seventhCheckSendsFirstFrame();
    void portErrorDropsLinkAndCountdownRestarts();
    void manualPortFromSettings();
    void wrongManualPortFailsCleanly();
    void updaterStartsWhenPresent();
    void cpuNameTakesLineAfterHeading_data();
    void cpuNameTakesLineAfterHeading();
    void cpuNameCommandNamesThisCpu();

private:
    std::unique_ptr<Sysctl> makeController(const QList<PortEntry>& ports);
    // Runs n checks; returns the frames the controller emitted during them.
    int check(Sysctl& c, int n);

    std::unique_ptr<QTemporaryDir> m_root;
    QString m_appDir;
};

void SysctlTest::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    m_appDir = m_root->filePath(QStringLiteral("app"));
    QVERIFY(QDir().mkpath(m_appDir));
    qputenv("XDG_CONFIG_HOME", m_root->filePath(QStringLiteral("xdg")).toLocal8Bit());
}

void SysctlTest::cleanup()
{
    m_root.reset();
}

std::unique_ptr<Sysctl> SysctlTest::makeController(const QList<PortEntry>& ports)
{
    auto c = std::make_unique<Sysctl>(m_appDir);
    c->transport()->setPortLister([ports] { return ports; });
    return c;
}

int SysctlTest::check(Sysctl& c, int n)
{
    QSignalSpy frames(&c, &Sysctl::emitSendData);
    for (int i = 0; i < n; ++i)
        c.handlerCheckConnected();
    return frames.count();
}

void SysctlTest::noDeviceSendsNothing()
{
    auto c = makeController({{QStringLiteral("ttyS0"), 0, 0}});
    QSignalSpy changed(c.get(), &Sysctl::isConnectedChanged);
    LogCapture log;
    QCOMPARE(check(*c, 3), 0);
    QCOMPARE(changed.count(), 3);
    QVERIFY(!c->getIsConnected());
    QCOMPARE(log.lines(), QStringList());
}

void SysctlTest::seventhCheckSendsFirstFrame()
{
    PtyDevice device;
    QVERIFY(device.isValid());
    auto c = makeController({{device.name(), 0x1A86, 0x5D3B}});
    // Stored while nothing is connected; must ride in the first frame.
    storeSample(*c);
    c->setIsShowFah(true);

    QSignalSpy changed(c.get(), &Sysctl::isConnectedChanged);
    QCOMPARE(check(*c, 1), 0);
    QVERIFY(c->getIsConnected());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(check(*c, 5), 0);
    QCOMPARE(changed.count(), 1);

    QCOMPARE(check(*c, 1), 1);
    // Everything on the line so far is the one frame: nothing left during the countdown.
    const QByteArray wire = device.takeAtLeast(zolven::kFrameSize);
    QCOMPARE(wire, sampleOnWire(true));
    const auto decoded = zolven::decodeFrame(wire);
    QVERIFY(decoded);
    QCOMPARE((*decoded)[Metric::CpuTemp], 45u);
    QCOMPARE((*decoded)[Metric::GpuRamTotal], 8192u);
    QVERIFY(decoded->fahrenheit);

    c->setIsShowFah(false);
    c->set_send_ram_usage(300);
    QCOMPARE(check(*c, 2), 2);
    const QByteArray two = device.takeAtLeast(2 * zolven::kFrameSize);
    QCOMPARE(two.size(), 2 * zolven::kFrameSize);
    const auto last = zolven::decodeFrame(two.mid(zolven::kFrameSize));
    QVERIFY(last);
    QVERIFY(!last->fahrenheit);
    QCOMPARE((*last)[Metric::RamUsage], 300u & 0xFF);
}

void SysctlTest::portErrorDropsLinkAndCountdownRestarts()
{
    auto first = std::make_unique<PtyDevice>();
    QVERIFY(first->isValid());
    QList<PortEntry> ports{{first->name(), 0x1F3A, 0x0008}};
    auto c = std::make_unique<Sysctl>(m_appDir);
    c->transport()->setPortLister([&ports] { return ports; });
    QSignalSpy changed(c.get(), &Sysctl::isConnectedChanged);

    QCOMPARE(check(*c, 3), 0); // connected, countdown running
    QVERIFY(c->getIsConnected());

    // Unplugged mid-countdown: the port reports it, the link drops at once, silently.
    QSignalSpy errors(c->transport(), &Transport::emitError);
    first->hangUp();
    QVERIFY(errors.wait(3000));
    QVERIFY(!c->getIsConnected());
    QVERIFY(!c->transport()->isOpen());
    QCOMPARE(changed.count(), 1);

    // A port error while disconnected changes nothing visible.
    c->slotPortError();
    QVERIFY(!c->getIsConnected());
    QCOMPARE(changed.count(), 1);

    // Plugged in again on another port: the next check reconnects and counts down from 6.
    PtyDevice second;
    QVERIFY(second.isValid());
    ports = {{second.name(), 0x1F3A, 0x0008}};
    QCOMPARE(check(*c, 6), 0);
    QVERIFY(c->getIsConnected());
    QCOMPARE(changed.count(), 2);
    QCOMPARE(check(*c, 1), 1);
    QCOMPARE(second.takeAtLeast(zolven::kFrameSize).size(), zolven::kFrameSize);
}

void SysctlTest::manualPortFromSettings()
{
    PtyDevice device;
    QVERIFY(device.isValid());
    const QString ini = m_appDir + QStringLiteral("/config.ini");
    QVERIFY(writeFile(ini, "[%General]\nAuto%20Run=false\nShow%20Fah=false\nLanguage=2\n"
                           "[DEVICE]\nPort=" +
                               device.name().toUtf8() + "\nOther=kept\n"));
    auto c = makeController({}); // no port carries the device's identifiers
    c->confFileSync();
    QCOMPARE(check(*c, 7), 1);
    QVERIFY(c->getIsConnected());
    QCOMPARE(device.takeAtLeast(zolven::kFrameSize).size(), zolven::kFrameSize);

    c->syncConfFile();
    const QByteArray written = readFile(ini);
    QVERIFY(written.contains("Port=" + device.name().toUtf8()));
    QVERIFY(written.contains("Other=kept"));
}

void SysctlTest::wrongManualPortFailsCleanly()
{
    PtyDevice device;
    QVERIFY(device.isValid());
    QVERIFY(writeFile(m_appDir + QStringLiteral("/config.ini"),
                      "[%General]\nAuto%20Run=false\nShow%20Fah=false\nLanguage=2\n"
                      "[DEVICE]\nPort=/nonexistent/ttyZOLVEN\n"));
    // The device is there by identifiers, but a set manual port is not second-guessed.
    auto c = makeController({{device.name(), 0x1F3A, 0x0008}});
    c->confFileSync();
    LogCapture log;
    QCOMPARE(check(*c, 3), 0);
    QVERIFY(!c->getIsConnected());
    // Said once, not at every check.
    QCOMPARE(log.count(QStringLiteral("open error")), 1);
    QCOMPARE(device.take(), QByteArray());
}

void SysctlTest::updaterStartsWhenPresent()
{
    // No "update" directory: nothing to start, nothing to fail.
    {
        Sysctl none(m_appDir);
    }

    const QString update = m_root->filePath(QStringLiteral("update"));
    QVERIFY(QDir().mkpath(update));
    {
        Sysctl missingScript(m_appDir);
    }

    QVERIFY(writeFile(update + QStringLiteral("/run.sh"), "pwd > ran.txt\n"));
    Sysctl c(m_appDir);
    const QString marker = update + QStringLiteral("/ran.txt");
    QTRY_VERIFY_WITH_TIMEOUT(!readFile(marker).isEmpty(), 5000);
    QCOMPARE(QDir(QString::fromLocal8Bit(readFile(marker).trimmed())).canonicalPath(),
             QDir(update).canonicalPath());
    // The controller works from the application directory.
    QCOMPARE(QDir::current().canonicalPath(), QDir(m_appDir).canonicalPath());
}

void SysctlTest::cpuNameTakesLineAfterHeading_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QString>("name");
    QTest::newRow("console style")
        << QByteArray("Name  \r\r\nAMD Ryzen 7 5800X 8-Core Processor   \r\r\n\r\r\n")
        << QStringLiteral("AMD Ryzen 7 5800X 8-Core Processor");
    QTest::newRow("utf-8") << QByteArray("Name\n  Ünïcode CPU\n") << QStringLiteral("Ünïcode CPU");
    QTest::newRow("heading only") << QByteArray("Name\n") << QString();
    QTest::newRow("no output") << QByteArray() << QString();
    QTest::newRow("empty second line") << QByteArray("Name\n\nCPU\n") << QString();
}

void SysctlTest::cpuNameTakesLineAfterHeading()
{
    QFETCH(QByteArray, output);
    QFETCH(QString, name);
    QCOMPARE(zolven::parseCpuNameOutput(output), name);
}

void SysctlTest::cpuNameCommandNamesThisCpu()
{
    const QByteArray cpuinfo = readFile(QStringLiteral("/proc/cpuinfo"));
    QString expected;
    for (const QByteArray& line : cpuinfo.split('\n')) {
        if (line.startsWith("model name")) {
            expected = QString::fromUtf8(line.mid(line.indexOf(':') + 1)).trimmed();
            break;
        }
    }
    if (expected.isEmpty())
        QSKIP("this kernel does not name the CPU in /proc/cpuinfo");
    Sysctl c(m_appDir);
    QCOMPARE(c.getCPUName(), expected);
}

QTEST_GUILESS_MAIN(SysctlTest)
#include "tst_sysctl.moc"
