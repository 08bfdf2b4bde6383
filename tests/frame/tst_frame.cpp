#include "device/Frame.h"

#include <QTest>

#include <limits>

using zolven::buildFrame;
using zolven::decodeFrame;
using zolven::FrameScanner;
using zolven::MetricStore;
using zolven::sensors::Metric;

namespace {

QByteArray unmask(QByteArray frame)
{
    for (int i = 2; i < frame.size(); ++i)
        frame[i] = char(quint8(frame[i]) ^ zolven::kFrameMask);
    return frame;
}

MetricStore workedExample()
{
    MetricStore s;
    s[Metric::CpuTemp] = 45;
    s[Metric::CpuFan] = 1200;
    s[Metric::CpuUsage] = 12;
    s[Metric::CpuClock] = 3600;
    s[Metric::GpuUsage] = 30;
    s[Metric::GpuClock] = 1500;
    s[Metric::GpuRamUsed] = 2048;
    s[Metric::GpuRamTotal] = 8192;
    s[Metric::GpuFan] = 40;
    s[Metric::GpuTemp] = 50;
    s[Metric::RamUsage] = 63;
    return s;
}

} // namespace

Q_DECLARE_METATYPE(zolven::sensors::Metric)

class tst_frame : public QObject
{
    Q_OBJECT

private slots:
    void workedExampleByteForByte()
    {
        const QByteArray wire = buildFrame(workedExample(), false);
        QCOMPARE(wire.size(), 23);
        QCOMPARE(
            unmask(wire).toHex(' '),
            QByteArray("74 00 2d 04 b0 0c 0e 10 1e 05 dc 00 00 08 00 00 00 20 00 00 28 32 3f"));
        // On the wire only the header stays clear.
        QCOMPARE(quint8(wire[0]), quint8(0x74));
        QCOMPARE(quint8(wire[1]), quint8(0x00));
        QCOMPARE(quint8(wire[2]), quint8(0x2D ^ 0xA5));
        QCOMPARE(quint8(wire[22]), quint8(0x3F ^ 0xA5));
    }

    void fieldsWrapAndTruncate_data()
    {
        QTest::addColumn<Metric>("field");
        QTest::addColumn<qint32>("value");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QByteArray>("bytes"); // before masking

        QTest::newRow("cpu fan 70000 wraps to 16 bits")
            << Metric::CpuFan << 70000 << 3 << QByteArray("\x11\x70", 2);
        QTest::newRow("cpu temp -5 is its low byte")
            << Metric::CpuTemp << -5 << 2 << QByteArray("\xFB", 1);
        QTest::newRow("ram 300 wraps to 8 bits")
            << Metric::RamUsage << 300 << 22 << QByteArray("\x2C", 1);
        QTest::newRow("cpu clock -1 is ffff")
            << Metric::CpuClock << -1 << 6 << QByteArray("\xFF\xFF", 2);
        QTest::newRow("gpu mem used keeps 32 bits")
            << Metric::GpuRamUsed << 0x12345678 << 11 << QByteArray("\x12\x34\x56\x78", 4);
        QTest::newRow("gpu mem total negative")
            << Metric::GpuRamTotal << -2 << 15 << QByteArray("\xFF\xFF\xFF\xFE", 4);
        QTest::newRow("gpu mem used INT_MIN")
            << Metric::GpuRamUsed << std::numeric_limits<qint32>::min() << 11
            << QByteArray("\x80\x00\x00\x00", 4);
        QTest::newRow("gpu fan lands at 19")
            << Metric::GpuFan << 0xABCD << 19 << QByteArray("\xAB\xCD", 2);
        QTest::newRow("gpu temp lands at 21")
            << Metric::GpuTemp << 0x1FF << 21 << QByteArray("\xFF", 1);
        QTest::newRow("gpu clock lands at 9")
            << Metric::GpuClock << 0x10203 << 9 << QByteArray("\x02\x03", 2);
        QTest::newRow("gpu load lands at 8")
            << Metric::GpuUsage << 99 << 8 << QByteArray("\x63", 1);
        QTest::newRow("cpu load lands at 5")
            << Metric::CpuUsage << 101 << 5 << QByteArray("\x65", 1);
    }

    void fieldsWrapAndTruncate()
    {
        QFETCH(Metric, field);
        QFETCH(qint32, value);
        QFETCH(int, offset);
        QFETCH(QByteArray, bytes);

        MetricStore s;
        s[field] = value;
        const QByteArray plain = unmask(buildFrame(s, false));
        QCOMPARE(plain.size(), 23);
        QCOMPARE(plain.mid(offset, bytes.size()).toHex(), bytes.toHex());
        // Nothing spills into the neighbours.
        QByteArray others = plain;
        others.remove(offset, bytes.size());
        QCOMPARE(others.mid(2), QByteArray(21 - bytes.size(), '\0'));
    }

    void emptyStoreSendsTheMask()
    {
        const QByteArray wire = buildFrame(MetricStore{}, false);
        QCOMPARE(wire.left(2), QByteArray("\x74\x00", 2));
        QCOMPARE(wire.mid(2), QByteArray(21, char(0xA5)));
    }

    void fahrenheitFlagIsClear()
    {
        MetricStore s;
        s[Metric::CpuTemp] = 113;
        const QByteArray wire = buildFrame(s, true);
        QCOMPARE(quint8(wire[1]), quint8(0x01));
        QCOMPARE(quint8(wire[2] ^ char(0xA5)), quint8(0x71));
    }

    void bufferIsReusedAndAlways23Bytes()
    {
        QByteArray buf(100, 'x');
        buildFrame(workedExample(), false, buf);
        QCOMPARE(buf.size(), 23);
        QCOMPARE(buf, buildFrame(workedExample(), false));
        MetricStore extreme;
        extreme[Metric::GpuRamTotal] = std::numeric_limits<qint32>::max();
        extreme[Metric::CpuFan] = std::numeric_limits<qint32>::min();
        buildFrame(extreme, true, buf);
        QCOMPARE(buf.size(), 23);
    }

    void decodeUndoesTheMask()
    {
        const auto d = decodeFrame(buildFrame(workedExample(), true));
        QVERIFY(d);
        QVERIFY(d->fahrenheit);
        QCOMPARE((*d)[Metric::CpuTemp], 45u);
        QCOMPARE((*d)[Metric::CpuFan], 1200u);
        QCOMPARE((*d)[Metric::CpuUsage], 12u);
        QCOMPARE((*d)[Metric::CpuClock], 3600u);
        QCOMPARE((*d)[Metric::GpuUsage], 30u);
        QCOMPARE((*d)[Metric::GpuClock], 1500u);
        QCOMPARE((*d)[Metric::GpuRamUsed], 2048u);
        QCOMPARE((*d)[Metric::GpuRamTotal], 8192u);
        QCOMPARE((*d)[Metric::GpuFan], 40u);
        QCOMPARE((*d)[Metric::GpuTemp], 50u);
        QCOMPARE((*d)[Metric::RamUsage], 63u);

        QVERIFY(!decodeFrame(buildFrame(workedExample(), false).left(22)));
        QByteArray wrongMark = buildFrame(workedExample(), false);
        wrongMark[0] = 'u';
        QVERIFY(!decodeFrame(wrongMark));
    }

    void scannerFindsFramesInAStream()
    {
        MetricStore a = workedExample();
        MetricStore b;
        b[Metric::RamUsage] = 7;
        const QByteArray fa = buildFrame(a, false);
        const QByteArray fb = buildFrame(b, true);

        FrameScanner scanner;
        scanner.feed(QByteArray("\x00\x74\x09junk", 7) + fa.left(10)); // a mark with a bad flag
        QVERIFY(!scanner.next());
        scanner.feed(fa.mid(10) + fb);
        auto first = scanner.next();
        QVERIFY(first);
        QCOMPARE(*first, fa);
        auto second = scanner.next();
        QVERIFY(second);
        QCOMPARE((*decodeFrame(*second))[Metric::RamUsage], 7u);
        QVERIFY(!scanner.next());
        QCOMPARE(scanner.skipped(), 7);
    }
};

QTEST_APPLESS_MAIN(tst_frame)
#include "tst_frame.moc"
