// PCI display adapters (sysfs scan, pci.ids lookup, the program's and the library's names) and
// the processor's name from /proc/cpuinfo.

#include "hardware/CpuInfo.h"
#include "hardware/PciDisplay.h"
#include "sensors/Identification.h"

#include <QDir>
#include <QtTest>

#include <fstream>
#include <sstream>

using namespace zolven::hardware;

namespace {

const char* const kIds = R"(#
#	List of PCI ID's (excerpt)
#
10de  NVIDIA Corporation
	2484  GA104 [GeForce RTX 3070]
		1043 87b8  GA104 [GeForce RTX 3070]
	2684  AD102 [GeForce RTX 4090]
1002  Advanced Micro Devices, Inc. [AMD/ATI]
	15bf  Phoenix1
	744c  Navi 31 [Radeon RX 7900 XT/7900 XTX/7900 GRE/7900M]
		1002 744c  Not this one
1af4  Red Hat, Inc.
	1041  Virtio network device
	1050  Virtio 1.0 GPU
8086  Intel Corporation
	a780  Raptor Lake-S GT1 [UHD Graphics 770]
C 03  Display controller
	00  VGA compatible controller
10de  Not a vendor: the class section has begun
	9999  Never read
)";

// The names of one device in kIds.
PciNames namesOf(unsigned vendor, unsigned device)
{
    std::istringstream in(kIds);
    return lookupPciNames(in, {{vendor, device}}).at({vendor, device});
}

void writeFile(const QString& path, const QByteArray& text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

void addDevice(const QString& root, const char* address, const char* cls, const char* vendor,
               const char* device)
{
    const QString dir = root + "/bus/pci/devices/" + address;
    writeFile(dir + "/class", QByteArray(cls) + "\n");
    writeFile(dir + "/vendor", QByteArray(vendor) + "\n");
    writeFile(dir + "/device", QByteArray(device) + "\n");
}

} // namespace

class HardwareTest : public QObject
{
    Q_OBJECT

private slots:
    // The choice logs every adapter; not of interest here.
    void initTestCase()
    {
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    }
    void lookup();
    void description_data();
    void description();
    void libraryName();
    void sysfsTree();
    void realDatabase();
    void pciAddress();
    void cpuModel_data();
    void cpuModel();
    void cpuModelFile();
    void deviceTree();
};

void HardwareTest::lookup()
{
    std::istringstream in(kIds);
    auto names = lookupPciNames(
        in, {{0x10de, 0x2484}, {0x8086, 0xa780}, {0x10de, 0x9999}, {0x1234, 0x0001}});
    auto vendor = [&](unsigned v, unsigned d) {
        return QString::fromStdString(names[std::make_pair(v, d)].vendor);
    };
    auto device = [&](unsigned v, unsigned d) {
        return QString::fromStdString(names[std::make_pair(v, d)].device);
    };
    QCOMPARE(vendor(0x10de, 0x2484), QStringLiteral("NVIDIA Corporation"));
    QCOMPARE(device(0x10de, 0x2484), QStringLiteral("GA104 [GeForce RTX 3070]"));
    QCOMPARE(device(0x8086, 0xa780), QStringLiteral("Raptor Lake-S GT1 [UHD Graphics 770]"));
    QCOMPARE(device(0x10de, 0x9999), QString()); // only after the class section
    QCOMPARE(vendor(0x1234, 0x0001), QString());
}

void HardwareTest::description_data()
{
    QTest::addColumn<uint>("vendor");
    QTest::addColumn<uint>("device");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("discrete");
    QTest::newRow("nvidia") << 0x10deu << 0x2484u << "NVIDIA GeForce RTX 3070" << true;
    // Chip code names such as "GT1" must not turn an integrated adapter discrete.
    QTest::newRow("intel") << 0x8086u << 0xa780u << "Intel UHD Graphics 770" << false;
    QTest::newRow("amd discrete") << 0x1002u << 0x744cu
                                  << "AMD Radeon RX 7900 XT/7900 XTX/7900 GRE/7900M" << true;
    QTest::newRow("amd apu without marketing name")
        << 0x1002u << 0x15bfu << "AMD Phoenix1" << false;
    QTest::newRow("unknown nvidia device")
        << 0x10deu << 0x2f04u << "NVIDIA GPU [10de:2f04]" << true;
    QTest::newRow("other vendor") << 0x1af4u << 0x1050u << "Red Hat, Inc. Virtio 1.0 GPU" << false;
    QTest::newRow("unknown vendor") << 0xabcdu << 0x0001u << "GPU [abcd:0001]" << false;
}

void HardwareTest::description()
{
    QFETCH(uint, vendor);
    QFETCH(uint, device);
    QFETCH(QString, name);
    QFETCH(bool, discrete);
    const std::string text = adapterDescription(vendor, device, namesOf(vendor, device));
    QCOMPARE(QString::fromStdString(text), name);
    QCOMPARE(zolven::sensors::chooseGpuName({name}).discrete, discrete);
}

void HardwareTest::libraryName()
{
    // The library keeps the device name whole, subsystem lines aside.
    QCOMPARE(adapterName(0x1002, 0x744c, namesOf(0x1002, 0x744c)),
             std::string("AMD Navi 31 [Radeon RX 7900 XT/7900 XTX/7900 GRE/7900M]"));
    QCOMPARE(adapterName(0x1af4, 0x1041, namesOf(0x1af4, 0x1041)),
             std::string("Red Hat, Inc. Virtio network device"));
    QCOMPARE(namesOf(0x1002, 0x0003).device, std::string());
    QCOMPARE(adapterName(0x1002, 0x0003, namesOf(0x1002, 0x0003)),
             std::string("AMD GPU [1002:0003]"));
    QCOMPARE(adapterName("/nonexistent/pci.ids", 0x10de, 0x2684),
             std::string("NVIDIA GPU [10de:2684]"));
    QCOMPARE(adapterName("/nonexistent/pci.ids", 0x1af4, 0x1050),
             std::string("Display GPU [1af4:1050]"));
}

void HardwareTest::sysfsTree()
{
    QTemporaryDir root;
    addDevice(root.path(), "0000:01:00.0", "0x030000", "0x10de", "0x2484");
    addDevice(root.path(), "0000:00:02.0", "0x030000", "0x8086", "0xa780");
    addDevice(root.path(), "0000:00:1f.3", "0x040380", "0x8086", "0x7ad0"); // audio
    addDevice(root.path(), "0000:00:00.0", "0x060000", "0x8086", "0x4668"); // host bridge
    addDevice(root.path(), "0000:03:00.0", "0x030200", "0x1002", "0x744c");
    addDevice(root.path(), "0000:04:00.0", "0x038000", "0x1af4", "0x1050");
    writeFile(root.filePath("bus/pci/devices/0000:01:00.0/uevent"),
              "DRIVER=nvidia\nPCI_CLASS=30000\n");
    writeFile(root.filePath("ids/pci.ids"), kIds);

    const auto devices = pciDisplayDevices(root.path().toStdString());
    QCOMPARE(devices.size(), std::size_t(4));
    QCOMPARE(QString::fromStdString(devices[0].address), QStringLiteral("0000:00:02.0"));
    QCOMPARE(devices[1].vendor, 0x10deu);
    QCOMPARE(devices[1].device, 0x2484u);
    QCOMPARE(QString::fromStdString(devices[1].dir), root.filePath("bus/pci/devices/0000:01:00.0"));
    QCOMPARE(devices[1].driver, std::string("nvidia"));
    QCOMPARE(devices[0].driver, std::string()); // unbound

    const auto names =
        pciAdapterNames(root.path().toStdString(), {root.filePath("missing/pci.ids").toStdString(),
                                                    root.filePath("ids/pci.ids").toStdString()});
    QCOMPARE(names, (std::vector<std::string>{"Intel UHD Graphics 770", "NVIDIA GeForce RTX 3070",
                                              "AMD Radeon RX 7900 XT/7900 XTX/7900 GRE/7900M",
                                              "Red Hat, Inc. Virtio 1.0 GPU"}));

    // Without a database every adapter still gets a name.
    const auto bare = pciAdapterNames(root.path().toStdString(), {});
    QCOMPARE(QString::fromStdString(bare[1]), QStringLiteral("NVIDIA GPU [10de:2484]"));

    QVERIFY(pciDisplayDevices(root.filePath("nowhere").toStdString()).empty());
}

void HardwareTest::realDatabase()
{
    std::ifstream in("/usr/share/misc/pci.ids");
    if (!in)
        QSKIP("pci.ids is not installed");
    auto names = lookupPciNames(in, {{0x10de, 0x2684}});
    const std::string text =
        adapterDescription(0x10de, 0x2684, names[std::make_pair(0x10deu, 0x2684u)]);
    QCOMPARE(QString::fromStdString(text), QStringLiteral("NVIDIA GeForce RTX 4090"));
}

void HardwareTest::pciAddress()
{
    PciAddress a;
    QVERIFY(parsePciAddress("0000:03:00.0", a));
    QCOMPARE(a.bus, 3u);
    QVERIFY(!parsePciAddress("card0", a));
}

void HardwareTest::cpuModel_data()
{
    QTest::addColumn<QByteArray>("cpuinfo");
    QTest::addColumn<QByteArray>("name");
    // The fallbacks of the program's CPU naming without CPUID.
    QTest::addColumn<bool>("programFallbacks");
    QTest::newRow("x86") << QByteArray("processor\t: 0\nmodel name\t: AMD EPYC\ncpu MHz\t\t: "
                                       "2096.012\n\nprocessor\t: 1\nmodel name\t: AMD EPYC\n\n")
                         << QByteArray("AMD EPYC") << false;
    QTest::newRow("arm") << QByteArray("Processor\t: ARMv7 rev 4\nHardware\t: BCM2835\n")
                         << QByteArray("ARMv7 rev 4") << false;
    QTest::newRow("only the board")
        << QByteArray("processor\t: 0\nHardware\t: BCM2835\r\n") << QByteArray("BCM2835") << false;
    QTest::newRow("empty model name skipped")
        << QByteArray("model name\t:  \nProcessor\t: ARMv7\nmodel name\t: Second\n")
        << QByteArray("Second") << false;
    QTest::newRow("arm64 names nothing")
        << QByteArray("processor\t: 0\nBogoMIPS\t: 48.00\nCPU part\t: 0xd08\n") << QByteArray()
        << true;
    // A Raspberry Pi's arm64 kernel: the board, not the SoC it misnames BCM2835.
    QTest::newRow("raspberry pi arm64")
        << QByteArray("processor\t: 0\nBogoMIPS\t: 38.40\n\nHardware\t: BCM2835\nRevision\t: "
                      "a020d3\nModel\t\t: Raspberry Pi 3 Model B Plus Rev 1.3\n")
        << QByteArray("Raspberry Pi 3 Model B Plus Rev 1.3") << false;
    QTest::newRow("mips") << QByteArray(
                                 "system type\t\t: MT7621\ncpu model\t\t: MIPS 1004Kc V2.15\n")
                          << QByteArray("MIPS 1004Kc V2.15") << true;
    QTest::newRow("mips, library")
        << QByteArray("cpu model\t\t: MIPS 1004Kc V2.15\n") << QByteArray() << false;
    QTest::newRow("power") << QByteArray("cpu\t\t: POWER9, altivec supported\n")
                           << QByteArray("POWER9, altivec supported") << true;
}

void HardwareTest::cpuModel()
{
    QFETCH(QByteArray, cpuinfo);
    QFETCH(QByteArray, name);
    QFETCH(bool, programFallbacks);
    const std::string text = cpuinfo.toStdString();
    const std::string found =
        programFallbacks
            ? cpuModelName(text, {"Processor", "cpu model", "Model", "Hardware", "cpu"})
            : cpuModelName(text, {"Processor", "Model", "Hardware"});
    QCOMPARE(QByteArray::fromStdString(found), name);
}

void HardwareTest::cpuModelFile()
{
    QTemporaryDir dir;
    writeFile(dir.filePath("cpuinfo"), "processor\t: 0\nmodel name\t: Test CPU 9000 \n");
    QCOMPARE(readCpuModelName({}, dir.filePath("cpuinfo").toStdString()),
             std::string("Test CPU 9000"));
    QCOMPARE(readCpuModelName({}, dir.filePath("missing").toStdString()), std::string());
}

void HardwareTest::deviceTree()
{
    QTemporaryDir dir;
    QCOMPARE(deviceTreeModel(dir.path().toStdString()), std::string());
    QVERIFY(QDir(dir.path()).mkpath("firmware/devicetree/base"));
    // A string property ends in NUL.
    writeFile(dir.filePath("firmware/devicetree/base/model"),
              QByteArray("Pine64 RockPro64 v2.1\0", 22));
    QCOMPARE(deviceTreeModel(dir.path().toStdString()), std::string("Pine64 RockPro64 v2.1"));
}

QTEST_GUILESS_MAIN(HardwareTest)
#include "tst_hardware.moc"
