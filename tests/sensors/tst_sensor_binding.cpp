// Binding config.dat, one fresh process per case: a library once loaded stays for the life of
// the process. Each case puts the probe and its config.dat in a directory of its own.

#include "SensorTestSupport.h"

#include <QtTest>

namespace {

struct Run
{
    int exitCode = -1;
    QStringList lines;
    QString dir;
};

// Copies the probe and, unless library is empty, that file as config.dat into a new directory,
// then runs the probe from somewhere else: it must find config.dat beside itself.
Run runProbe(QTemporaryDir& tmp, const QString& library, const QStringList& args = {},
             const QString& readings = {})
{
    Run run;
    run.dir = QFileInfo(tmp.path()).canonicalFilePath();
    const QString probe = run.dir + "/sensor_probe";
    if (!QFile::copy(PROBE_PATH, probe))
        return run;
    QFile::setPermissions(probe, QFile::permissions(PROBE_PATH));
    if (!library.isEmpty() && !QFile::copy(library, run.dir + "/config.dat"))
        return run;
    if (!readings.isEmpty() && !QFile::copy(readings, run.dir + "/config.readings"))
        return run;

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("ZOLVEN_READINGS");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(QDir::rootPath());
    p.start(probe, args);
    if (!p.waitForFinished(60000))
        return run;
    run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    run.lines = QString::fromUtf8(p.readAllStandardError()).split('\n');
    return run;
}

QStringList loadLines(const Run& run)
{
    QStringList out;
    for (const QString& l : run.lines)
        if (l.startsWith("[RunHwinfo]"))
            out << l;
    return out;
}

QString pathLine(const Run& run)
{
    return "[RunHwinfo] DLL path: \"" + run.dir + "/config.dat\"";
}

} // namespace

class SensorBindingTest : public QObject
{
    Q_OBJECT

private slots:
    void refused_data();
    void refused();
    void boundWithReadingsBeside();
    void workerRunsWithoutLibrary();
};

void SensorBindingTest::refused_data()
{
    QTest::addColumn<QString>("library");
    QTest::addColumn<bool>("exists");
    QTest::newRow("missing") << QString() << false;
    QTest::newRow("without 618 alone") << QStringLiteral(LIB_NO618) << true;
    QTest::newRow("without 106") << QStringLiteral(LIB_NO106) << true;
    QTest::newRow("not a library")
        << QStringLiteral(ZOLVEN_SENSOR_FIXTURES "/amd_amd.readings") << true;
}

void SensorBindingTest::refused()
{
    QFETCH(QString, library);
    QFETCH(bool, exists);
    QTemporaryDir tmp;
    const Run run = runProbe(tmp, library, {"2"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(loadLines(run),
             QStringList({exists ? "[RunHwinfo] DLL Exist" : "[RunHwinfo] DLL Doesn't exist",
                          pathLine(run), "[RunHwinfo] CANNOT LOAD DLL"}));
    // The line ends in a line feed of its own.
    const int at = int(run.lines.indexOf("[RunHwinfo] CANNOT LOAD DLL"));
    QCOMPARE(run.lines.value(at + 1), QString());
    // Nothing was read and nothing named, yet every pass ran.
    QCOMPARE(run.lines.filter("[Refresh data] Refresh done").size(), 2);
    QVERIFY(run.lines.filter("GET ").isEmpty());
    QVERIFY(run.lines.contains("[data_cpu_temp     ] 0"));
    QVERIFY(run.lines.contains("[probe] names:  |  | false"));
}

void SensorBindingTest::boundWithReadingsBeside()
{
    QTemporaryDir tmp;
    const Run run =
        runProbe(tmp, LIB_FULL, {"1"}, QStringLiteral(ZOLVEN_SENSOR_FIXTURES "/amd_amd.readings"));
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(loadLines(run),
             QStringList({"[RunHwinfo] DLL Exist", pathLine(run), "[RunHwinfo] INIT OK"}));
    QVERIFY(run.lines.contains("[data_cpu_temp     ] 66"));
    QVERIFY(run.lines.contains("[data_gpu_ramTotal ] 20480"));
    QVERIFY(run.lines.contains("[data_ram_usage    ] 44"));
}

void SensorBindingTest::workerRunsWithoutLibrary()
{
    QTemporaryDir tmp;
    const Run run = runProbe(tmp, QString(), {"--worker", "3"});
    QCOMPARE(run.exitCode, 0); // 3 would mean the passes stopped coming
    QVERIFY(run.lines.filter("[Refresh data] Refresh done").size() >= 3);
    QVERIFY(run.lines.contains("[data_gpu_temp     ] 0"));
}

QTEST_GUILESS_MAIN(SensorBindingTest)
#include "tst_sensor_binding.moc"
