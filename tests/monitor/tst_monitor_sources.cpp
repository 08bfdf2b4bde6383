// Discovery and sampling against the fixture machines.

#include "Enumerate.h"
#include "Fixture.h"
#include "fakenvml/FakeNvml.h"

#include "monitor/Monitor.h"

#include <QDir>
#include <QTest>
#include <QThread>

#include <algorithm>

using namespace zolven::monitor;

namespace {

std::vector<std::string> labelsOf(const std::vector<Seen>& seen, std::int32_t sensor)
{
    std::vector<std::string> out;
    for (const auto& s : seen)
        if (s.sensor == sensor)
            out.push_back(s.fields.label);
    return out;
}

std::vector<std::string> sensorNames(const Monitor& m)
{
    std::vector<std::string> out;
    for (std::int32_t i = 0; i < m.catalogue().sensorCount(); ++i)
        out.push_back(m.catalogue().sensor(i).name);
    return out;
}

double valueOf(const std::vector<Seen>& seen, const std::string& label,
               const std::string& sensorPrefix = {})
{
    const Seen* s = findLabel(seen, label, sensorPrefix);
    return s ? s->fields.value : -12345.0;
}

using Strings = std::vector<std::string>;

} // namespace

class tst_monitor_sources : public QObject
{
    Q_OBJECT

private slots:
    void init() { fakenvml::reset(); }

    void machineLikeOurs()
    {
        Fixture vm(QStringLiteral("vm"));
        Monitor m;
        QCOMPARE(m.initialize(64, vm.config()), 0);
        QCOMPARE(sensorNames(m), (Strings{"CPU: AMD EPYC", "System Memory"}));

        // No tick since the baseline: no load yet, rather than a made-up one.
        auto seen = enumerate(m);
        QVERIFY(!findLabel(seen, "Total CPU Utility"));
        QCOMPARE(valueOf(seen, "Core #0 Clock"), 2096.012); // /proc/cpuinfo, no cpufreq here
        QVERIFY(std::abs(valueOf(seen, "Physical Memory Load") - 1.8978) < 0.001);

        vm.advanceStat(30, 70);
        seen = enumerate(m);
        QCOMPARE(valueOf(seen, "Total CPU Utility"), 30.0);
        QCOMPARE(valueOf(seen, "Core #1 Usage"), 30.0);
        QCOMPARE(labelsOf(seen, 0), (Strings{"Total CPU Utility", "Core #0 Clock", "Core #1 Clock",
                                             "Core #0 Usage", "Core #1 Usage"}));
        const Seen* load = findLabel(seen, "Total CPU Utility");
        QCOMPARE(load->fields.sensorLocation, 11);
        QCOMPARE(load->fields.readingLocation, 10);
        QCOMPARE(load->fields.type, 7);
        const Seen* ram = findLabel(seen, "Physical Memory Load");
        QCOMPARE(ram->fields.sensorLocation, 10);
        QCOMPARE(ram->fields.type, 8);

        // A CPU going offline drops its line from /proc/stat: its usage goes, the rest stays.
        QByteArray stat = vm.read("proc/stat");
        const int at = stat.indexOf("cpu1 ");
        stat.remove(at, stat.indexOf('\n', at) + 1 - at);
        vm.write("proc/stat", stat);
        vm.advanceStat(50, 50);
        seen = enumerate(m);
        QVERIFY(!findLabel(seen, "Core #1 Usage"));
        QCOMPARE(valueOf(seen, "Core #0 Usage"), 50.0);
    }

    void intelDesktopWithNvidia()
    {
        Fixture pc(QStringLiteral("intel-nvidia"));
        const auto api = fakenvml::api();
        Monitor m;
        m.setNvmlApi(&api);
        QCOMPARE(m.initialize(64, pc.config()), 0);
        // Discrete card before the integrated graphics; the nvme chip has no fans.
        QCOMPARE(sensorNames(m),
                 (Strings{"CPU: 13th Gen Intel(R) Core(TM) i7-13700K", "System Memory", "nct6798",
                          "GPU: NVIDIA GeForce RTX 4090",
                          "GPU: Intel Raptor Lake-S GT1 [UHD Graphics 770]"}));
        pc.advanceStat(25, 75);
        const auto seen = enumerate(m);

        QCOMPARE(valueOf(seen, "CPU Package"), 52.0); // coretemp, not the thermal zone (53)
        QCOMPARE(valueOf(seen, "CPU Core #4"), 51.0);
        // scaling_cur_freq; cpuinfo_cur_freq is root-only and never touched.
        QCOMPARE(valueOf(seen, "Core #2 Clock"), 5100.0);
        // fan2 follows CPUTIN; fans reading 0 RPM at discovery are headers with nothing on them.
        QCOMPARE(labelsOf(seen, 2), (Strings{"CPU Fan", "System Fan #1"}));
        QCOMPARE(valueOf(seen, "CPU Fan"), 1180.0);
        QCOMPARE(findLabel(seen, "CPU Fan")->fields.sensorLocation, 12);

        QCOMPARE(labelsOf(seen, 3),
                 (Strings{"GPU Temperature", "GPU Core Load", "Memory Controller Load", "GPU Clock",
                          "GPU Fan", "GPU Memory Allocated", "GPU Memory Available",
                          "GPU Memory Frequency", "GPU Fan Speed", "GPU Power"}));
        QCOMPARE(valueOf(seen, "GPU Temperature"), 61.0);
        QCOMPARE(valueOf(seen, "GPU Memory Allocated"), 3072.0);
        QCOMPARE(valueOf(seen, "GPU Memory Available"), 24564.0 - 300 - 3072); // v2: no reserved
        QCOMPARE(valueOf(seen, "GPU Power"), 215.0);
        QCOMPARE(findLabel(seen, "GPU Memory Allocated")->fields.readingLocation, 102);

        const Seen* igpu = findLabel(seen, "GPU Clock", "GPU: Intel");
        QVERIFY(igpu);
        QCOMPARE(igpu->fields.value, 1450.0);
        QCOMPARE(igpu->fields.sensorLocation, 11);
        QCOMPARE(igpu->fields.readingLocation, 101);

        m.shutdown();
        QCOMPARE(fakenvml::state().initCalls, 1);
        QCOMPARE(fakenvml::state().shutdownCalls, 1);
    }

    void amdDesktop()
    {
        Fixture pc(QStringLiteral("amd-amdgpu"));
        Monitor m;
        QCOMPARE(m.initialize(64, pc.config()), 0);
        // The amdgpu hwmon chips in /sys/class/hwmon are the cards', not fan chips.
        QCOMPARE(sensorNames(m),
                 (Strings{"CPU: AMD Ryzen 9 7950X 16-Core Processor", "System Memory", "nct6799",
                          "GPU: AMD Navi 31 [Radeon RX 7900 XT/7900 XTX/7900 GRE/7900M]",
                          "GPU: AMD Raphael"}));
        const auto seen = enumerate(m);
        QCOMPARE(valueOf(seen, "CPU Package"), 58.5); // Tdie over Tctl, which carries an offset
        QCOMPARE(valueOf(seen, "CPU CCD #2"), 59.0);
        QCOMPARE(valueOf(seen, "Core #1 Clock"), 4600.0); // cpuinfo_avg_freq when the kernel has it
        QCOMPARE(valueOf(seen, "CPU Fan"), 1410.0);       // pwm1 follows the SB-TSI source

        QCOMPARE(labelsOf(seen, 3),
                 (Strings{"GPU Temperature", "GPU Core Load", "GPU Clock", "GPU Fan",
                          "GPU Memory Allocated", "GPU Memory Available", "Hot Spot Temperature",
                          "Memory Junction Temperature", "GPU Memory Frequency", "GPU Fan Speed",
                          "GPU Power"}));
        QCOMPARE(valueOf(seen, "GPU Temperature"), 54.0);
        QCOMPARE(valueOf(seen, "GPU Clock"), 2394.0); // hwmon freq1 is in Hz
        QCOMPARE(valueOf(seen, "GPU Fan"), 89 * 100.0 / 255.0);
        QCOMPARE(valueOf(seen, "GPU Memory Allocated"), 2048.0);
        QCOMPARE(valueOf(seen, "GPU Memory Available"), 24560.0 - 2048.0);
        QCOMPARE(valueOf(seen, "GPU Power"), 87.0);

        // The APU's graphics: integrated labels, location 11, reading location 101.
        QCOMPARE(labelsOf(seen, 4), (Strings{"Graphics GT Temperature", "GPU D3D Usage",
                                             "GPU Clock", "GPU Dynamic Memory"}));
        const Seen* dyn = findLabel(seen, "GPU Dynamic Memory");
        QCOMPARE(dyn->fields.value, 350.0);
        QCOMPARE(dyn->fields.sensorLocation, 11);
        QCOMPARE(dyn->fields.readingLocation, 101);

        // A runtime-suspended card is left asleep: nothing of it this pass, all of it again
        // once it wakes.
        pc.write("sys/bus/pci/devices/0000:03:00.0/power/runtime_status", "suspended\n");
        QVERIFY(labelsOf(enumerate(m), 3).empty());
        pc.write("sys/bus/pci/devices/0000:03:00.0/power/runtime_status", "active\n");
        pc.write("sys/bus/pci/devices/0000:03:00.0/gpu_busy_percent", "88\n");
        QCOMPARE(valueOf(enumerate(m), "GPU Core Load"), 88.0);
        // A file that stops answering costs its reading only.
        pc.write("sys/bus/pci/devices/0000:03:00.0/gpu_busy_percent", "");
        const auto after = enumerate(m);
        QVERIFY(!findLabel(after, "GPU Core Load"));
        QVERIFY(findLabel(after, "GPU Temperature"));
    }

    void intelLaptop()
    {
        Fixture laptop(QStringLiteral("intel-laptop"));
        Monitor m;
        QCOMPARE(m.initialize(64, laptop.config()), 0);
        QCOMPARE(sensorNames(m),
                 (Strings{"CPU: 11th Gen Intel(R) Core(TM) i7-1165G7 @ 2.80GHz", "System Memory",
                          "dell_smm", "GPU: Intel TigerLake-LP GT2 [Iris Xe Graphics]"}));
        QThread::msleep(120);
        auto seen = enumerate(m);
        QCOMPARE(valueOf(seen, "CPU Package"), 61.0);
        QCOMPARE(valueOf(seen, "CPU Fan"), 2400.0); // "Processor Fan"
        // i915 has no temperature and no memory reading: the sensor says nothing about them.
        QCOMPARE(labelsOf(seen, 3), (Strings{"GPU D3D Usage", "GPU Clock"}));
        // No RC6 residency gained over the window: the GT never slept, so it was busy.
        QCOMPARE(valueOf(seen, "GPU D3D Usage"), 100.0);
        laptop.write("sys/bus/pci/devices/0000:00:02.0/drm/card0/power/rc6_residency_ms",
                     "9000000\n");
        QThread::msleep(120);
        seen = enumerate(m);
        QCOMPARE(valueOf(seen, "GPU D3D Usage"), 0.0); // more sleep than wall time clamps at 0
        QCOMPARE(valueOf(seen, "GPU Clock"), 300.0);
    }

    void temperatureFallbacks()
    {
        Fixture laptop(QStringLiteral("intel-laptop"));
        laptop.remove("sys/class/hwmon/hwmon1"); // no coretemp
        Monitor m;
        QCOMPARE(m.initialize(64, laptop.config()), 0);
        // x86_pkg_temp before acpitz, although acpitz is zone 0.
        QCOMPARE(valueOf(enumerate(m), "CPU Package"), 61.0);
        laptop.remove("sys/class/thermal/thermal_zone2");
        QCOMPARE(m.initialize(64, laptop.config()), 0);
        QCOMPARE(valueOf(enumerate(m), "CPU Package"), 48.0);

        // k10temp without Tdie (no offset on this part): Tctl.
        Fixture amd(QStringLiteral("amd-amdgpu"));
        amd.remove("sys/class/hwmon/hwmon0/temp2_label");
        amd.remove("sys/class/hwmon/hwmon0/temp2_input");
        QCOMPARE(m.initialize(64, amd.config()), 0);
        QCOMPARE(valueOf(enumerate(m), "CPU Package"), 68.5);
    }

    void cpuFanChoice()
    {
        Fixture pc(QStringLiteral("intel-nvidia"));
        MonitorConfig c = pc.config();
        c.cpuFan = "nct6798/fan3"; // the user knows better than the heuristic
        Monitor m;
        QCOMPARE(m.initialize(64, c), 0);
        auto seen = enumerate(m);
        QCOMPARE(valueOf(seen, "CPU Fan"), 650.0);
        QCOMPARE(valueOf(seen, "System Fan #1"), 1180.0);

        // A stopped CPU fan is still the CPU fan.
        pc.write("sys/class/hwmon/hwmon1/fan2_input", "0\n");
        QCOMPARE(m.initialize(64, pc.config()), 0);
        QCOMPARE(valueOf(enumerate(m), "CPU Fan"), 0.0);

        // No CPU source among the pwm channels: no fan is called the CPU fan.
        pc.write("sys/class/hwmon/hwmon1/pwm2_temp_sel", "1\n");
        QCOMPARE(m.initialize(64, pc.config()), 0);
        seen = enumerate(m);
        QVERIFY(!findLabel(seen, "CPU Fan"));
        QVERIFY(findLabel(seen, "System Fan #1"));
    }

    // Machines built from sensor captures published outside the project (each fixture's
    // README names its source): "label=value" must be reported, "label" must be absent.
    void capturedMachines_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QStringList>("want");
        QTest::addColumn<QStringList>("absent");
        // k10temp of families 10h-16h has one unlabelled temperature; radeon has no busy,
        // clock or fan file in this capture, but its temperature.
        QTest::newRow("k10temp, radeon")
            << "k10temp-radeon" << QStringList{"CPU Package=46.5", "GPU Temperature=46"}
            << QStringList{"CPU Fan", "GPU Fan", "GPU Core Load"};
        // Core 2 has no package channel: the hottest core. nouveau through its hwmon.
        QTest::newRow("Core 2, nouveau")
            << "core2-nouveau"
            << QStringList{"CPU Package=43", "CPU Core #1=43", "GPU Temperature=40"}
            << QStringList{"GPU Fan"};
        QTest::newRow("Atom, cores only")
            << "atom-ionitx" << QStringList{"CPU Package=8", "CPU Core #0=8", "CPU Core #1=7"}
            << QStringList{};
        // No CPU driver: the EC's CPU temperature. CPU_Opt is the optional header, never the
        // CPU fan; a board controller's fans stay even at 0 RPM.
        QTest::newRow("asus-ec Z270")
            << "asus-ec-z270" << QStringList{"CPU Package=33", "System Fan #1=730"}
            << QStringList{"CPU Fan"};
        QTest::newRow("asus-ec X470")
            << "asus-ec-x470"
            << QStringList{"CPU Package=62", "System Fan #1=0", "System Fan #2=1769"}
            << QStringList{"CPU Fan"};
        // thinkpad_acpi labels no fans; its fan1 standing still is still the CPU fan.
        QTest::newRow("ThinkPad") << "thinkpad-x390"
                                  << QStringList{"CPU Package=49", "CPU Fan=0", "CPU Core #1=49"}
                                  << QStringList{"System Fan #1"};
        // No pwm1: the tachometer against fan1_max, as a percent; the RPM figure apart.
        QTest::newRow("amdgpu, fan1_max") << "amdgpu-fan-max"
                                          << QStringList{"GPU Fan=12.375",
                                                         "GPU Fan Speed=396",
                                                         "GPU Temperature=37",
                                                         "Hot Spot Temperature=39",
                                                         "Memory Junction Temperature=60",
                                                         "GPU Power=19"}
                                          << QStringList{"CPU Package"};
        // Whole MB that add up to the card's 8176.
        QTest::newRow("amdgpu, memory")
            << "amdgpu-vram"
            << QStringList{"GPU Memory Allocated=6497", "GPU Memory Available=1679"}
            << QStringList{"GPU Temperature"};
        // Super-I/O headers reading 0 are dropped; no pwm source in the capture: no CPU fan.
        // Machines of the classes the library once had closed lists for: each row failed
        // before the rules became the kernel's naming conventions.
        // A device tree's zones per cluster: the hottest CPU zone; the GPU's zone as the
        // integrated GPU's temperature.
        QTest::newRow("RK3588S zones")
            << "rk3588s-opi5" << QStringList{"CPU Package=34.23", "Graphics GT Temperature=33.307"}
            << QStringList{"GPU Temperature", "CPU Fan"};
        // A Mali with no PCI id: clock and load from devfreq.
        QTest::newRow("RK3399 Mali devfreq")
            << "rk3399-mali-devfreq" << QStringList{"GPU Clock=200", "GPU D3D Usage=0"}
            << QStringList{"GPU Temperature", "GPU Core Load"};
        // An Arc card on i915: its hwmon's unlabelled temp1.
        QTest::newRow("Arc on i915")
            << "arc-a310-i915"
            << QStringList{"GPU Temperature=49", "GPU Clock=600", "GPU Fan Speed=3350"}
            << QStringList{"Graphics GT Temperature"};
        // gpio-fan, the board's one fan, cools the CPU.
        QTest::newRow("gpio-fan") << "rpi-gpio-fan"
                                  << QStringList{"CPU Fan=0", "CPU Package=48.686"}
                                  << QStringList{"System Fan #1"};
        // No CPU driver; the out-of-tree WMI module's name for the board's CPU temperature.
        QTest::newRow("asuswmisensors")
            << "asuswmisensors-x470f" << QStringList{"CPU Package=65", "CPU Fan=740"}
            << QStringList{};
        QTest::newRow("nct6798, APU")
            << "nct6798-apu"
            << QStringList{"CPU Package=31", "Graphics GT Temperature=28", "System Fan #1=1869",
                           "System Fan #2=1648", "System Fan #3=1542"}
            << QStringList{"CPU Fan", "System Fan #4"};
    }

    void capturedMachines()
    {
        QFETCH(QString, profile);
        QFETCH(QStringList, want);
        QFETCH(QStringList, absent);
        Fixture pc(profile);
        QVERIFY(pc.isValid());
        Monitor m;
        QCOMPARE(m.initialize(64, pc.config()), 0);
        const auto seen = enumerate(m);
        for (const QString& w : want) {
            const auto label = w.section('=', 0, 0).toStdString();
            QVERIFY2(findLabel(seen, label), label.c_str());
            QCOMPARE(valueOf(seen, label), w.section('=', 1).toDouble());
        }
        for (const QString& a : absent)
            QVERIFY2(!findLabel(seen, a.toStdString()), qPrintable(a));
        // Nothing but the package may carry a label the CPU temperature rule takes.
        for (const auto& s : seen)
            if (s.fields.label != "CPU Package" && s.fields.readingLocation == 10 &&
                s.fields.type == 1)
                QVERIFY2(s.fields.label.compare(0, 9, "CPU Core ") == 0 ||
                             s.fields.label.compare(0, 8, "CPU CCD ") == 0,
                         s.fields.label.c_str());
    }

    void armNames()
    {
        // An arm64 kernel names no processor; a Raspberry Pi's names the board.
        Fixture pi(QStringLiteral("rpi4-arm64"));
        QVERIFY(pi.isValid());
        Monitor m;
        QCOMPARE(m.initialize(64, pi.config()), 0);
        QCOMPARE(sensorNames(m).front(), std::string("CPU: Raspberry Pi 4 Model B Rev 1.5"));
        m.shutdown();

        // Elsewhere the device tree does, the way that kernel got it.
        Fixture board(QStringLiteral("rpi4-arm64"));
        board.write("proc/cpuinfo", "processor\t: 0\nBogoMIPS\t: 108.00\nCPU part\t: 0xd08\n");
        board.write("sys/firmware/devicetree/base/model",
                    QByteArray("Raspberry Pi 4 Model B Rev 1.5\0", 31));
        Monitor dt;
        QCOMPARE(dt.initialize(64, board.config()), 0);
        QCOMPARE(sensorNames(dt).front(), std::string("CPU: Raspberry Pi 4 Model B Rev 1.5"));
    }

    // Sources named in monitor.conf win; a name the machine lacks is said, and the library
    // chooses as if it were not there.
    void userChoices()
    {
        Fixture pc(QStringLiteral("intel-nvidia"));
        MonitorConfig c = pc.config();
        Monitor m;
        c.cpuTemp = "nct6798/temp2"; // CPUTIN, not coretemp's package
        QCOMPARE(m.initialize(64, c), 0);
        QCOMPARE(valueOf(enumerate(m), "CPU Package"), 41.0);
        QVERIFY(m.messages().empty());
        c.cpuTemp = "x86_pkg_temp"; // a thermal zone by its type
        QCOMPARE(m.initialize(64, c), 0);
        QCOMPARE(valueOf(enumerate(m), "CPU Package"), 53.0);

        c.cpuTemp = "nct6798/temp9";
        c.cpuFan = "nct6798/fan9";
        QCOMPARE(m.initialize(64, c), 0);
        auto seen = enumerate(m);
        QCOMPARE(valueOf(seen, "CPU Package"), 52.0);
        QCOMPARE(valueOf(seen, "CPU Fan"), 1180.0);
        const auto messages = m.messages();
        QCOMPARE(int(messages.size()), 2);
        QVERIFY(messages[0].find("cpu_temp = nct6798/temp9 in monitor.conf names no temperature "
                                 "here") == 0);
        QVERIFY(messages[1].find("cpu_fan = nct6798/fan9 in monitor.conf names no fan here") == 0);

        // Of two GPUs, the one named by address or by name; the other is left out.
        Fixture amd(QStringLiteral("amd-amdgpu"));
        c = amd.config();
        c.gpu = "10:00.0";
        QCOMPARE(m.initialize(64, c), 0);
        seen = enumerate(m);
        QVERIFY(!findLabel(seen, "GPU Temperature"));
        QVERIFY(findLabel(seen, "Graphics GT Temperature"));
        c.gpu = "navi 31";
        QCOMPARE(m.initialize(64, c), 0);
        seen = enumerate(m);
        QVERIFY(findLabel(seen, "GPU Temperature"));
        QVERIFY(!findLabel(seen, "Graphics GT Temperature"));
        c.gpu = "0000:09:00.0";
        QCOMPARE(m.initialize(64, c), 0);
        seen = enumerate(m);
        QVERIFY(findLabel(seen, "GPU Temperature") && findLabel(seen, "Graphics GT Temperature"));
        QCOMPARE(int(m.messages().size()), 1);
        QVERIFY(m.messages()[0].find("gpu = 0000:09:00.0 in monitor.conf names no GPU here") == 0);

        // The GPU temperature by hand applies to the GPU the display shows: the discrete card.
        c.gpu.clear();
        c.gpuTemp = "amdgpu/temp2"; // the card's junction channel
        QCOMPARE(m.initialize(64, c), 0);
        seen = enumerate(m);
        QCOMPARE(valueOf(seen, "GPU Temperature"), 71.0);
        QCOMPARE(valueOf(seen, "Graphics GT Temperature"), 45.0); // its own edge
        c.gpuTemp = "gpu-thermal";
        QCOMPARE(m.initialize(64, c), 0);
        QCOMPARE(valueOf(enumerate(m), "GPU Temperature"), 54.0);
        QCOMPARE(int(m.messages().size()), 1);
        QVERIFY(m.messages()[0].find(
                    "gpu_temp = gpu-thermal in monitor.conf names no temperature") == 0);
    }

    // With no CPU driver, the super-I/O's channel read from the CPU, then the one beside its
    // socket, before any thermal zone but the package's own.
    void superIoCpuTemperature()
    {
        Fixture pc(QStringLiteral("intel-nvidia"));
        pc.remove("sys/class/hwmon/hwmon0"); // coretemp not loaded
        Monitor m;
        QCOMPARE(m.initialize(64, pc.config()), 0);
        QCOMPARE(valueOf(enumerate(m), "CPU Package"), 53.0); // x86_pkg_temp: coretemp's sensor
        pc.remove("sys/class/thermal/thermal_zone1");
        QCOMPARE(m.initialize(64, pc.config()), 0);
        QCOMPARE(valueOf(enumerate(m), "CPU Package"), 52.0); // PECI Agent 0, not acpitz
        pc.write("sys/class/hwmon/hwmon1/temp7_label", "AUXTIN3\n");
        QCOMPARE(m.initialize(64, pc.config()), 0);
        QCOMPARE(valueOf(enumerate(m), "CPU Package"), 41.0); // CPUTIN
    }

    // Device-tree zones: the hottest of the CPU's own, else the SoC's; a GPU zone alone is a
    // GPU named after it.
    void socZones()
    {
        Fixture pc(QStringLiteral("rk3588s-opi5"));
        pc.write("sys/class/thermal/thermal_zone2/temp", "51000\n"); // bigcore1
        Monitor m;
        QCOMPARE(m.initialize(64, pc.config()), 0);
        auto seen = enumerate(m);
        QCOMPARE(valueOf(seen, "CPU Package"), 51.0);
        QVERIFY(findLabel(seen, "Graphics GT Temperature", "GPU: thermal zone gpu-thermal"));
        // What zolven-explain prints as the step that chose it.
        const auto& choices = m.catalogue().choices();
        const auto cpuTemp = std::find_if(choices.begin(), choices.end(), [](const Choice& c) {
            return c.metric == "CPU temperature";
        });
        QVERIFY(cpuTemp != choices.end());
        QCOMPARE(cpuTemp->why,
                 std::string("no CPU or board driver reports; the hottest of the CPU's "
                             "thermal zones bigcore0-thermal, bigcore1-thermal, "
                             "littlecore-thermal"));
        pc.write("sys/class/thermal/thermal_zone0/temp", "40000\n"); // soc
        for (const char* zone : {"thermal_zone1", "thermal_zone2", "thermal_zone3"})
            pc.remove(QStringLiteral("sys/class/thermal/") + zone);
        QCOMPARE(m.initialize(64, pc.config()), 0);
        QCOMPARE(valueOf(enumerate(m), "CPU Package"), 40.0);

        // The devfreq GPU takes the GPU zone; its name is the device tree's compatible string.
        Fixture board(QStringLiteral("rk3399-mali-devfreq"));
        board.write("sys/class/thermal/thermal_zone0/type", "gpu-thermal\n");
        board.write("sys/class/thermal/thermal_zone0/temp", "45000\n");
        board.write("sys/class/devfreq/ff9a0000.gpu/load", "37@800000000Hz\n");
        QCOMPARE(m.initialize(64, board.config()), 0);
        seen = enumerate(m);
        QCOMPARE(sensorNames(m).back(), std::string("GPU: rockchip,rk3399-mali"));
        QCOMPARE(valueOf(seen, "Graphics GT Temperature"), 45.0);
        QCOMPARE(valueOf(seen, "GPU D3D Usage"), 37.0);
        // Not a GPU: a devfreq device of the memory controller.
        board.write("sys/class/devfreq/dmc/cur_freq", "800000000\n");
        QCOMPARE(m.initialize(64, board.config()), 0);
        const auto names = sensorNames(m);
        QCOMPARE(int(std::count_if(names.begin(), names.end(),
                                   [](const std::string& n) { return n.rfind("GPU", 0) == 0; })),
                 1);
    }

    // At boot or after a resume a card's driver may bind after the first discovery: the card
    // is found at a later pass, and until then nothing is discovered again.
    void gpuFoundLater()
    {
        Fixture pc(QStringLiteral("amd-amdgpu"));
        const QString card = QStringLiteral("sys/bus/pci/devices/0000:03:00.0");
        const QByteArray bound = pc.read(card + "/uevent");
        QVERIFY(QDir(pc.root()).rename(card + "/hwmon", card + "/hwmon.later"));
        pc.write(card + "/uevent", "PCI_CLASS=30000\nPCI_ID=1002:744C\n");
        MonitorConfig c = pc.config();
        c.recordPath = pc.path(QStringLiteral("late.readings")).toStdString();
        Monitor m;
        QCOMPARE(m.initialize(64, c), 0);
        const std::int32_t before = m.catalogue().sensorCount();
        for (int i = 0; i < 12; ++i)
            QVERIFY(!findLabel(enumerate(m), "GPU Temperature"));
        QCOMPARE(m.catalogue().sensorCount(), before);

        QVERIFY(QDir(pc.root()).rename(card + "/hwmon.later", card + "/hwmon"));
        pc.write(card + "/uevent", bound);
        // Found at the next look, five passes on; the pass after shows it, as the program
        // counts the sensors before each pass.
        std::vector<Seen> seen;
        for (int i = 0; i < 6; ++i)
            seen = enumerate(m);
        QCOMPARE(valueOf(seen, "GPU Temperature"), 54.0);
        const auto news = m.takeNews();
        QCOMPARE(int(news.size()), 1);
        QCOMPARE(news[0], std::string("GPU at 0000:03:00.0 (amdgpu) found at a later pass: its "
                                      "driver or NVML became ready"));
        QVERIFY(m.takeNews().empty());
        for (int i = 0; i < 12; ++i)
            enumerate(m);
        QCOMPARE(m.catalogue().sensorCount(), before + 1);
        // A recording declares the card when it comes, so that it replays.
        m.shutdown();
        const QByteArray recorded = pc.read(QStringLiteral("late.readings"));
        QVERIFY(recorded.contains("\nS " + QByteArray::number(before) + " 13 GPU: AMD Navi 31"));
        Monitor replay;
        MonitorConfig r;
        r.replayPath = c.recordPath;
        QCOMPARE(replay.initialize(64, r), 0);
        QCOMPARE(replay.catalogue().sensorCount(), before + 1);
    }

    // NVML that is not ready yet (the driver still loading) is tried again, less and less often.
    void nvmlReadyLater()
    {
        Fixture pc(QStringLiteral("intel-nvidia"));
        fakenvml::state().initResult = 9; // driver not loaded
        const auto api = fakenvml::api();
        Monitor m;
        m.setNvmlApi(&api);
        QCOMPARE(m.initialize(64, pc.config()), 0);
        QCOMPARE(int(m.messages().size()), 1);
        for (int i = 0; i < 40; ++i)
            QVERIFY(!findLabel(enumerate(m), "GPU Temperature"));
        QCOMPARE(fakenvml::state().initCalls, 5); // at discovery, then passes 5, 10, 20, 40

        fakenvml::state().initResult = 0;
        std::vector<Seen> seen;
        for (int i = 0; i < 41; ++i) // the next try is at pass 80, seen at 81
            seen = enumerate(m);
        QCOMPARE(valueOf(seen, "GPU Temperature"), 61.0);
        QCOMPARE(fakenvml::state().initCalls, 6);
        m.shutdown();
        QCOMPARE(fakenvml::state().shutdownCalls, 1);
    }

    void cpuFanRanking()
    {
        // A pwm that follows the CPU's own reading (SMBus master 0 on AMD boards) beats one
        // that follows CPUTIN, whichever comes first.
        Fixture pc(QStringLiteral("nct6798-apu"));
        pc.write("sys/class/hwmon/hwmon0/pwm2_temp_sel", "2\n"); // CPUTIN
        pc.write("sys/class/hwmon/hwmon0/pwm3_temp_sel", "7\n"); // SMBUSMASTER 0
        Monitor m;
        QCOMPARE(m.initialize(64, pc.config()), 0);
        auto seen = enumerate(m);
        QCOMPARE(valueOf(seen, "CPU Fan"), 1648.0);
        QCOMPARE(valueOf(seen, "System Fan #1"), 1869.0);

        // it87 names the kind of sensor each channel is; a pwm over a PECI channel.
        pc.write("sys/class/hwmon/hwmon0/name", "it8792\n");
        pc.remove("sys/class/hwmon/hwmon0/pwm2_temp_sel");
        pc.remove("sys/class/hwmon/hwmon0/pwm3_temp_sel");
        pc.write("sys/class/hwmon/hwmon0/pwm5_auto_channels_temp", "2\n");
        pc.write("sys/class/hwmon/hwmon0/temp2_type", "6\n");
        QCOMPARE(m.initialize(64, pc.config()), 0);
        QCOMPARE(valueOf(enumerate(m), "CPU Fan"), 1542.0);

        // A fan labelled as the CPU's own beats any pwm source, whichever chip comes first.
        pc.write("sys/class/hwmon/hwmon3/name", "asus_wmi_sensors\n");
        pc.write("sys/class/hwmon/hwmon3/fan1_label", "CPU OPT\n");
        pc.write("sys/class/hwmon/hwmon3/fan1_input", "900\n");
        pc.write("sys/class/hwmon/hwmon3/fan2_label", "CPU Fan\n");
        pc.write("sys/class/hwmon/hwmon3/fan2_input", "1100\n");
        QCOMPARE(m.initialize(64, pc.config()), 0);
        seen = enumerate(m);
        QCOMPARE(valueOf(seen, "CPU Fan"), 1100.0);

        // What chose it is recorded for the user's report, and what was looked for when
        // nothing was found.
        auto choice = [&](const char* metric) {
            for (const auto& c : m.catalogue().choices())
                if (c.metric == metric)
                    return c;
            return Choice{};
        };
        QCOMPARE(choice("CPU fan").sensor, std::string("asus_wmi_sensors"));
        QVERIFY(choice("CPU fan").file.find("hwmon3/fan2_input") != std::string::npos);
        QCOMPARE(choice("CPU fan").why, std::string("a fan labelled \"CPU Fan\""));
        Fixture amd(QStringLiteral("amdgpu-vram"));
        QCOMPARE(m.initialize(64, amd.config()), 0);
        QVERIFY(choice("CPU temperature").file.empty());
        QVERIFY(choice("CPU temperature").why.find("thermal zones") != std::string::npos);
        QVERIFY(choice("GPU temperature").why.find("edge") != std::string::npos);
    }

    void nvmlFaults()
    {
        Fixture pc(QStringLiteral("intel-nvidia"));
        Monitor m;

        fakenvml::state().initResult = 9; // driver not loaded
        auto api = fakenvml::api();
        m.setNvmlApi(&api);
        QCOMPARE(m.initialize(64, pc.config()), 0);
        QCOMPARE(m.catalogue().sensorCount(), 4); // the card is left out, the rest stays
        QVERIFY(!m.messages().empty());
        m.shutdown();
        QCOMPARE(fakenvml::state().shutdownCalls, 0); // never started, never shut down

        // A card without a fan (NOT_SUPPORTED) has no fan readings; v1 memory counts reserved
        // memory as used when the versioned call is missing.
        fakenvml::reset();
        fakenvml::state().gpus[0].fanResult = fakenvml::kNotSupported;
        fakenvml::state().gpus[0].fanRpmResult = fakenvml::kNotSupported;
        fakenvml::state().withV2 = false;
        api = fakenvml::api();
        QCOMPARE(m.initialize(64, pc.config()), 0);
        auto seen = enumerate(m);
        QVERIFY(!findLabel(seen, "GPU Fan"));
        QVERIFY(!findLabel(seen, "GPU Fan Speed"));
        QCOMPARE(valueOf(seen, "GPU Memory Allocated"), 3372.0);
        QCOMPARE(valueOf(seen, "GPU Temperature"), 61.0);

        // A query failing later (GPU lost) costs that pass's values, not the sensor.
        fakenvml::state().gpus[0].temperatureResult = 15;
        seen = enumerate(m);
        QVERIFY(!findLabel(seen, "GPU Temperature"));
        QVERIFY(findLabel(seen, "GPU Clock"));

        // A card in runtime D3 is not asked anything: asking would wake it.
        pc.write("sys/bus/pci/devices/0000:01:00.0/power/runtime_status", "suspended\n");
        const int before = fakenvml::state().gpus[0].queries;
        const auto asleep = enumerate(m);
        QCOMPARE(fakenvml::state().gpus[0].queries, before);
        QVERIFY(labelsOf(asleep, 3).empty());

        // NVML's cards that the tree does not show (here: the machine's own) stay out.
        fakenvml::reset();
        fakenvml::state().gpus[0].bus = 0x42;
        api = fakenvml::api();
        QCOMPARE(m.initialize(64, pc.config()), 0);
        QCOMPARE(m.catalogue().sensorCount(), 4);
    }

    void nvmlThroughDlopen()
    {
        Fixture pc(QStringLiteral("intel-nvidia"));
        MonitorConfig c = pc.config();
        c.nvmlLibrary = ZOLVEN_FAKE_NVML;
        Monitor m;
        QCOMPARE(m.initialize(64, c), 0);
        QCOMPARE(valueOf(enumerate(m), "GPU Clock", "GPU: NVIDIA"), 2520.0);

        c.nvmlLibrary = "/nonexistent/libnvidia-ml.so.1";
        QCOMPARE(m.initialize(64, c), 0);
        QCOMPARE(m.catalogue().sensorCount(), 4);
        QVERIFY(!m.messages().empty());
    }
};

QTEST_GUILESS_MAIN(tst_monitor_sources)
#include "tst_monitor_sources.moc"
