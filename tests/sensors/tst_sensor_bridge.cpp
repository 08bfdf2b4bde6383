// The bridge driven pass by pass on the test thread, with the test library as config.dat.

#include "BridgeMetrics.h"
#include "SensorTestSupport.h"

#include "sensors/Identification.h"
#include "sensors/hwinfoBridge.h"
#include "sensors/platform/CpuBrand.h"

#include <QtTest>

using namespace sensortest;
using zolven::sensors::kMetrics;

namespace {

QString thisCpu()
{
    return zolven::sensors::cpuBrandFromBytes(zolven::sensors::platform::cpuBrandBytes());
}

} // namespace

class SensorBridgeTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void qmlInterface();
    void stateBeforeStart();
    void propertyWritesAlwaysNotify();

    void profiles_data();
    void profiles();

    void startUpCallsAndLogs();
    void enumerationOrderAndBounds();
    void recordTypeAndTextBounds();
    void initialiseFailure();
    void nothingUsable_data();
    void nothingUsable();
    void clockAverageAndFrozenMetrics();
    void integratedRulesUntilDiscreteSeen();
    void refreshWithoutLibraryCallsNothing();

private:
    QTemporaryDir m_dir;
    TestLibrary m_lib;
};

void SensorBridgeTest::initTestCase()
{
    QVERIFY2(QFile::exists(QCoreApplication::applicationDirPath() + "/config.dat"),
             "the test library must sit beside the test as config.dat");
    QVERIFY(m_dir.isValid());
}

void SensorBridgeTest::init()
{
    setAdapters({"NVIDIA GeForce RTX 3070"});
    m_lib.reset();
}

void SensorBridgeTest::qmlInterface()
{
    const QMetaObject& mo = hwinfoBridge::staticMetaObject;
    QCOMPARE(mo.propertyCount() - mo.propertyOffset(), 11);
    for (int i = 0; i < 11; ++i) {
        const QMetaProperty p = mo.property(mo.propertyOffset() + i);
        QCOMPARE(p.name(), kMetrics[i].property);
        QCOMPARE(p.metaType(), QMetaType::fromType<int>());
        QVERIFY(p.isReadable() && p.isWritable() && p.isStored() && p.isScriptable() &&
                p.isDesignable() && !p.isConstant() && !p.isFinal());
        QCOMPARE(p.notifySignal().name(), QByteArray("notify_") + kMetrics[i].property);
        QCOMPARE(p.notifySignal().parameterCount(), 0);
    }
    // Signals first, in property order, then the invokables in declared order.
    QStringList methods;
    for (int i = mo.methodOffset(); i < mo.methodCount(); ++i)
        methods << QString::fromLatin1(mo.method(i).methodSignature());
    QStringList expected;
    for (const zolven::sensors::MetricInfo& info : kMetrics)
        expected << QStringLiteral("notify_%1()").arg(QLatin1String(info.property));
    expected << "RunAsync()"
             << "getIsGpuAvailable()"
             << "getCpuName_QML()"
             << "getGpuName_QML()"
             << "getAllVariable()";
    QCOMPARE(methods, expected);
}

void SensorBridgeTest::stateBeforeStart()
{
    hwinfoBridge b;
    QCOMPARE(bridgeMetrics(b), QVector<int>(11, 0));
    QCOMPARE(b.getCpuName_QML(), QString());
    QCOMPARE(b.getGpuName_QML(), QString());
    QVERIFY(!b.getIsGpuAvailable());

    LogCapture log;
    b.getAllVariable();
    QCOMPARE(log.lines(),
             QStringList(
                 {"[Current Var]===========|", "[data_cpu_temp     ] 0", "[data_cpu_usage    ] 0",
                  "[data_cpu_clock    ] 0", "[data_cpu_fan      ] 0", "[data_gpu_clock    ] 0",
                  "[data_gpu_usage    ] 0", "[data_gpu_fan      ] 0", "[data_gpu_ramUsed  ] 0",
                  "[data_gpu_ramTotal ] 0", "[data_gpu_temp     ] 0", "[data_ram_usage    ] 0"}));
}

void SensorBridgeTest::propertyWritesAlwaysNotify()
{
    hwinfoBridge b;
    NotifySpies spies(b);
    QVERIFY(b.setProperty("data_gpu_fan", 0)); // unchanged value
    QVERIFY(b.setProperty("data_gpu_fan", 0));
    QVERIFY(b.setProperty("data_ram_usage", -7));
    QCOMPARE(spies.count(6), 2);
    QCOMPARE(spies.count(10), 1);
    QCOMPARE(spies.total(), 3);
    QCOMPARE(b.get_data_ram_usage(), -7);
}

void SensorBridgeTest::profiles_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QStringList>("adapters");
    QTest::addColumn<QVector<int>>("expected");
    QTest::addColumn<bool>("gpuPresent");
    QTest::addColumn<QString>("gpuName");

    // cpu temp, usage, clock, fan; gpu clock, usage, fan, used, total, temp; ram
    QTest::newRow("intel desktop, nvidia card")
        << "intel_nvidia.readings"
        << QStringList{"Intel(R) UHD Graphics 770", "NVIDIA GeForce RTX 3070"}
        << QVector<int>{48, 23, 4289, 1205, 1783, 37, 1460, 2048, 8192, 67, 31} << true
        << "NVIDIA GeForce RTX 3070";
    QTest::newRow("amd desktop, amd card")
        << "amd_amd.readings" << QStringList{"AMD Radeon RX 7900 XT", "AMD Radeon(TM) Graphics"}
        << QVector<int>{66, 12, 4949, 1120, 2027, 64, 1320, 3120, 20480, 71, 44} << true
        << "AMD Radeon RX 7900 XT";
    QTest::newRow("laptop, integrated graphics")
        << "laptop_igpu.readings" << QStringList{"Intel(R) Iris(R) Xe Graphics"}
        << QVector<int>{61, 17, 2914, 2904, 1250, 18, 0, 812, 0, 56, 63} << false
        << "Intel(R) Iris(R) Xe Graphics";
    // A discrete adapter named at start-up switches the integrated rules off from the start.
    QTest::newRow("laptop readings, discrete adapter named")
        << "laptop_igpu.readings"
        << QStringList{"Intel(R) Iris(R) Xe Graphics", "NVIDIA GeForce RTX 3050 Laptop GPU"}
        << QVector<int>{61, 17, 2914, 2904, 0, 0, 0, 0, 0, 0, 63} << true
        << "NVIDIA GeForce RTX 3050 Laptop GPU";
}

void SensorBridgeTest::profiles()
{
    QFETCH(QString, fixture);
    QFETCH(QStringList, adapters);
    QFETCH(QVector<int>, expected);
    QFETCH(bool, gpuPresent);
    QFETCH(QString, gpuName);

    std::vector<std::string> list;
    for (const QString& a : adapters)
        list.push_back(a.toStdString());
    setAdapters(list);
    useReadings(fixturePath(fixture));

    LogCapture quiet;
    hwinfoBridge b;
    b.RunHwinfo();
    QCOMPARE(b.getCpuName_QML(), thisCpu());
    QCOMPARE(b.getGpuName_QML(), gpuName);
    b.refreshData();
    QCOMPARE(bridgeMetrics(b), expected);
    QCOMPARE(b.getIsGpuAvailable(), gpuPresent);
    QCOMPARE(m_lib.calls(0), 0L); // every reading asked for its own sensor after beginSensor
}

void SensorBridgeTest::startUpCallsAndLogs()
{
    useReadingsText(m_dir, "S 0 11 CPU [#0]: Test CPU\n"
                           "S 1 0 Drive\n"
                           "R 0 0 1 10 48.5 C CPU Package\n");
    LogCapture log;
    {
        hwinfoBridge b;
        b.RunHwinfo();
        QCOMPARE(m_lib.lastFlags(), 64);
        QCOMPARE(m_lib.trace(), QStringLiteral("I64 P C P S0 S1"));
        QCOMPARE(m_lib.calls(106), 2L * 512 * 5);
        QCOMPARE(b.requestedTypes(), (QVector<qint32>{1, 7, 6, 3, 8}));

        const QString path = QCoreApplication::applicationDirPath() + "/config.dat";
        QCOMPARE(
            log.lines(),
            QStringList({"[RunHwinfo] DLL Exist", "[RunHwinfo] DLL path: \"" + path + "\"",
                         "[RunHwinfo] INIT OK",
                         "tSensorLocation.szLocationName: \"CPU [#0]: Test CPU\"",
                         "tSensorLocation.eSensorLocation: 11",
                         "tReadingLocation.eSensorLocation: \"CPU Package\"",
                         "tReadingLocation.eReadingLocation: 10", "tReadingType.eType: 1",
                         "value: 48.5", "szUnits: \"C\"",
                         "[Item Found]  [CPU TEMP] reader: CPU Package, reader loc: [10], "
                         "sensor loc: [11], type: [1], sensor index: [0], reader index:[0]",
                         "\"[GET CPU NAME] \" Found CPU: \"" + thisCpu() + "\"",
                         "\"[GET GPU NAME] \" Found GPU: \"NVIDIA GeForce RTX 3070\"",
                         "[GET GPU NAME]  Discrete GPU Detected now: NVIDIA GeForce RTX 3070"}));

        log.clear();
        b.refreshData();
        QCOMPARE(m_lib.trace(), QStringLiteral("I64 P C P S0 S1 C P S0 S1"));
        QCOMPARE(
            log.lines(),
            QStringList({"[Item Refresh]  [CPU TEMP] reader: [CPU Package], value: [48.5] "
                         "---- sensor: CPU [#0]: Test CPU",
                         "[Refresh data] Refresh done---------------------------------------"}));
    }
    QCOMPARE(m_lib.trace(), QStringLiteral("I64 P C P S0 S1 C P S0 S1 X"));
    QCOMPARE(m_lib.calls(906), 1L);
}

void SensorBridgeTest::enumerationOrderAndBounds()
{
    useReadingsText(m_dir, "S 0 11 CPU\n"
                           "S 1 13 GPU\n"
                           "R 1 0 1 0 60 C GPU Temperature\n"
                           "R 0 511 8 10 5 x Last index\n"
                           "R 0 0 8 10 1 x First other\n"
                           "R 0 0 1 10 40 C CPU Package\n"
                           "R 0 512 1 10 99 C Beyond the last index\n"
                           "R 0 7 6 10 4000 MHz Core 0 Clock\n");
    LogCapture quiet;
    hwinfoBridge b;
    b.RunHwinfo();
    QStringList order;
    for (const ReadingItem& it : b.items())
        order << QStringLiteral("%1/%2/%3 %4")
                     .arg(it.sensorIndex)
                     .arg(it.readingIndex)
                     .arg(it.readingType)
                     .arg(it.label);
    QCOMPARE(order, QStringList({"0/0/1 CPU Package", "0/0/8 First other", "0/7/6 Core 0 Clock",
                                 "0/511/8 Last index", "1/0/1 GPU Temperature"}));
    const ReadingItem& gpu = b.items().last();
    QCOMPARE(gpu.sensorName, QStringLiteral("GPU"));
    QCOMPARE(gpu.sensorLocation, 13);
    QCOMPARE(gpu.readingLocation, 0);
    QCOMPARE(gpu.value, 60.0);
}

void SensorBridgeTest::recordTypeAndTextBounds()
{
    const QString longName = "GPU [#0]: " + QString(290, QLatin1Char('N'));
    const QString longLabel = "GPU Temperature " + QString(184, QLatin1Char('L'));
    useReadingsText(m_dir, "S 0 13 " + longName +
                               "\n"
                               "R 0 0 1/7 0 55 % GPU Core Load\n"
                               "R 0 1 1 0 60 C " +
                               longLabel + "\n");
    LogCapture quiet;
    hwinfoBridge b;
    b.RunHwinfo();
    QCOMPARE(b.items().size(), 2);
    // Asked as a temperature, recorded as a load: the record's own code counts.
    QCOMPARE(b.items()[0].readingType, 7);
    // Texts filling their whole field carry no terminator and end at its width.
    QCOMPARE(b.items()[1].label, longLabel.left(128));
    QCOMPARE(b.items()[1].sensorName, longName.left(256));
    b.refreshData();
    QCOMPARE(b.get_data_gpu_usage(), 55);
    QCOMPARE(b.get_data_gpu_temp(), 60);
}

void SensorBridgeTest::initialiseFailure()
{
    useReadingsText(m_dir, "@ init 7\n"
                           "S 0 11 CPU\n"
                           "S 1 13 GPU\n"
                           "R 0 0 1 10 40 C CPU Package\n"
                           "R 1 0 3 0 1400 RPM GPU Fan\n");
    LogCapture log;
    {
        hwinfoBridge b;
        NotifySpies spies(b);
        b.RunHwinfo();
        QVERIFY(log.count("[RunHwinfo] INIT FAILED: 7") == 1);
        QVERIFY(log.count("[RunHwinfo] INIT OK") == 0);
        QVERIFY(log.linesStartingWith("[GET ").isEmpty());
        QVERIFY(log.linesStartingWith("\"[GET ").isEmpty());
        QVERIFY(b.requestedTypes().isEmpty());
        QCOMPARE(b.getCpuName_QML(), QString());
        QCOMPARE(b.getGpuName_QML(), QString());

        b.refreshData();
        b.refreshData();
        // Still asked for counts and sensors, never for a reading.
        QCOMPARE(m_lib.trace(), QStringLiteral("I64 C P S0 S1 C P S0 S1"));
        QCOMPARE(m_lib.calls(106), 0L);
        QCOMPARE(bridgeMetrics(b), QVector<int>(11, 0));
        QCOMPARE(spies.total(), 0);
        QVERIFY(!b.getIsGpuAvailable());
    }
    QVERIFY(m_lib.trace().endsWith(" X"));
}

void SensorBridgeTest::nothingUsable_data()
{
    QTest::addColumn<QString>("switchLine");
    QTest::addColumn<long>("reads");
    QTest::addColumn<QString>("trace");
    QTest::newRow("valid flag 0") << "@ valid 0" << 2L * 512 * 5 << "I64 P C P S0 S1";
    QTest::newRow("no sensors") << "@ sensors 0" << 0L << "I64 P C P";
    QTest::newRow("negative count") << "@ sensors -3" << 0L << "I64 P C P";
}

void SensorBridgeTest::nothingUsable()
{
    QFETCH(QString, switchLine);
    QFETCH(long, reads);
    QFETCH(QString, trace);
    useReadingsText(m_dir, switchLine + "\n"
                                        "S 0 11 CPU\n"
                                        "S 1 10 Memory\n"
                                        "R 0 0 1 10 40 C CPU Package\n"
                                        "R 1 3 8 0 30 % Physical Memory Load\n");
    LogCapture log;
    hwinfoBridge b;
    b.RunHwinfo();
    QCOMPARE(m_lib.trace(), trace);
    QCOMPARE(m_lib.calls(106), reads);
    QVERIFY(b.items().isEmpty());
    QVERIFY(log.linesStartingWith("tSensorLocation").isEmpty());
    QVERIFY(log.linesStartingWith("[Item Found]").isEmpty());
}

void SensorBridgeTest::clockAverageAndFrozenMetrics()
{
    // Blocks: discovery, first refresh, second refresh.
    const QString clocks = "R 0 0 6 10 3599 MHz Core 0 Clock\n"
                           "R 0 1 6 10 3600 MHz Core 1 Clock\n"
                           "R 0 2 6 10 3602.9 MHz Core 2 Clock\n"
                           "R 0 0 1 10 45 C CPU Package\n";
    useReadingsText(m_dir, "S 0 11 CPU\n" + clocks + "P\n" + clocks +
                               "P\n"
                               "R 0 0 1 10 50 C CPU Package\n");
    LogCapture quiet;
    hwinfoBridge b;
    b.RunHwinfo();
    NotifySpies spies(b);
    b.refreshData();
    QCOMPARE(b.get_data_cpu_clock(), 3600); // 10801 / 3, truncated
    QCOMPARE(spies.count(2), 1);
    QCOMPARE(spies.count(4), 0); // no GPU clock samples: no signal

    b.refreshData();
    QCOMPARE(b.get_data_cpu_clock(), 3600);
    QCOMPARE(spies.count(2), 1);
    QCOMPARE(b.get_data_cpu_temp(), 50);
}

void SensorBridgeTest::integratedRulesUntilDiscreteSeen()
{
    // No discrete adapter named: the first pass still counts the integrated readings that come
    // before the card's sensor; the card's readings switch them off for good.
    setAdapters({"Microsoft Basic Display Adapter"});
    useReadings(fixturePath("intel_nvidia.readings"));
    LogCapture quiet;
    hwinfoBridge b;
    b.RunHwinfo();
    QVERIFY(!b.getIsGpuAvailable()); // the adapters' verdict replaces the discovery mark
    QCOMPARE(b.getGpuName_QML(), QStringLiteral("Unknown GPU"));

    NotifySpies spies(b);
    b.refreshData();
    QVERIFY(b.getIsGpuAvailable());
    QCOMPARE(b.get_data_gpu_clock(), 1412); // (300 + 1905 + 1750 + 1695) / 4
    QCOMPARE(spies.count(9), 4);            // integrated, then three card temperatures
    QCOMPARE(b.get_data_gpu_temp(), 67);

    b.refreshData();
    QCOMPARE(b.get_data_gpu_clock(), 1783);
    QCOMPARE(spies.count(9), 7);
}

void SensorBridgeTest::refreshWithoutLibraryCallsNothing()
{
    LogCapture log;
    {
        hwinfoBridge b;
        NotifySpies spies(b);
        b.refreshData();
        b.refreshData();
        QCOMPARE(log.count("[Refresh data] Refresh done---------------------------------------"),
                 2);
        QCOMPARE(spies.total(), 0);
        QVERIFY(!b.isLibraryBound());
    }
    QCOMPARE(m_lib.trace(), QString()); // not even shutdown
}

QTEST_GUILESS_MAIN(SensorBridgeTest)
#include "tst_sensor_bridge.moc"
