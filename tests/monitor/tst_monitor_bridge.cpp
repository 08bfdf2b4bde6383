// End to end: the program's own bridge loads this library as config.dat and reads each fixture
// machine through its rules, the way ZOLVEN does once per second.

#include "BridgeMetrics.h"
#include "Fixture.h"

#include "monitor/Config.h"
#include "sensors/Identification.h"
#include "sensors/hwinfoBridge.h"

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QTest>
#include <QThread>

#include <cmath>

namespace {

std::vector<std::string> g_adapters;
std::vector<std::string> adapters()
{
    return g_adapters;
}

int ramLoad(double totalKb, double availableKb)
{
    return int(100.0 * (totalKb - availableKb) / totalKb);
}

} // namespace

class tst_monitor_bridge : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(QCoreApplication::applicationDirPath() + "/config.dat"),
                 "the library must sit beside the test as config.dat");
        QLoggingCategory::setFilterRules("default.debug=false");
        zolven::sensors::setAdapterSource(adapters);
    }

    void cleanupTestCase()
    {
        zolven::sensors::setAdapterSource(nullptr);
        qunsetenv(zolven::monitor::kConfigEnvironment);
    }

    void elevenMetrics_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QStringList>("adapterNames");
        QTest::addColumn<QVector<int>>("expected");
        QTest::addColumn<bool>("gpuPresent");

        // busy 30 of every 100 ticks per CPU in the last window: 30 %.
        QTest::newRow("vm")
            << "vm" << QStringList{}
            << QVector<int>{0, 30, 2096, 0, 0, 0, 0, 0, 0, 0, ramLoad(24683716, 24215416)} << false;
        // NVIDIA: 3072 MB in use and 24564 - 300 reserved - 3072 available.
        QTest::newRow("intel-nvidia")
            << "intel-nvidia" << QStringList{"Intel(R) UHD Graphics 770", "NVIDIA GeForce RTX 4090"}
            << QVector<int>{52,
                            30,
                            4875,
                            1180,
                            2520,
                            37,
                            45,
                            3072,
                            24264,
                            61,
                            ramLoad(32697264, 24522948)}
            << true;
        QTest::newRow("amd-amdgpu")
            << "amd-amdgpu" << QStringList{"AMD Radeon RX 7900 XTX", "AMD Radeon(TM) Graphics"}
            << QVector<int>{58,
                            30,
                            4550,
                            1410,
                            2394,
                            23,
                            34,
                            2048,
                            24560,
                            54,
                            ramLoad(65759916, 49319936)}
            << true;
        // i915 reports no temperature and no memory; the GT did not sleep at all: 100 % busy.
        QTest::newRow("intel-laptop")
            << "intel-laptop" << QStringList{"Intel(R) Iris(R) Xe Graphics"}
            << QVector<int>{61, 30, 2100, 2400, 300, 100, 0, 0, 0, 0, ramLoad(16069236, 9120440)}
            << false;
        // Machines from published captures. Whole MB: used plus available is the card's
        // 8176 MB, not a megabyte short.
        QTest::newRow("amdgpu-vram")
            << "amdgpu-vram" << QStringList{}
            << QVector<int>{0, 30, 0, 0, 0, 0, 0, 6497, 8176, 0, ramLoad(8000000, 6000000)} << true;
        QTest::newRow("amdgpu-fan-max")
            << "amdgpu-fan-max" << QStringList{}
            << QVector<int>{0, 30, 0, 0, 0, 0, 12, 0, 0, 37, ramLoad(8000000, 6000000)} << true;
        QTest::newRow("thinkpad-x390")
            << "thinkpad-x390" << QStringList{}
            << QVector<int>{49, 30, 0, 0, 0, 0, 0, 0, 0, 0, ramLoad(8000000, 6000000)} << false;
        QTest::newRow("asus-ec-z270")
            << "asus-ec-z270" << QStringList{}
            << QVector<int>{33, 30, 0, 0, 0, 0, 0, 0, 0, 0, ramLoad(8000000, 6000000)} << false;
        QTest::newRow("core2-nouveau")
            << "core2-nouveau" << QStringList{}
            << QVector<int>{43, 30, 0, 0, 0, 0, 0, 0, 0, 40, ramLoad(8000000, 6000000)} << true;
    }

    void elevenMetrics()
    {
        QFETCH(QString, profile);
        QFETCH(QStringList, adapterNames);
        QFETCH(QVector<int>, expected);
        QFETCH(bool, gpuPresent);

        Fixture fx(profile);
        QVERIFY(fx.isValid());
        fx.write("monitor.conf", "sys = sys\nproc = proc\nnvml = " ZOLVEN_FAKE_NVML "\n"
                                 "pci_ids = " ZOLVEN_MONITOR_FIXTURES "/pci.ids\n");
        qputenv(zolven::monitor::kConfigEnvironment, fx.path("monitor.conf").toLocal8Bit());
        g_adapters.clear();
        for (const QString& a : adapterNames)
            g_adapters.push_back(a.toStdString());

        auto bridge = std::make_unique<hwinfoBridge>();
        bridge->RunHwinfo();
        fx.advanceStat(10, 90);
        QThread::msleep(120); // a load needs a window of ~100 ms
        bridge->refreshData();
        fx.advanceStat(30, 70);
        QThread::msleep(120);
        bridge->refreshData();

        QCOMPARE(bridgeMetrics(*bridge), expected);
        QCOMPARE(bridge->getIsGpuAvailable(), gpuPresent);
        bridge.reset(); // shuts the library down; the next profile initialises it again
    }
};

QTEST_GUILESS_MAIN(tst_monitor_bridge)
#include "tst_monitor_bridge.moc"
