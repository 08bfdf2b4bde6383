// Display adapters on Linux: sysfs scan, pci.ids lookup and the names they give.

#include "sensors/Identification.h"
#include "sensors/platform/PciDisplay.h"

#include <QtTest>

#include <fstream>
#include <sstream>

using namespace zolven::sensors;
using namespace zolven::sensors::platform;

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
1af4  Red Hat, Inc.
	1050  Virtio 1.0 GPU
8086  Intel Corporation
	a780  Raptor Lake-S GT1 [UHD Graphics 770]
C 03  Display controller
	00  VGA compatible controller
10de  Not a vendor: the class section has begun
	9999  Never read
)";

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

class PciDisplayTest : public QObject
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
    void sysfsTree();
    void realDatabase();
};

void PciDisplayTest::lookup()
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

void PciDisplayTest::description_data()
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

void PciDisplayTest::description()
{
    QFETCH(uint, vendor);
    QFETCH(uint, device);
    QFETCH(QString, name);
    QFETCH(bool, discrete);
    std::istringstream in(kIds);
    auto names = lookupPciNames(in, {{vendor, device}});
    const std::string text =
        adapterDescription(vendor, device, names[std::make_pair(vendor, device)]);
    QCOMPARE(QString::fromStdString(text), name);
    QCOMPARE(chooseGpuName({name}).discrete, discrete);
}

void PciDisplayTest::sysfsTree()
{
    QTemporaryDir root;
    addDevice(root.path(), "0000:01:00.0", "0x030000", "0x10de", "0x2484");
    addDevice(root.path(), "0000:00:02.0", "0x030000", "0x8086", "0xa780");
    addDevice(root.path(), "0000:00:1f.3", "0x040380", "0x8086", "0x7ad0"); // audio
    addDevice(root.path(), "0000:00:00.0", "0x060000", "0x8086", "0x4668"); // host bridge
    addDevice(root.path(), "0000:03:00.0", "0x030200", "0x1002", "0x744c");
    addDevice(root.path(), "0000:04:00.0", "0x038000", "0x1af4", "0x1050");
    writeFile(root.filePath("ids/pci.ids"), kIds);

    const auto devices = pciDisplayDevices(root.path().toStdString());
    QCOMPARE(devices.size(), std::size_t(4));
    QCOMPARE(QString::fromStdString(devices[0].address), QStringLiteral("0000:00:02.0"));
    QCOMPARE(devices[1].vendor, 0x10deu);
    QCOMPARE(devices[1].device, 0x2484u);

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

void PciDisplayTest::realDatabase()
{
    std::ifstream in("/usr/share/misc/pci.ids");
    if (!in)
        QSKIP("pci.ids is not installed");
    auto names = lookupPciNames(in, {{0x10de, 0x2684}});
    const std::string text =
        adapterDescription(0x10de, 0x2684, names[std::make_pair(0x10deu, 0x2684u)]);
    QCOMPARE(QString::fromStdString(text), QStringLiteral("NVIDIA GeForce RTX 4090"));
}

QTEST_GUILESS_MAIN(PciDisplayTest)
#include "tst_pci_display.moc"
