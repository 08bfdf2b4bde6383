// Naming the CPU and choosing the GPU: the pure parts, and the log lines they write.

#include "SensorTestSupport.h"

#include "sensors/Identification.h"
#include "sensors/platform/CpuBrand.h"

#include <QtTest>

using namespace zolven::sensors;
using sensortest::LogCapture;

class IdentificationTest : public QObject
{
    Q_OBJECT

private slots:
    void chooseGpu_data();
    void chooseGpu();
    void chooseGpuLogs();
    void cpuBrandCleanup_data();
    void cpuBrandCleanup();
    void cpuBrandOfThisMachine();
    void adapterSourceCanBeReplaced();
};

void IdentificationTest::chooseGpu_data()
{
    QTest::addColumn<QStringList>("adapters");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("discrete");

    const QString intel = "Intel(R) UHD Graphics 630";
    const QString nvidia = "NVIDIA GeForce RTX 3060";
    QTest::newRow("integrated then discrete") << QStringList{intel, nvidia} << nvidia << true;
    QTest::newRow("discrete then integrated") << QStringList{nvidia, intel} << nvidia << true;
    QTest::newRow("RX makes AMD discrete")
        << QStringList{"AMD Radeon RX 6600"} << "AMD Radeon RX 6600" << true;
    QTest::newRow("AMD integrated alone")
        << QStringList{"AMD Radeon(TM) Graphics"} << "AMD Radeon(TM) Graphics" << false;
    QTest::newRow("gt inside a word, any case")
        << QStringList{intel, "Virtual Display Lengthener"} << "Virtual Display Lengthener" << true;
    QTest::newRow("basic display only")
        << QStringList{"Microsoft Basic Display Adapter"} << "Unknown GPU" << false;
    QTest::newRow("no adapter") << QStringList{} << "Unknown GPU" << false;
    QTest::newRow("last discrete wins") << QStringList{nvidia, intel, "NVIDIA GeForce GTX 1650"}
                                        << "NVIDIA GeForce GTX 1650" << true;
    QTest::newRow("last integrated wins")
        << QStringList{"AMD Radeon(TM) Graphics", intel, "Microsoft Basic Display Adapter"} << intel
        << false;
    QTest::newRow("listed once per output") << QStringList{nvidia, nvidia} << nvidia << true;
}

void IdentificationTest::chooseGpu()
{
    QFETCH(QStringList, adapters);
    QFETCH(QString, name);
    QFETCH(bool, discrete);
    LogCapture quiet;
    const GpuChoice c = chooseGpuName(adapters);
    QCOMPARE(c.name, name);
    QCOMPARE(c.discrete, discrete);
}

void IdentificationTest::chooseGpuLogs()
{
    LogCapture log;
    chooseGpuName({"Intel(R) UHD Graphics 630", "NVIDIA GeForce RTX 3060"});
    chooseGpuName({"AMD Radeon(TM) Graphics"});
    chooseGpuName({});
    QCOMPARE(log.lines(),
             QStringList({
                 R"("[GET GPU NAME] " Found GPU: "Intel(R) UHD Graphics 630")",
                 R"("[GET GPU NAME] " Found GPU: "NVIDIA GeForce RTX 3060")",
                 "[GET GPU NAME]  Discrete GPU Detected now: NVIDIA GeForce RTX 3060",
                 R"("[GET GPU NAME] " Found GPU: "AMD Radeon(TM) Graphics")",
                 "[GET GPU NAME]  No discrete GPU Detected now: AMD Radeon(TM) Graphics",
                 R"([GET GPU NAME]  Didn't detected any GPU, Use: "")",
             }));
}

void IdentificationTest::cpuBrandCleanup_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QString>("name");
    auto padded = [](QByteArray text) {
        text.resize(64, '\0');
        return text;
    };
    QTest::newRow("leading blanks")
        << padded("       Intel(R) Core(TM) i7-12700K") << "Intel(R) Core(TM) i7-12700K";
    QTest::newRow("trailing blanks") << padded("AMD Ryzen 7 7800X3D 8-Core Processor         ")
                                     << "AMD Ryzen 7 7800X3D 8-Core Processor";
    QTest::newRow("empty") << padded("") << "";
    QTest::newRow("stops at the first zero") << padded(QByteArray("Name\0junk", 9)) << "Name";
    const QByteArray full(48, 'x');
    QTest::newRow("all 48 bytes used") << padded(full) << QString(full);
    QTest::newRow("utf-8") << padded("Vendor\xc2\xae CPU") << QString::fromUtf8("Vendor® CPU");
    QTest::newRow("fallback text without zero")
        << QByteArray(" ARMv8 Processor rev 1 ") << "ARMv8 Processor rev 1";
}

void IdentificationTest::cpuBrandCleanup()
{
    QFETCH(QByteArray, raw);
    QFETCH(QString, name);
    QCOMPARE(cpuBrandFromBytes(raw.toStdString()), name);
}

void IdentificationTest::cpuBrandOfThisMachine()
{
    const std::string raw = platform::cpuBrandBytes();
    LogCapture log;
    const QString name = readCpuBrand();
    QCOMPARE(name, cpuBrandFromBytes(raw));
    QCOMPARE(name, name.trimmed());
    QCOMPARE(log.lines(), QStringList{"\"[GET CPU NAME] \" Found CPU: \"" + name + "\""});
}

namespace {
std::vector<std::string> twoAdapters()
{
    return {"Intel(R) Iris(R) Xe Graphics", "NVIDIA GeForce RTX 3050 Laptop GPU"};
}
} // namespace

void IdentificationTest::adapterSourceCanBeReplaced()
{
    LogCapture quiet;
    setAdapterSource(twoAdapters);
    const GpuChoice c = findGpuName();
    setAdapterSource(nullptr);
    QCOMPARE(c.name, QStringLiteral("NVIDIA GeForce RTX 3050 Laptop GPU"));
    QVERIFY(c.discrete);
}

QTEST_GUILESS_MAIN(IdentificationTest)
#include "tst_identification.moc"
