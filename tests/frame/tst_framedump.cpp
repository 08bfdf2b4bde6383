#include "device/Frame.h"

#include <QProcess>
#include <QTemporaryFile>
#include <QTest>

#include <pty.h>
#include <termios.h>
#include <unistd.h>

using zolven::sensors::Metric;

namespace {

QByteArray twoFramesInNoise()
{
    zolven::MetricStore a;
    a[Metric::CpuTemp] = 45;
    a[Metric::GpuRamTotal] = 8192;
    zolven::MetricStore b;
    b[Metric::RamUsage] = 63;
    return QByteArray("noise\x74\x07", 7) + zolven::buildFrame(a, false) +
           zolven::buildFrame(b, true);
}

} // namespace

class tst_framedump : public QObject
{
    Q_OBJECT

private slots:
    void readsACaptureFile()
    {
        QTemporaryFile capture;
        QVERIFY(capture.open());
        capture.write(twoFramesInNoise());
        capture.close();

        QProcess dump;
        dump.start(QStringLiteral(FRAMEDUMP_PATH), {capture.fileName()});
        QVERIFY(dump.waitForFinished(10000));
        QCOMPARE(dump.exitCode(), 0);
        const QStringList lines =
            QString::fromUtf8(dump.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0].startsWith("#1 unit=C cpu_temp=45 "));
        QVERIFY(lines[0].contains(" gpu_mem_total=8192 "));
        QVERIFY(lines[1].startsWith("#2 unit=F cpu_temp=0 "));
        QVERIFY(lines[1].endsWith(" ram_load=63"));
    }

    void listensOnASerialPort()
    {
        int master = -1, slave = -1;
        char name[256] = {};
        QVERIFY(openpty(&master, &slave, name, nullptr, nullptr) == 0);
        termios raw{};
        tcgetattr(slave, &raw);
        cfmakeraw(&raw);
        tcsetattr(slave, TCSANOW, &raw);

        QProcess dump;
        dump.start(QStringLiteral(FRAMEDUMP_PATH), {QString::fromLocal8Bit(name), "-n", "2"});
        QVERIFY(dump.waitForStarted());
        // Keep sending until it has its two frames: it may open the port after the first burst.
        const QByteArray bytes = twoFramesInNoise();
        for (int i = 0; i < 50 && !dump.waitForFinished(200); ++i)
            QCOMPARE(::write(master, bytes.constData(), bytes.size()), ssize_t(bytes.size()));
        QCOMPARE(dump.state(), QProcess::NotRunning);
        ::close(master);
        ::close(slave);
        QCOMPARE(dump.exitCode(), 0);
        const QString out = QString::fromUtf8(dump.readAllStandardOutput());
        QVERIFY2(out.contains("#2 unit=F"), qPrintable(out + dump.readAllStandardError()));
    }
};

QTEST_GUILESS_MAIN(tst_framedump)
#include "tst_framedump.moc"
