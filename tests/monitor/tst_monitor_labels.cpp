// What the program's own metric rules make of every reading the library reports, machine by
// machine: each metric may be fed only by the reading meant for it.

#include "BigMachine.h"
#include "Enumerate.h"
#include "Fixture.h"
#include "fakenvml/FakeNvml.h"

#include "monitor/Monitor.h"
#include "sensors/MetricRules.h"
#include "sensors/MonitorLibrary.h"

#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTest>

#include <map>
#include <set>

using namespace zolven::monitor;
using zolven::sensors::Metric;

namespace {

// Which labels fed which metric in one refresh pass: its writes and clock samples, not the
// clock means.
std::map<Metric, QStringList> attribute(const std::vector<Seen>& seen, bool discreteNamed)
{
    ReadingItems items;
    for (const auto& s : seen)
        items.append(zolven::sensors::readingItemFromFields(s.fields, s.sensor, s.index));
    zolven::sensors::MetricState state;
    state.gpuPresent = discreteNamed;
    const auto pass = zolven::sensors::runPass(items, zolven::sensors::RuleMode::Refresh, state);
    std::map<Metric, QStringList> fed;
    for (const auto* list : {&pass.writes, &pass.samples})
        for (const auto& f : *list)
            if (f.item >= 0)
                fed[f.metric].append(items[f.item].label);
    return fed;
}

const std::map<Metric, QStringList>& allowedFeeders()
{
    static const std::map<Metric, QStringList> allowed{
        {Metric::CpuTemp, {"CPU Package"}},
        {Metric::CpuUsage, {"Total CPU Utility"}},
        {Metric::CpuFan, {"CPU Fan"}},
        {Metric::GpuTemp, {"GPU Temperature", "Graphics GT Temperature"}},
        {Metric::GpuUsage, {"GPU Core Load", "GPU D3D Usage"}},
        {Metric::GpuClock, {"GPU Clock"}},
        {Metric::GpuFan, {"GPU Fan"}},
        {Metric::GpuRamUsed, {"GPU Memory Allocated", "GPU Dynamic Memory"}},
        {Metric::GpuRamTotal, {"GPU Memory Available"}},
        {Metric::RamUsage, {"Physical Memory Load"}},
    };
    return allowed;
}

const char* const kIntegratedLabels[] = {"Graphics GT Temperature", "GPU D3D Usage",
                                         "GPU Dynamic Memory"};

} // namespace

class tst_monitor_labels : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLoggingCategory::setFilterRules("default.debug=false"); }

    void rulesPickTheIntendedReadings_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<int>("discreteCards");
        QTest::addColumn<int>("integrated");
        QTest::newRow("vm") << "vm" << 0 << 0;
        QTest::newRow("intel-nvidia") << "intel-nvidia" << 1 << 1;
        QTest::newRow("amd-amdgpu") << "amd-amdgpu" << 1 << 1;
        QTest::newRow("intel-laptop") << "intel-laptop" << 0 << 1;
        QTest::newRow("big machine") << "" << 10 << 1;
    }

    void rulesPickTheIntendedReadings()
    {
        QFETCH(QString, profile);
        QFETCH(int, discreteCards);
        QFETCH(int, integrated);

        QTemporaryDir big;
        std::unique_ptr<Fixture> fixture;
        MonitorConfig config;
        fakenvml::reset();
        int cpus = 0;
        if (profile.isEmpty()) {
            BigMachine machine;
            QVERIFY(machine.write(big.path()));
            machine.useFakeNvml();
            config.sysRoot = (big.path() + "/sys").toStdString();
            config.procRoot = (big.path() + "/proc").toStdString();
            cpus = machine.cpus;
        } else {
            fixture = std::make_unique<Fixture>(profile);
            QVERIFY(fixture->isValid());
            config = fixture->config();
        }
        const auto api = fakenvml::api();
        Monitor m;
        m.setNvmlApi(&api);
        QCOMPARE(m.initialize(64, config), 0);
        enumerate(m);
        Fixture::advanceStatFile(QString::fromStdString(config.procRoot) + "/stat", 40, 60);
        QTest::qWait(120); // the integrated-graphics load needs a window of 100 ms
        const auto seen = enumerate(m);
        QVERIFY(!seen.empty());
        if (!cpus)
            for (const auto& s : seen)
                cpus += QString::fromStdString(s.fields.label)
                            .contains(QRegularExpression("^Core #\\d+ Clock$"));

        // Whatever the start-up identification concluded about a discrete card.
        for (bool discreteNamed : {false, true}) {
            auto fed = attribute(seen, discreteNamed);
            for (const auto& [metric, labels] : fed) {
                if (metric == Metric::CpuClock) {
                    for (const QString& l : labels)
                        QVERIFY2(QRegularExpression("^Core #\\d+ Clock$").match(l).hasMatch(),
                                 qPrintable("CPU clock fed by " + l));
                    QCOMPARE(int(labels.size()), cpus); // one sample per logical CPU, no more
                    continue;
                }
                for (const QString& l : labels)
                    QVERIFY2(
                        allowedFeeders().at(metric).contains(l),
                        qPrintable(QString("metric %1 fed by \"%2\"").arg(int(metric)).arg(l)));
            }
            // With a discrete card, its readings come first and the integrated ones feed
            // nothing, not even in the first pass.
            if (discreteCards > 0 || discreteNamed)
                for (const auto& [metric, labels] : fed)
                    for (const char* l : kIntegratedLabels)
                        QVERIFY2(!labels.contains(l), l);
            if (discreteCards > 0) {
                QCOMPARE(int(fed[Metric::GpuTemp].size()), discreteCards);
                QCOMPARE(int(fed[Metric::GpuRamTotal].size()), discreteCards);
                QCOMPARE(int(fed[Metric::GpuClock].size()), discreteCards);
            } else if (integrated && !discreteNamed) {
                QCOMPARE(int(fed[Metric::GpuUsage].size()), integrated);
            }
            QCOMPARE(int(fed[Metric::CpuTemp].size()), profile == "vm" ? 0 : 1);
            QCOMPARE(int(fed[Metric::CpuUsage].size()), 1);
            QCOMPARE(int(fed[Metric::RamUsage].size()), 1);
            QVERIFY(fed[Metric::CpuFan].size() <= 1);
        }

        // Per card: memory in use is enumerated before memory available (the total adds the
        // two as it meets the second), and the core temperature before any other.
        std::map<std::int32_t, std::vector<std::string>> byCard;
        for (const auto& s : seen)
            if (s.fields.sensorLocation == 13)
                byCard[s.sensor].push_back(s.fields.label);
        QCOMPARE(int(byCard.size()), discreteCards);
        for (const auto& [card, labels] : byCard) {
            const auto at = [&](const char* l) {
                return std::find(labels.begin(), labels.end(), l) - labels.begin();
            };
            QVERIFY(at("GPU Memory Allocated") < at("GPU Memory Available"));
            QCOMPARE(int(at("GPU Temperature")), 0);
        }
    }

    // The machines of the once-closed lists: the program's rules find each metric the library
    // now reports for them, and only in the reading meant for it.
    void newClassesFeedTheirMetrics_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QList<int>>("fedOnce");
        QTest::newRow("SoC zones")
            << "rk3588s-opi5" << QList<int>{int(Metric::CpuTemp), int(Metric::GpuTemp)};
        QTest::newRow("SoC GPU devfreq")
            << "rk3399-mali-devfreq" << QList<int>{int(Metric::GpuUsage), int(Metric::GpuClock)};
        QTest::newRow("Arc on i915")
            << "arc-a310-i915" << QList<int>{int(Metric::GpuTemp), int(Metric::GpuClock)};
        QTest::newRow("gpio-fan") << "rpi-gpio-fan"
                                  << QList<int>{int(Metric::CpuTemp), int(Metric::CpuFan)};
        QTest::newRow("asuswmisensors")
            << "asuswmisensors-x470f" << QList<int>{int(Metric::CpuTemp), int(Metric::CpuFan)};
    }

    void newClassesFeedTheirMetrics()
    {
        QFETCH(QString, profile);
        QFETCH(QList<int>, fedOnce);
        Fixture fixture(profile);
        QVERIFY(fixture.isValid());
        Monitor m;
        QCOMPARE(m.initialize(64, fixture.config()), 0);
        const auto fed = attribute(enumerate(m), false);
        for (int metric : fedOnce)
            QCOMPARE(int(fed.count(Metric(metric)) ? fed.at(Metric(metric)).size() : 0), 1);
        for (const auto& [metric, labels] : fed)
            if (metric != Metric::CpuClock)
                for (const QString& l : labels)
                    QVERIFY2(allowedFeeders().at(metric).contains(l), qPrintable(l));
    }
};

QTEST_GUILESS_MAIN(tst_monitor_labels)
#include "tst_monitor_labels.moc"
