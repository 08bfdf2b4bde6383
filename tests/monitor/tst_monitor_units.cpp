// Parsers, the reading table, settings, and record/replay of the library.

#include "Enumerate.h"
#include "Fixture.h"

#include "abi/ReadingsFile.h"
#include "monitor/Catalogue.h"
#include "monitor/Config.h"
#include "monitor/Monitor.h"
#include "monitor/ProcParsers.h"
#include "monitor/SysFs.h"

#include <QTemporaryDir>
#include <QTest>

#include <clocale>
#include <cmath>
#include <cstring>

using namespace zolven::monitor;
namespace abi = zolven::abi;

class tst_monitor_units : public QObject
{
    Q_OBJECT

private slots:
    void procStat()
    {
        // guest (9th column) is already inside user: it must not be counted twice.
        const auto t = parseProcStat("cpu  100 5 50 800 40 1 4 0 30 0\n"
                                     "cpu0 60 5 25 400 20 1 2 0 30 0\n"
                                     "cpu1 40 0 25 400 20 0 2 0\n"
                                     "intr 5 1 2\n"
                                     "cpu_not_a_cpu 1 2 3 4\n");
        QCOMPARE(int(t.size()), 3);
        QCOMPARE(t[0].cpu, -1);
        QCOMPARE(t[0].total, quint64(1000));
        QCOMPARE(t[0].busy, quint64(160)); // total - idle - iowait
        QCOMPARE(t[1].cpu, 0);
        QCOMPARE(t[2].cpu, 1);
        QCOMPARE(t[2].total, quint64(487));
        // Kernels before 2.6 had only four columns.
        const auto old = parseProcStat("cpu 10 0 10 80\n");
        QCOMPARE(old[0].busy, quint64(20));
        QVERIFY(parseProcStat("cpu 1 2\n").empty());
    }

    void loadMeter()
    {
        LoadMeter m(10);
        double p = -1;
        QVERIFY(!m.sample(0, 0, p)); // no baseline: becomes the baseline, no value
        QVERIFY(m.sample(30, 100, p));
        QCOMPARE(p, 30.0);
        // A window shorter than the minimum repeats the last value and keeps the baseline...
        QVERIFY(m.sample(35, 105, p));
        QCOMPARE(p, 30.0);
        // ...so the next sample measures from it: (35+45)/(105+95) over the whole window.
        QVERIFY(m.sample(110, 200, p));
        QCOMPARE(p, 80.0);
        // Counters stepping back give no negative or huge load.
        QVERIFY(m.sample(50, 150, p));
        QVERIFY(p >= 0.0 && p <= 100.0);
        QVERIFY(m.sample(150, 250, p));
        QCOMPARE(p, 100.0);
        // Busy may outrun total when iowait steps back; the load stays at 100.
        LoadMeter n(1);
        n.baseline(0, 100);
        QVERIFY(n.sample(80, 150, p));
        QCOMPARE(p, 100.0);
        // Too short a first window has nothing to repeat.
        LoadMeter s(10);
        s.baseline(0, 0);
        QVERIFY(!s.sample(1, 2, p));
    }

    void memInfo()
    {
        double percent, used, avail;
        QVERIFY(memoryLoad(parseMemInfo("MemTotal: 1000 kB\nMemFree: 100 kB\n"
                                        "MemAvailable: 250 kB\n"),
                           percent, used, avail));
        QCOMPARE(percent, 75.0);
        QCOMPARE(avail, 250.0 / 1024.0);
        // Kernels before 3.14 have no MemAvailable: free + buffers + cached instead.
        QVERIFY(memoryLoad(parseMemInfo("MemTotal: 1000 kB\nMemFree: 100 kB\nBuffers: 100 kB\n"
                                        "Cached: 200 kB\n"),
                           percent, used, avail));
        QCOMPARE(percent, 60.0);
        QVERIFY(!memoryLoad(parseMemInfo("MemFree: 100 kB\n"), percent, used, avail));
    }

    void cpuInfo()
    {
        const std::string text = "processor\t: 0\nmodel name\t: AMD EPYC\ncpu MHz\t\t: 2096.012\n\n"
                                 "processor\t: 1\nmodel name\t: AMD EPYC\n\n";
        // procfs always writes a dot, whatever the process's numeric locale says.
        const char* before = std::setlocale(LC_NUMERIC, nullptr);
        const std::string saved = before ? before : "C";
        const bool comma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
        const auto e = parseCpuInfo(text);
        std::setlocale(LC_NUMERIC, saved.c_str());
        QCOMPARE(int(e.size()), 2);
        QCOMPARE(e[0].mhz, 2096.012);
        QCOMPARE(e[1].mhz, -1.0);
        if (!comma)
            qInfo("no de_DE locale here: the comma-locale case ran in the C locale");
    }

    void naturalOrder()
    {
        QVERIFY(naturalLess("hwmon9", "hwmon10"));
        QVERIFY(!naturalLess("hwmon10", "hwmon9"));
    }

    void config()
    {
        MonitorConfig c;
        std::vector<std::string> warnings;
        parseConfig("# comment\n"
                    "sys = fixture/sys\n"
                    "proc=/abs/proc\n"
                    "nvml = off\n"
                    "record = out.readings\n"
                    "record_passes = ten\n"
                    "colour = blue\n"
                    "just words\n",
                    "/base", c, warnings);
        QCOMPARE(c.sysRoot, std::string("/base/fixture/sys"));
        QCOMPARE(c.procRoot, std::string("/abs/proc"));
        QVERIFY(c.nvmlLibrary.empty());
        QCOMPARE(c.recordPath, std::string("/base/out.readings"));
        QCOMPARE(c.recordPasses, 3600LL);
        QCOMPARE(int(warnings.size()), 3);
        // A bare library name is left to the loader's search path.
        parseConfig("nvml = libnvidia-ml.so.1\n", "/base", c, warnings);
        QCOMPARE(c.nvmlLibrary, std::string("libnvidia-ml.so.1"));
        // Sources named by hand are kept as written: they are looked up at discovery.
        warnings.clear();
        parseConfig("cpu_temp = soc-thermal\ngpu = 0000:03:00.0\ngpu_temp = amdgpu/temp2\n",
                    "/base", c, warnings);
        QVERIFY(warnings.empty());
        QCOMPARE(c.cpuTemp, std::string("soc-thermal"));
        QCOMPARE(c.gpu, std::string("0000:03:00.0"));
        QCOMPARE(c.gpuTemp, std::string("amdgpu/temp2"));
        // The environment names the file; otherwise it sits beside the library.
        qunsetenv(kConfigEnvironment);
        QCOMPARE(configPath("/opt/zolven"), std::string("/opt/zolven/monitor.conf"));
        qputenv(kConfigEnvironment, "/tmp/other.conf");
        QCOMPARE(configPath("/opt/zolven"), std::string("/tmp/other.conf"));
        qunsetenv(kConfigEnvironment);
    }

    void catalogue()
    {
        Catalogue cat;
        const auto s0 = cat.addSensor(11, "CPU: Test");
        const int a = cat.addReading(s0, 1, 10, "C", "CPU Package");
        ReadingInfo last{s0, 511, 7, 7, 10, "%", "Last"};
        const int b = cat.placeReading(last);
        ReadingInfo sameIndex{s0, 0, 8, 8, 0, "", "Other type"};
        const int c = cat.placeReading(sameIndex);
        QCOMPARE(cat.placeReading({s0, 512, 7, 7, 0, "", "never"}), -1);
        cat.set(a, 45.5);
        cat.set(b, 3.0);

        unsigned char rec[abi::kRecordSize];
        std::memset(rec, 0xAB, sizeof rec);
        QVERIFY(cat.fill(1, s0, 0, rec));
        const auto f = abi::decodeRecord(rec);
        QVERIFY(f.valid);
        QCOMPARE(f.value, 45.5);
        QCOMPARE(f.sensorLocation, 11);
        QCOMPARE(f.sensorName, std::string("CPU: Test"));
        QCOMPARE(f.readingLocation, 10);
        QCOMPARE(f.label, std::string("CPU Package"));
        QCOMPARE(f.type, 1);
        QCOMPARE(int(rec[460]), 0); // padding is not left as garbage
        QVERIFY(cat.fill(7, s0, 511, rec));
        QVERIFY(!cat.fill(8, s0, 0, rec)); // declared but no value this pass
        QVERIFY(!cat.fill(3, s0, 0, rec));
        QVERIFY(!cat.fill(1, s0 + 1, 0, rec));
        QVERIFY(!cat.fill(1, -1, 0, rec));
        cat.set(c, 1.0);
        QVERIFY(cat.fill(8, s0, 0, rec));
        cat.invalidateAll();
        QVERIFY(!cat.fill(1, s0, 0, rec));

        // The 512th reading fits; the next one is refused rather than wrapping around.
        Catalogue full;
        const auto s = full.addSensor(11, "Full");
        for (int i = 0; i < kSlotsPerSensor; ++i)
            QVERIFY(full.addReading(s, 6, 10, "MHz", "x") >= 0);
        QCOMPARE(full.addReading(s, 6, 10, "MHz", "y"), -1);
        QCOMPARE(full.placeReading({kMaxSensors, 0, 1, 1, 0, "", "far"}), -1);
    }

    void contractOutsideALife()
    {
        Monitor m;
        unsigned char rec[abi::kRecordSize];
        rec[0] = 1;
        QCOMPARE(m.sensorCount(), 0);
        m.beginPass();
        QVERIFY(!m.readReading(7, 0, 0, rec));
        QCOMPARE(int(rec[0]), 0);
        QVERIFY(!m.readReading(7, 0, 0, nullptr));

        Fixture vm(QStringLiteral("vm"));
        QCOMPARE(m.initialize(64, vm.config()), 0);
        m.beginPass();
        QVERIFY(m.sensorCount() >= 2);
        QVERIFY(m.readReading(6, 0, 1, rec));
        m.shutdown();
        QCOMPARE(m.sensorCount(), 0);
        QVERIFY(!m.readReading(6, 0, 1, rec));
        // The program's next bridge initialises again after the last one shut down.
        QCOMPARE(m.initialize(64, vm.config()), 0);
        m.beginPass();
        QVERIFY(m.readReading(6, 0, 1, rec));
    }

    void recordThenReplay()
    {
        QTemporaryDir tmp;
        Fixture amd(QStringLiteral("amd-amdgpu"));
        MonitorConfig live = amd.config();
        live.recordPath = (tmp.path() + "/amd.readings").toStdString();
        live.recordPasses = 2;

        Monitor recorder;
        QCOMPARE(recorder.initialize(64, live), 0);
        recorder.beginPass(); // the program's start-up does this before its first enumeration
        std::vector<std::vector<Seen>> recorded;
        for (int pass = 0; pass < 3; ++pass) {
            amd.advanceStat(20 + pass * 10, 80 - pass * 10);
            amd.write("sys/bus/pci/devices/0000:03:00.0/gpu_busy_percent",
                      QByteArray::number(10 + pass));
            recorded.push_back(enumerate(recorder));
        }
        recorder.shutdown();

        abi::ReadingsFile file;
        std::string error;
        QVERIFY2(abi::loadReadings(live.recordPath, file, &error), error.c_str());
        QCOMPARE(int(file.passes.size()), 2); // record_passes stops the file
        QCOMPARE(int(file.sensors.size()), int(recorder.catalogue().sensorCount()));

        MonitorConfig replay;
        replay.replayPath = live.recordPath;
        Monitor player;
        QCOMPARE(player.initialize(64, replay), 0);
        for (int pass = 0; pass < 4; ++pass) {
            const auto seen = enumerate(player);
            const auto& want = recorded[std::min(pass, 1)]; // the last block repeats
            QCOMPARE(seen.size(), want.size());
            for (std::size_t i = 0; i < seen.size(); ++i) {
                QCOMPARE(seen[i].sensor, want[i].sensor);
                QCOMPARE(seen[i].index, want[i].index);
                QCOMPARE(seen[i].fields.label, want[i].fields.label);
                QCOMPARE(seen[i].fields.sensorName, want[i].fields.sensorName);
                QCOMPARE(seen[i].fields.units, want[i].fields.units);
                QCOMPARE(seen[i].fields.type, want[i].fields.type);
                QCOMPARE(seen[i].fields.readingLocation, want[i].fields.readingLocation);
                QCOMPARE(seen[i].fields.sensorLocation, want[i].fields.sensorLocation);
                QCOMPARE(seen[i].fields.value, want[i].fields.value); // exact, not rounded
            }
        }
    }

    void replaySwitchesAndFaults()
    {
        QTemporaryDir tmp;
        const QString path = tmp.path() + "/r.readings";
        auto writeFile = [&](const char* text) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(text);
        };
        // Sensor 2 declared with a gap; a reading that answers code 1 with a record of type 7;
        // "@ replay loop" starts the file over after its last block.
        writeFile("@ replay loop\n"
                  "S 0 11 CPU: Replayed\n"
                  "S 2 13 GPU: Replayed\n"
                  "R 0 0 1/7 10 50 % Odd\n"
                  "R 2 5 1 0 40 C GPU Temperature\n"
                  "P\n"
                  "R 2 5 1 0 41 C GPU Temperature\n"
                  "R 2 600 1 0 1 C Beyond the last index\n");
        MonitorConfig c;
        c.replayPath = path.toStdString();
        Monitor m;
        QCOMPARE(m.initialize(64, c), 0);
        QCOMPARE(m.sensorCount(), 3);
        unsigned char rec[abi::kRecordSize];
        // Two beginPass calls within one enumeration show the same block.
        m.beginPass();
        QVERIFY(m.readReading(1, 0, 0, rec));
        QCOMPARE(abi::decodeRecord(rec).type, 7);
        QVERIFY(!m.readReading(7, 0, 0, rec));
        m.beginPass();
        QVERIFY(m.readReading(1, 0, 0, rec));
        QCOMPARE(m.sensorCount(), 3);
        m.beginPass();
        QVERIFY(m.readReading(1, 2, 5, rec));
        QCOMPARE(abi::decodeRecord(rec).value, 41.0);
        QVERIFY(!m.readReading(1, 0, 0, rec)); // not in block 1
        QCOMPARE(m.sensorCount(), 3);
        m.beginPass();
        QVERIFY(m.readReading(1, 0, 0, rec)); // block 0 again

        writeFile("S 0 11 CPU\nR 0 zero 1 10 50 % Broken\n");
        QCOMPARE(m.initialize(64, c), kInitReplayFailed);
        QCOMPARE(m.sensorCount(), 0);
        QVERIFY(!m.messages().empty());
        c.replayPath = (tmp.path() + "/missing.readings").toStdString();
        QCOMPARE(m.initialize(64, c), kInitReplayFailed);
    }
};

QTEST_GUILESS_MAIN(tst_monitor_units)
#include "tst_monitor_units.moc"
