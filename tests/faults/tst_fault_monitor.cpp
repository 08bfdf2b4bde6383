// The sensor side against a hardware-monitor library that answers with nonsense (garbage/):
// texts without terminators, values no integer holds, counts no machine has, codes no rule
// knows. Nothing may crash, hang or grow without bound, and the rules still take what is usable.

#include "BridgeMetrics.h"
#include "LogCapture.h"

#include "sensors/Identification.h"
#include "sensors/MonitorLibrary.h"
#include "sensors/hwinfoBridge.h"

#include <QtTest>

#include <climits>
#include <dlfcn.h>
#include <memory>

namespace {

long calls(int which)
{
    const QByteArray path = (QCoreApplication::applicationDirPath() + "/config.dat").toLocal8Bit();
    void* handle = dlopen(path.constData(), RTLD_NOW);
    auto fn = handle ? reinterpret_cast<long (*)(int)>(dlsym(handle, "garbage_calls")) : nullptr;
    if (!fn)
        qFatal("the garbage library is not beside the test as config.dat");
    return fn(which);
}

void useGarbage(const char* mode)
{
    qputenv("ZOLVEN_GARBAGE", mode);
}

std::vector<std::string> noAdapters()
{
    return {};
}

} // namespace

class FaultMonitorTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void unterminatedAndInvalidTexts();
    void valuesNoIntegerHolds();
    void codesNoRuleKnows();
    void sensorCounts_data();
    void sensorCounts();
    void floodIsCappedPerPass();
    void recordsFilledOnlyInPart();
    void randomRecords();
    void workerStopsWithHugeCount();
};

void FaultMonitorTest::initTestCase()
{
    // The outcome must not depend on this machine's graphics cards.
    zolven::sensors::setAdapterSource(noAdapters);
}

void FaultMonitorTest::unterminatedAndInvalidTexts()
{
    useGarbage("texts");
    LogCapture log;
    hwinfoBridge b;
    b.RunHwinfo();
    QVERIFY(b.isLibraryBound());
    QCOMPARE(b.items().size(), 3);
    for (const ReadingItem& it : b.items()) {
        // Bounded by the field's width, invalid bytes replaced, never read past the field.
        QVERIFY(it.label.size() <= 128);
        QVERIFY(it.sensorName.size() <= 256);
        QVERIFY(it.sensorName.startsWith("Garbage "));
        QCOMPARE(it.readingType, 1);
        QCOMPARE(it.readingLocation, 10);
    }
    QVERIFY(b.items()[0].label.startsWith("CPU Package %1 %2 "));
    QVERIFY(b.items()[0].label.contains(QChar::ReplacementCharacter));
    QCOMPARE(b.items()[2].label, QStringLiteral("CPU Package"));
    QCOMPARE(log.linesStartingWith("szUnits: ").size(), 3);

    b.refreshData();
    // All three are CPU temperatures; the last one wins.
    QCOMPARE(b.get_data_cpu_temp(), 63);
    const QStringList refresh = log.linesStartingWith("[Item Refresh]  [CPU TEMP] ");
    QCOMPARE(refresh.size(), 3);
    // The label's "%1" stays text and does not swallow the value.
    QVERIFY2(refresh[0].contains("reader: [CPU Package %1 %2 ") &&
                 refresh[0].contains("value: [61] ---- sensor: Garbage "),
             qPrintable(refresh[0]));
}

void FaultMonitorTest::valuesNoIntegerHolds()
{
    useGarbage("values");
    LogCapture log;
    hwinfoBridge b;
    b.RunHwinfo();
    QCOMPARE(bridgeMetrics(b), QVector<int>(11, 0)); // discovery writes nothing
    NotifySpies spies(b);
    b.refreshData();

    // NaN, infinities and values outside the range become the most negative integer; values
    // inside it truncate toward zero, whatever their sign or size.
    const QVector<int> expected = {
        INT_MIN, // CPU temperature: NaN
        INT_MIN, // CPU load: +inf, and the 100 % ceiling does not lift it
        INT_MIN, // CPU clock: mean of -inf and 1e300
        INT_MIN, // CPU fan: 2^31
        0,       // GPU clock: the smallest denormal
        0,       // GPU load: -0.0
        0,       // GPU fan: -1e-300
        INT_MAX, // GPU memory used: 2^31 - 0.1
        INT_MIN, // GPU memory total: used + 1 leaves the range
        INT_MIN, // GPU temperature: -2^31 - 0.5 truncates to -2^31
        INT_MIN, // RAM load: negative NaN
    };
    QCOMPARE(bridgeMetrics(b), expected);
    for (int m = 0; m < 11; ++m)
        QVERIFY2(spies.count(m) == 1, zolven::sensors::kMetrics[m].property);
    QVERIFY(log.count("[Item Refresh]  [CPU TEMP] reader: [CPU Package], value: [nan] ---- "
                      "sensor: Garbage sensor 0") == 1);
    QVERIFY(!log.linesStartingWith("[Item Refresh]  [CPU USAGE] reader: [CPU Utility], "
                                   "value: [inf]")
                 .isEmpty());
}

void FaultMonitorTest::codesNoRuleKnows()
{
    useGarbage("types");
    LogCapture log;
    hwinfoBridge b;
    b.RunHwinfo();
    // Every answer is kept as an item with the record's own codes...
    QCOMPARE(b.items().size(), 16 * 5);
    QCOMPARE(b.items()[0].readingType, 0);
    QCOMPARE(b.items()[5 * 6].readingType, INT_MAX);
    b.refreshData();
    // ...but none feeds a metric or marks a graphics card.
    QCOMPARE(bridgeMetrics(b), QVector<int>(11, 0));
    QVERIFY(!b.getIsGpuAvailable());
    QVERIFY(log.linesStartingWith("[Item").isEmpty());
}

void FaultMonitorTest::sensorCounts_data()
{
    QTest::addColumn<QByteArray>("mode");
    QTest::addColumn<long>("sensorsPerPass");
    QTest::newRow("largest") << QByteArray("count 2147483647")
                             << long(zolven::sensors::kMaxSensors);
    QTest::newRow("just above the bound") << QByteArray("count 1025") << 1024L;
    QTest::newRow("at the bound") << QByteArray("count 1024") << 1024L;
    QTest::newRow("minus one") << QByteArray("count -1") << 0L;
    QTest::newRow("most negative") << QByteArray("count -2147483648") << 0L;
}

void FaultMonitorTest::sensorCounts()
{
    QFETCH(QByteArray, mode);
    QFETCH(long, sensorsPerPass);
    useGarbage(mode.constData());
    LogCapture log;
    hwinfoBridge b;
    b.RunHwinfo();
    const long before = calls(749);
    b.refreshData();
    b.refreshData();
    QCOMPARE(calls(749) - before, 2 * sensorsPerPass);
    QVERIFY(b.items().isEmpty());
    // An odd count is reported once, not at every pass.
    const QStringList said = log.linesStartingWith("[Refresh data] Sensor count ");
    if (mode.endsWith("2147483647")) {
        QCOMPARE(said, QStringList{"[Refresh data] Sensor count 2147483647 out of range, "
                                   "reading 1024"});
    } else if (mode.endsWith("1024") || sensorsPerPass == 0) {
        QVERIFY(said.isEmpty());
    }
}

void FaultMonitorTest::floodIsCappedPerPass()
{
    useGarbage("flood 2147483647");
    LogCapture log;
    hwinfoBridge b;
    b.RunHwinfo();
    QCOMPARE(b.items().size(), zolven::sensors::kMaxItemsPerPass);
    // The discovery pass dumped what it kept, and not one record more.
    QCOMPARE(log.linesStartingWith("szUnits: ").size(), zolven::sensors::kMaxItemsPerPass);
    for (int pass = 0; pass < 3; ++pass) {
        b.refreshData();
        QCOMPARE(b.items().size(), zolven::sensors::kMaxItemsPerPass);
    }
    QCOMPARE(log.linesStartingWith("[Refresh data] More than 16384 readings").size(), 1);
    QCOMPARE(b.items().last().label, QStringLiteral("Flood reading"));
}

void FaultMonitorTest::recordsFilledOnlyInPart()
{
    // The library sets the flag and writes nothing else: the program must see known bytes,
    // the same at every pass, not whatever its stack held.
    useGarbage("partial");
    LogCapture log;
    hwinfoBridge b;
    b.RunHwinfo();
    QCOMPARE(b.items().size(), 512 * 5);
    for (const ReadingItem& it : b.items()) {
        QVERIFY(it.label.isEmpty() && it.sensorName.isEmpty());
        QCOMPARE(it.value, 0.0);
        QCOMPARE(it.readingType, 0);
        QCOMPARE(it.sensorLocation, 0);
    }
    b.refreshData();
    QCOMPARE(bridgeMetrics(b), QVector<int>(11, 0));
}

void FaultMonitorTest::randomRecords()
{
    // Whole records of noise; the sanitizer builds are what judge this one.
    LogCapture log;
    for (int seed = 1; seed <= 4; ++seed) {
        useGarbage(QByteArray("random ").append(QByteArray::number(seed)).constData());
        hwinfoBridge b;
        b.RunHwinfo();
        for (int pass = 0; pass < 5; ++pass) {
            b.refreshData();
            QVERIFY(b.items().size() > 1000);
            QVERIFY(b.items().size() <= 3 * 512 * 5);
            for (const ReadingItem& it : b.items())
                QVERIFY(it.label.size() <= 128 && it.sensorName.size() <= 256);
        }
    }
}

void FaultMonitorTest::workerStopsWithHugeCount()
{
    useGarbage("count 2000000000 slow");
    LogCapture log;
    auto b = std::make_unique<hwinfoBridge>();
    b->setRefreshInterval(1);
    const long passes = calls(883);
    b->RunAsync();
    // Into the first refresh pass: discovery's count, then the refresh's.
    QTRY_VERIFY_WITH_TIMEOUT(calls(883) >= passes + 2, 30000);
    const long begun = calls(749);
    b.reset();
    // The pass under way ends at the bound, so the stop does not wait for two billion sensors.
    QVERIFY(calls(749) - begun <= zolven::sensors::kMaxSensors);
    QCOMPARE(log.count("[Refresh data] Sensor count 2000000000 out of range, reading 1024"), 1);
}

QTEST_GUILESS_MAIN(FaultMonitorTest)
#include "tst_fault_monitor.moc"
