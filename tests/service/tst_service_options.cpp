// The service's command line, where it looks for its settings, and what it takes from them.

#include "monitor/Config.h"
#include "service/Service.h"
#include "service/ServiceOptions.h"
#include "tests/device/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace zolven;

namespace {

QProcessEnvironment envOf(const QStringList& assignments)
{
    QProcessEnvironment env;
    for (const QString& a : assignments)
        env.insert(a.section(QLatin1Char('='), 0, 0), a.section(QLatin1Char('='), 1));
    return env;
}

} // namespace

class ServiceOptionsTest : public QObject
{
    Q_OBJECT

private slots:
    void defaultConfig_data();
    void defaultConfig();
    void commandLine();
    void settingsFile_data();
    void settingsFile();
    void neverWritten();
    void startLine();
    void missingMonitorConfigMeansDefaults();
};

// The system service is told by the environment it is given; otherwise the user's folder
// comes from the process's own HOME and XDG_CONFIG_HOME, as for the tray program.
void ServiceOptionsTest::defaultConfig_data()
{
    QTest::addColumn<QStringList>("env");
    QTest::addColumn<QString>("xdg");
    QTest::addColumn<QString>("expected");
    const QString system = QString::fromLatin1(kSystemConfigPath);
    const QString user = QStringLiteral("@home/.config/ZOLVEN/config.ini");
    QTest::newRow("system service") << QStringList{"INVOCATION_ID=0f1e"} << QString() << system;
    QTest::newRow("user manager's service")
        << QStringList{"INVOCATION_ID=0f1e", "MANAGERPID=1200"} << QString() << user;
    QTest::newRow("shell, XDG_CONFIG_HOME") << QStringList{} << "/srv/conf"
                                            << "/srv/conf/ZOLVEN/config.ini";
    QTest::newRow("relative XDG_CONFIG_HOME is ignored") << QStringList{} << "conf" << user;
    QTest::newRow("empty INVOCATION_ID") << QStringList{"INVOCATION_ID="} << QString() << user;
    QTest::newRow("no usable home") << QStringList{} << "rel" << QString();
}

void ServiceOptionsTest::defaultConfig()
{
    QFETCH(QStringList, env);
    QFETCH(QString, xdg);
    QFETCH(QString, expected);
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldXdg = qgetenv("XDG_CONFIG_HOME");
    const bool noHome = QByteArray(QTest::currentDataTag()) == "no usable home";
    // A home that does not exist is no home (and is never made).
    qputenv("HOME", noHome ? QByteArray("/nonexistent/zolven-home") : home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", xdg.toLocal8Bit());
    expected.replace(QStringLiteral("@home"), home.path());
    const QString found = defaultServiceConfigPath(envOf(env));
    const ServiceOptions o = parseServiceOptions({QStringLiteral("zolvend")}, envOf(env));
    qputenv("HOME", oldHome);
    qputenv("XDG_CONFIG_HOME", oldXdg);
    QCOMPARE(found, expected);
    QCOMPARE(o.exitCode, -1);
    QCOMPARE(o.configPath, expected);
}

void ServiceOptionsTest::commandLine()
{
    const QProcessEnvironment system = envOf({QStringLiteral("INVOCATION_ID=1")});
    ServiceOptions o = parseServiceOptions({"zolvend", "--config", "sub/my.ini"}, system);
    QCOMPARE(o.exitCode, -1);
    QCOMPARE(o.configPath, QDir::current().absoluteFilePath(QStringLiteral("sub/my.ini")));
    QVERIFY(!o.debug);
    QVERIFY(parseServiceOptions({"zolvend", "-v"}, system).debug);
    QVERIFY(parseServiceOptions({"zolvend", "--debug"}, system).debug);

    o = parseServiceOptions({"zolvend", "--help"}, system);
    QCOMPARE(o.exitCode, 0);
    for (const char* part : {"--config", "--version", "--debug", "/etc/zolven/config.ini",
                             "ZOLVEN_MONITOR_CONFIG", "INVOCATION_ID"})
        QVERIFY2(o.message.contains(QLatin1String(part)), part);
    o = parseServiceOptions({"zolvend", "--version"}, system);
    QCOMPARE(o.exitCode, 0);
    QCOMPARE(o.message, QStringLiteral("zolvend " ZOLVEN_VERSION "\n"));

    for (const QStringList& wrong :
         {QStringList{"zolvend", "--bogus"}, QStringList{"zolvend", "extra"},
          QStringList{"zolvend", "--config"}}) {
        o = parseServiceOptions(wrong, system);
        QCOMPARE(o.exitCode, 2);
        QVERIFY(o.message.contains(QLatin1String("--help")));
    }
}

void ServiceOptionsTest::settingsFile_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("fahrenheit");
    QTest::addColumn<QString>("port");
    QTest::newRow("as the tray writes it")
        << QByteArray("[%General]\nAuto%20Run=true\nLanguage=2\nShow%20Fah=true\n") << true
        << QString();
    QTest::newRow("[General] by hand, with a port")
        << QByteArray("[General]\nShow Fah=true\n\n[DEVICE]\nPort= /dev/ttyUSB3 \n") << true
        << "/dev/ttyUSB3";
    QTest::newRow("[GENERAL] by hand")
        << QByteArray("[GENERAL]\nShow Fah=true\n") << true << QString();
    QTest::newRow("top-level key") << QByteArray("Show Fah=true\n") << true << QString();
    QTest::newRow("Celsius, other keys missing")
        << QByteArray("[General]\nShow Fah=false\n") << false << QString();
    QTest::newRow("empty file") << QByteArray() << false << QString();
}

void ServiceOptionsTest::settingsFile()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, fahrenheit);
    QFETCH(QString, port);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("config.ini"));
    QVERIFY(writeFile(path, text));
    const ServiceSettings s = readServiceSettings(path);
    QVERIFY(s.found);
    QCOMPARE(s.fahrenheit, fahrenheit);
    QCOMPARE(s.manualPort, port);
}

void ServiceOptionsTest::neverWritten()
{
    QTemporaryDir dir;
    const QString absent = dir.filePath(QStringLiteral("etc/zolven/config.ini"));
    ServiceSettings s = readServiceSettings(absent);
    QVERIFY(!s.found);
    QVERIFY(!s.fahrenheit);
    QVERIFY(s.manualPort.isEmpty());
    QVERIFY(!QFileInfo::exists(absent));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("etc"))));

    // An incomplete file stays as it is (the tray would rewrite it with the defaults).
    const QString path = dir.filePath(QStringLiteral("config.ini"));
    const QByteArray text("[General]\nShow Fah=true\n");
    QVERIFY(writeFile(path, text));
    s = readServiceSettings(path);
    QVERIFY(s.fahrenheit);
    QCOMPARE(readFile(path), text);
    QVERIFY(!readServiceSettings(QString()).found);
}

void ServiceOptionsTest::startLine()
{
    ServiceSettings s;
    s.path = QStringLiteral("/etc/zolven/config.ini");
    const QString absent = Service::startLine(s, QStringLiteral("/usr/lib/zolven/config.dat"));
    QVERIFY2(absent.contains(QLatin1String("/etc/zolven/config.ini (absent: defaults)")),
             qPrintable(absent));
    QVERIFY(absent.contains(QLatin1String("/usr/lib/zolven/config.dat")));
    QVERIFY(absent.contains(QLatin1String("USB ids 1f3a:0008, 1a86:5d3b")));
    QVERIFY(absent.contains(QLatin1String("Celsius")));
    s.found = true;
    s.fahrenheit = true;
    s.manualPort = QStringLiteral("/dev/ttyUSB0");
    const QString named = Service::startLine(s, QStringLiteral("config.dat"));
    QVERIFY2(named.contains(QLatin1String("port /dev/ttyUSB0 ([DEVICE] Port=)")),
             qPrintable(named));
    QVERIFY(named.contains(QLatin1String("Fahrenheit")));
    QVERIFY(!named.contains(QLatin1String("absent")));
    QVERIFY(Service::startLine({}, QString()).contains(QLatin1String("none (defaults)")));
}

void ServiceOptionsTest::missingMonitorConfigMeansDefaults()
{
    // The system unit names /etc/zolven/monitor.conf, which most machines never get.
    QTemporaryDir dir;
    const QByteArray missing = dir.filePath(QStringLiteral("monitor.conf")).toLocal8Bit();
    qputenv(monitor::kConfigEnvironment, missing);
    QCOMPARE(monitor::configPath(dir.path().toStdString()), missing.toStdString());
    std::vector<std::string> warnings;
    const monitor::MonitorConfig config = monitor::loadConfig(missing.toStdString(), warnings);
    qunsetenv(monitor::kConfigEnvironment);
    QVERIFY(warnings.empty());
    const monitor::MonitorConfig defaults;
    QCOMPARE(config.sysRoot, defaults.sysRoot);
    QCOMPARE(config.procRoot, defaults.procRoot);
    QCOMPARE(config.nvmlLibrary, defaults.nvmlLibrary);
    QVERIFY(config.replayPath.empty());
}

QTEST_GUILESS_MAIN(ServiceOptionsTest)
#include "tst_service_options.moc"
