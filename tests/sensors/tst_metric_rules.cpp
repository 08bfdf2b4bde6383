// The metric rules over hand-made items, pass by pass: no library, no thread.

#include "sensors/MetricRules.h"

#include <QtTest>

#include <cmath>
#include <limits>

using namespace zolven::sensors;

namespace {

constexpr qint32 kMin = std::numeric_limits<qint32>::min();

// Passes one after another, each from the state the last one left.
struct Passes
{
    MetricState state;
    PassResult last;

    Passes& run(const ReadingItems& items, RuleMode mode = RuleMode::Refresh)
    {
        last = runPass(items, mode, state);
        state = last.state;
        return *this;
    }

    qint32 operator[](Metric m) const { return state.values[m]; }
    bool gpu() const { return state.gpuPresent; }
    // Writes of the last pass made by a rule, not the clock means.
    int written(Metric m) const
    {
        int n = 0;
        for (const MetricFeed& w : last.writes)
            n += w.item >= 0 && w.metric == m;
        return n;
    }
    int totalWrites() const
    {
        int n = 0;
        for (const MetricFeed& w : last.writes)
            n += w.item >= 0;
        return n;
    }
    QVector<qint32> samples(Metric clock) const
    {
        QVector<qint32> out;
        for (const MetricFeed& s : last.samples)
            if (s.metric == clock)
                out.append(s.value);
        return out;
    }
    QStringList logStartingWith(const char* prefix) const
    {
        QStringList out;
        for (const QString& line : last.log)
            if (line.startsWith(QLatin1String(prefix)))
                out.append(line);
        return out;
    }
};

ReadingItem item(const char* label, qint32 sensorLoc, qint32 type, qint32 readingLoc, double value,
                 const char* sensor = "Sensor")
{
    ReadingItem it;
    it.label = QString::fromUtf8(label);
    it.sensorName = QString::fromUtf8(sensor);
    it.sensorLocation = sensorLoc;
    it.readingType = type;
    it.readingLocation = readingLoc;
    it.value = value;
    return it;
}

Passes refresh(const ReadingItems& items, bool gpuPresent = false)
{
    Passes p;
    p.state.gpuPresent = gpuPresent;
    return p.run(items);
}

} // namespace

Q_DECLARE_METATYPE(zolven::sensors::Metric)

class MetricRulesTest : public QObject
{
    Q_OBJECT

private slots:
    void conversion_data();
    void conversion();
    void averageAndLogValue();

    void singleRule_data();
    void singleRule();

    void cpuUsageIsCappedAbove();
    void clockRulesCollectSamples();
    void discreteReadingMarksGpuAndSwitchesOffIntegratedRules();
    void lastMatchWinsAndEveryMatchSignals();
    void gpuMemoryTotalUsesUsedValueOfTheMoment();
    void gpuMemoryRulesNeedLocationAndKeywords();
    void discoveryOnlyLogs();
    void logLinesAreExact();
    void withoutLogWritesTheSame();
};

void MetricRulesTest::conversion_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<qint32>("expected");
    QTest::newRow("positive truncates") << 45.9 << 45;
    QTest::newRow("negative truncates toward zero") << -3.7 << -3;
    QTest::newRow("largest") << 2147483647.9 << 2147483647;
    QTest::newRow("just above range") << 2147483648.0 << kMin;
    QTest::newRow("smallest") << -2147483648.9 << kMin;
    QTest::newRow("just below range") << -2147483649.0 << kMin;
    QTest::newRow("nan") << std::nan("") << kMin;
    QTest::newRow("inf") << std::numeric_limits<double>::infinity() << kMin;
    QTest::newRow("-inf") << -std::numeric_limits<double>::infinity() << kMin;
}

void MetricRulesTest::conversion()
{
    QFETCH(double, value);
    QFETCH(qint32, expected);
    QCOMPARE(toMetric(value), expected);
}

void MetricRulesTest::averageAndLogValue()
{
    QCOMPARE(averageSamples({3599, 3600, 3602}), 3600); // 3600.33 truncated
    QCOMPARE(averageSamples({-5, -6}), -5);
    QCOMPARE(formatLogValue(45.0), QStringLiteral("45"));
    QCOMPARE(formatLogValue(45.5), QStringLiteral("45.5"));
    QCOMPARE(formatLogValue(1234.5678), QStringLiteral("1234.5678"));
    QCOMPARE(formatLogValue(0.1), QStringLiteral("0.1"));
}

// One item alone: which metric it writes, if any, and with what value.
void MetricRulesTest::singleRule_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("sensorLoc");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("readingLoc");
    QTest::addColumn<bool>("writes");
    QTest::addColumn<Metric>("metric");
    QTest::addColumn<qint32>("value");

    auto row = [](const char* name, const char* label, int loc, int type, int rl, bool writes,
                  Metric m = Metric::CpuTemp, qint32 v = 0) {
        QTest::newRow(name) << QString::fromUtf8(label) << loc << type << rl << writes << m << v;
    };
    row("CPU Package", "CPU Package", 11, 1, 10, true, Metric::CpuTemp, 48);
    row("CPU Tdie: die without core", "CPU Tdie", 11, 1, 10, true, Metric::CpuTemp, 48);
    row("CPU Die (average)", "CPU Die (average)", 11, 1, 10, true, Metric::CpuTemp, 48);
    row("die and core, no average", "CPU Core Die", 11, 1, 10, false);
    row("CPU Core: no die, no package", "CPU Core", 11, 1, 10, false);
    row("Core Max: no cpu", "Core Max", 11, 1, 10, false);
    row("package in any case", "cpu PACKAGE", 11, 1, 10, true, Metric::CpuTemp, 48);
    row("package at integrated location", "CPU Package", 11, 1, 101, false);
    row("integrated GT temperature", "CPU GT Cores (Graphics)", 11, 1, 101, true, Metric::GpuTemp,
        48);
    row("GT temperature at processor location", "CPU GT Cores (Graphics)", 11, 1, 10, false);
    row("GPU Temperature", "GPU Temperature", 13, 1, 0, true, Metric::GpuTemp, 48);
    row("discrete temperature without keywords", "Hot Spot", 13, 1, 0, false);
    row("Total CPU Utility", "Total CPU Utility", 11, 7, 10, true, Metric::CpuUsage, 48);
    row("Total CPU Usage: no utility", "Total CPU Usage", 11, 7, 10, false);
    row("integrated D3D usage", "GPU D3D Usage", 11, 7, 101, true, Metric::GpuUsage, 48);
    row("GPU Core Load", "GPU Core Load", 13, 7, 0, true, Metric::GpuUsage, 48);
    row("GPU Memory Controller Load", "GPU Memory Controller Load", 13, 7, 0, false);
    row("CPU fan", "CPU Fan", 12, 3, 0, true, Metric::CpuFan, 48);
    row("fan without cpu", "System Fan 1", 12, 3, 0, false);
    row("fan sensor, temperature type", "CPU", 12, 1, 0, false);
    row("GPU Fan1", "GPU Fan1", 13, 3, 0, true, Metric::GpuFan, 48);
    row("any discrete fan", "Fan", 13, 3, 0, true, Metric::GpuFan, 48);
    row("integrated dynamic memory", "GPU D3D Memory Dynamic", 11, 8, 101, true, Metric::GpuRamUsed,
        48);
    row("Physical Memory Load", "Physical Memory Load", 10, 8, 0, true, Metric::RamUsage, 48);
    row("Physical Memory Used", "Physical Memory Used", 10, 8, 0, false);
    row("memory load at processor", "Physical Memory Load", 11, 8, 0, false);
    row("unlisted type", "CPU Package", 11, 5, 10, false);
    row("unlisted sensor location", "CPU Package", 0, 1, 10, false);
}

void MetricRulesTest::singleRule()
{
    QFETCH(QString, label);
    QFETCH(int, sensorLoc);
    QFETCH(int, type);
    QFETCH(int, readingLoc);
    QFETCH(bool, writes);
    QFETCH(Metric, metric);
    QFETCH(qint32, value);

    const Passes s = refresh({item(label.toUtf8().constData(), sensorLoc, type, readingLoc, 48.7)});
    QCOMPARE(s.totalWrites(), writes ? 1 : 0);
    if (writes) {
        QCOMPARE(s[metric], value);
        QCOMPARE(s.written(metric), 1);
    }
}

void MetricRulesTest::cpuUsageIsCappedAbove()
{
    QCOMPARE(refresh({item("CPU Utility", 11, 7, 10, 104.7)})[Metric::CpuUsage], 100);
    QCOMPARE(refresh({item("CPU Utility", 11, 7, 10, -3.2)})[Metric::CpuUsage], -3);
    QCOMPARE(refresh({item("CPU Utility", 11, 7, 10, std::nan(""))})[Metric::CpuUsage], kMin);
}

void MetricRulesTest::clockRulesCollectSamples()
{
    const Passes s = refresh({
        item("Core 0 Clock", 11, 6, 10, 4688.9),
        item("Core 0 Effective Clock", 11, 6, 10, 1203.7),
        item("GPU Effective Clock", 11, 6, 101, 900),
        item("GPU Core Clock", 11, 6, 101, 1250.5), // both processor clock rules match
        item("GPU Clock", 13, 6, 0, 1905),
        item("GPU Memory Clock", 13, 6, 0, 1750.2),
        item("GPU Effective Clock", 13, 6, 0, 1890),
    });
    QCOMPARE(s.samples(Metric::CpuClock), (QVector<qint32>{4688, 1250}));
    // The integrated sample precedes the first discrete reading, so it still counts.
    QCOMPARE(s.samples(Metric::GpuClock), (QVector<qint32>{1250, 1905, 1750}));
    QCOMPARE(s.totalWrites(), 0);
    QVERIFY(s.gpu());
    // Only their means are written, after the walk, the CPU's first.
    QCOMPARE(s.last.writes.size(), 2);
    QCOMPARE(s.last.writes[0].metric, Metric::CpuClock);
    QCOMPARE(s.last.writes[0].value, 2969);
    QCOMPARE(s.last.writes[1].metric, Metric::GpuClock);
    QCOMPARE(s.last.writes[1].value, 1635); // 4905 / 3
    QCOMPARE(s.last.writes[1].item, -1);
    QCOMPARE(s.last.writes[1].logLines, int(s.last.log.size()));
}

void MetricRulesTest::discreteReadingMarksGpuAndSwitchesOffIntegratedRules()
{
    // Any listed type from the discrete card's location marks it, matched or not.
    for (int type : {1, 7, 6, 3, 8})
        QVERIFY(refresh({item("Nothing to match", 13, type, 0, 1)}).gpu());
    QVERIFY(!refresh({item("GPU Temperature", 13, 5, 0, 1)}).gpu());

    const ReadingItems integrated = {
        item("CPU GT Cores (Graphics)", 11, 1, 101, 39),
        item("GPU D3D Usage", 11, 7, 101, 12),
        item("GPU Clock", 11, 6, 101, 300),
        item("GPU D3D Memory Dynamic", 11, 8, 101, 96),
    };
    ReadingItems afterDiscrete = {item("Power", 13, 8, 0, 1)};
    afterDiscrete += integrated;
    const Passes off = refresh(afterDiscrete);
    QCOMPARE(off.totalWrites(), 0);
    QVERIFY(off.samples(Metric::GpuClock).isEmpty());

    // A mark from an earlier pass has the same effect.
    const Passes earlier = refresh(integrated, true);
    QCOMPARE(earlier.totalWrites(), 0);

    const Passes on = refresh(integrated);
    QCOMPARE(on[Metric::GpuTemp], 39);
    QCOMPARE(on[Metric::GpuUsage], 12);
    QCOMPARE(on[Metric::GpuRamUsed], 96);
    QCOMPARE(on.samples(Metric::GpuClock), QVector<qint32>{300});
}

void MetricRulesTest::lastMatchWinsAndEveryMatchSignals()
{
    const Passes s = refresh({
        item("GPU Temperature", 13, 1, 0, 50),
        item("GPU Hot Spot Temperature", 13, 1, 0, 60),
        item("CPU Package", 11, 1, 10, 50.0),
        item("CPU Package", 11, 1, 10, 48.0),
    });
    QCOMPARE(s[Metric::GpuTemp], 60);
    QCOMPARE(s.written(Metric::GpuTemp), 2);
    QCOMPARE(s[Metric::CpuTemp], 48);
    QCOMPARE(s.written(Metric::CpuTemp), 2);
}

void MetricRulesTest::gpuMemoryTotalUsesUsedValueOfTheMoment()
{
    Passes s;
    const ReadingItem available = item("GPU Memory Available", 13, 8, 102, 6144.0);
    const ReadingItem allocated = item("GPU Memory Allocated", 13, 8, 102, 2048);

    // First pass, "available" first with nothing used yet: logged, total untouched.
    s.run({available, allocated});
    QCOMPARE(s[Metric::GpuRamTotal], 0);
    QCOMPARE(s.written(Metric::GpuRamTotal), 0);
    QCOMPARE(s.logStartingWith("[Item Refresh]  [GPU MEM AVAILABLE]").size(), 1);
    QCOMPARE(s[Metric::GpuRamUsed], 2048);

    // Allocated first: this pass's value.
    s.run({item("GPU Memory Allocated", 13, 8, 102, 3000), available});
    QCOMPARE(s[Metric::GpuRamTotal], 9144);

    // Available first: the value left by the last pass.
    s.run({available, allocated});
    QCOMPARE(s[Metric::GpuRamTotal], 9144);
    QCOMPARE(s[Metric::GpuRamUsed], 2048);
    s.run({allocated, available});
    QCOMPARE(s[Metric::GpuRamTotal], 8192);

    // Integrated dynamic memory also feeds "used" while no discrete card has been seen.
    Passes d;
    d.run({item("GPU D3D Memory Dynamic", 11, 8, 101, 500), available});
    QCOMPARE(d[Metric::GpuRamTotal], 6644);
}

void MetricRulesTest::gpuMemoryRulesNeedLocationAndKeywords()
{
    QCOMPARE(refresh({item("GPU Memory Allocated", 13, 8, 0, 10)})[Metric::GpuRamUsed], 10);
    QCOMPARE(refresh({item("GPU Memory Allocated", 13, 8, 101, 10)}).totalWrites(), 0);
    QCOMPARE(refresh({item("Memory Allocated", 13, 8, 102, 10)}).totalWrites(), 0);
    QCOMPARE(refresh({item("GPU Allocated", 13, 8, 102, 10)}).totalWrites(), 0);
    QCOMPARE(refresh({item("GPU D3D Memory Dedicated", 13, 8, 102, 10)}).totalWrites(), 0);
    // One label with both words runs both rules, "alloc" first.
    const Passes both = refresh({item("GPU Memory Allocated/Available", 13, 8, 102, 10)});
    QCOMPARE(both[Metric::GpuRamUsed], 10);
    QCOMPARE(both[Metric::GpuRamTotal], 20);
}

void MetricRulesTest::discoveryOnlyLogs()
{
    Passes s;
    s.run({item("CPU Package", 11, 1, 10, 48), item("Core 0 Clock", 11, 6, 10, 4000),
           item("GPU Fan1", 13, 3, 0, 1450), item("Nothing", 11, 1, 10, 1)},
          RuleMode::Discovery);
    QCOMPARE(s.totalWrites(), 0);
    QVERIFY(s.last.writes.isEmpty()); // no clock means either
    QVERIFY(s.samples(Metric::CpuClock).isEmpty());
    QVERIFY(s.gpu()); // the mark is set in discovery too
    QCOMPARE(s.last.gpuFoundAt, 0);
    QCOMPARE(s.logStartingWith("[Item Found]").size(), 3);
    QVERIFY(s.logStartingWith("[Item Refresh]").isEmpty());
}

void MetricRulesTest::logLinesAreExact()
{
    ReadingItem pkg = item("CPU Package", 11, 1, 10, 48.25, "CPU [#0]: Intel Core i7-12700K");
    pkg.sensorIndex = 3;
    pkg.readingIndex = 17;
    // A label that looks like a placeholder stays as it is.
    ReadingItem odd = item("CPU %2 Package %1", 11, 1, 10, 45, "S");

    Passes s;
    const QStringList found = s.run({pkg, odd}, RuleMode::Discovery).last.log;
    const QStringList refreshed = s.run({pkg, odd}).last.log;
    QCOMPARE(found + refreshed,
             QStringList({
                 "[Item Found]  [CPU TEMP] reader: CPU Package, reader loc: [10], sensor loc: "
                 "[11], type: [1], sensor index: [3], reader index:[17]",
                 "[Item Found]  [CPU TEMP] reader: CPU %2 Package %1, reader loc: [10], sensor "
                 "loc: [11], type: [1], sensor index: [0], reader index:[0]",
                 "[Item Refresh]  [CPU TEMP] reader: [CPU Package], value: [48.25] ---- sensor: "
                 "CPU [#0]: Intel Core i7-12700K",
                 "[Item Refresh]  [CPU TEMP] reader: [CPU %2 Package %1], value: [45] ---- "
                 "sensor: S",
             }));
    // Each write follows its own line.
    QCOMPARE(s.last.writes.size(), 2);
    QCOMPARE(s.last.writes[0].logLines, 1);
    QCOMPARE(s.last.writes[0].item, 0);
    QCOMPARE(s.last.writes[1].logLines, 2);
    QCOMPARE(s.last.writes[1].item, 1);
}

// Debug lines off: the pass must still write, sample and mark exactly as with its log.
void MetricRulesTest::withoutLogWritesTheSame()
{
    const ReadingItems items{
        item("CPU Package", 11, 1, 10, 48.7),  item("Core 0 Clock", 11, 6, 10, 4000),
        item("Core 1 Clock", 11, 6, 10, 3001), item("GPU Temperature", 13, 1, 0, 61),
        item("GPU Fan1", 13, 3, 0, 1450),      item("Total CPU Utility", 11, 7, 10, 120)};
    for (RuleMode mode : {RuleMode::Discovery, RuleMode::Refresh}) {
        const PassResult with = runPass(items, mode, MetricState{}, true);
        const PassResult without = runPass(items, mode, MetricState{}, false);
        QVERIFY(!with.log.isEmpty());
        QVERIFY(without.log.isEmpty());
        QCOMPARE(without.writes.size(), with.writes.size());
        for (int i = 0; i < with.writes.size(); ++i) {
            QCOMPARE(without.writes[i].metric, with.writes[i].metric);
            QCOMPARE(without.writes[i].value, with.writes[i].value);
            QCOMPARE(without.writes[i].item, with.writes[i].item);
            QCOMPARE(without.writes[i].logLines, 0);
        }
        QCOMPARE(without.samples.size(), with.samples.size());
        QCOMPARE(without.gpuFoundAt, with.gpuFoundAt);
        QVERIFY(without.state.values.values == with.state.values.values);
        QCOMPARE(without.state.gpuPresent, with.state.gpuPresent);
    }
}

QTEST_GUILESS_MAIN(MetricRulesTest)
#include "tst_metric_rules.moc"
