#include "device/Frame.h"

#include <QTest>

#include <limits>

using zolven::buildFrame;
using zolven::decodeFrame;
using zolven::FrameScanner;
using zolven::MetricStore;

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
    s.cpuTemperature = 45;
    s.cpuFanSpeed = 1200;
    s.cpuUtilization = 12;
    s.cpuFrequency = 3600;
    s.gpuUtilization = 30;
    s.gpuFrequency = 1500;
    s.gpuMemOccupancy = 2048;
    s.gpuMemTotal = 8192;
    s.gpuFanSpeed = 40;
    s.gpuTemperature = 50;
    s.ramUsage = 63;
    return s;
}

} // namespace

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
        QTest::addColumn<int>("field"); // index into MetricStore, in declaration order
        QTest::addColumn<qint32>("value");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QByteArray>("bytes"); // before masking

        QTest::newRow("cpu fan 70000 wraps to 16 bits")
            << 3 << 70000 << 3 << QByteArray("\x11\x70", 2);
        QTest::newRow("cpu temp -5 is its low byte") << 0 << -5 << 2 << QByteArray("\xFB", 1);
        QTest::newRow("ram 300 wraps to 8 bits") << 10 << 300 << 22 << QByteArray("\x2C", 1);
        QTest::newRow("cpu clock -1 is ffff") << 1 << -1 << 6 << QByteArray("\xFF\xFF", 2);
        QTest::newRow("gpu mem used keeps 32 bits")
            << 7 << 0x12345678 << 11 << QByteArray("\x12\x34\x56\x78", 4);
        QTest::newRow("gpu mem total negative")
            << 8 << -2 << 15 << QByteArray("\xFF\xFF\xFF\xFE", 4);
        QTest::newRow("gpu mem used INT_MIN")
            << 7 << std::numeric_limits<qint32>::min() << 11 << QByteArray("\x80\x00\x00\x00", 4);
        QTest::newRow("gpu fan lands at 19") << 6 << 0xABCD << 19 << QByteArray("\xAB\xCD", 2);
        QTest::newRow("gpu temp lands at 21") << 9 << 0x1FF << 21 << QByteArray("\xFF", 1);
        QTest::newRow("gpu clock lands at 9") << 4 << 0x10203 << 9 << QByteArray("\x02\x03", 2);
        QTest::newRow("gpu load lands at 8") << 5 << 99 << 8 << QByteArray("\x63", 1);
        QTest::newRow("cpu load lands at 5") << 2 << 101 << 5 << QByteArray("\x65", 1);
    }

    void fieldsWrapAndTruncate()
    {
        QFETCH(int, field);
        QFETCH(qint32, value);
        QFETCH(int, offset);
        QFETCH(QByteArray, bytes);

        MetricStore s;
        qint32* fields[] = {&s.cpuTemperature, &s.cpuFrequency,    &s.cpuUtilization,
                            &s.cpuFanSpeed,    &s.gpuFrequency,    &s.gpuUtilization,
                            &s.gpuFanSpeed,    &s.gpuMemOccupancy, &s.gpuMemTotal,
                            &s.gpuTemperature, &s.ramUsage};
        *fields[field] = value;
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
        s.cpuTemperature = 113;
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
        extreme.gpuMemTotal = std::numeric_limits<qint32>::max();
        extreme.cpuFanSpeed = std::numeric_limits<qint32>::min();
        buildFrame(extreme, true, buf);
        QCOMPARE(buf.size(), 23);
    }

    void decodeUndoesTheMask()
    {
        const auto d = decodeFrame(buildFrame(workedExample(), true));
        QVERIFY(d);
        QVERIFY(d->fahrenheit);
        QCOMPARE(d->cpuTemperature, 45u);
        QCOMPARE(d->cpuFanSpeed, 1200u);
        QCOMPARE(d->cpuUtilization, 12u);
        QCOMPARE(d->cpuFrequency, 3600u);
        QCOMPARE(d->gpuUtilization, 30u);
        QCOMPARE(d->gpuFrequency, 1500u);
        QCOMPARE(d->gpuMemOccupancy, 2048u);
        QCOMPARE(d->gpuMemTotal, 8192u);
        QCOMPARE(d->gpuFanSpeed, 40u);
        QCOMPARE(d->gpuTemperature, 50u);
        QCOMPARE(d->ramUsage, 63u);

        QVERIFY(!decodeFrame(buildFrame(workedExample(), false).left(22)));
        QByteArray wrongMark = buildFrame(workedExample(), false);
        wrongMark[0] = 'u';
        QVERIFY(!decodeFrame(wrongMark));
    }

    void scannerFindsFramesInAStream()
    {
        MetricStore a = workedExample();
        MetricStore b;
        b.ramUsage = 7;
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
        QCOMPARE(decodeFrame(*second)->ramUsage, 7u);
        QVERIFY(!scanner.next());
        QCOMPARE(scanner.skipped(), 7);
    }
};

QTEST_APPLESS_MAIN(tst_frame)
#include "tst_frame.moc"
