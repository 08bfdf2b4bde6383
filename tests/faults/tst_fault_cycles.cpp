// The real program started and stopped many times in a row, as a session would: SIGTERM at
// different moments of its start, now and then a SIGKILL. Every stop must be clean (exit 0, the
// exit line), the settings must stay exactly as the user left them, and no lock may stay behind
// to refuse the next start. ZOLVEN_CYCLES sets the number of cycles (default 200).

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

// The settings as the program itself writes them, so an exit write changes no byte.
const QByteArray kSettings = "[%General]\nAuto%20Run=false\nLanguage=1\nShow%20Fah=true\n";

// Where a cycle's stop signal lands: before the document, after the settings, during refresh.
const char* const kMoments[] = {"[Lock] Lock file path : ", "[setIndexLanguage] 1",
                                "[Refresh data] Refresh done"};

} // namespace

class FaultCyclesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startAndStopCycles();

private:
    // Starts the program; false when it did not come up.
    bool start(QProcess& p);
    // Reads the program's output until a line starts with prefix.
    bool waitForLine(QProcess& p, const QByteArray& prefix, int timeoutMs = 60000);

    QTemporaryDir m_root;
    QString m_app;
    QProcessEnvironment m_env;
    QByteArray m_output;
};

void FaultCyclesTest::initTestCase()
{
    QVERIFY(m_root.isValid());
    m_app = m_root.filePath("app");
    for (const char* dir : {"app", "home", "xdg", "tmp", "runtime"})
        QVERIFY(QDir().mkpath(m_root.filePath(dir)));
    QVERIFY(QFile::setPermissions(m_root.filePath("runtime"),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    // The program, the test library as config.dat, its readings: a directory of their own.
    QVERIFY(QFile::copy(ZOLVEN_EXE, m_app + "/ZOLVEN"));
    QVERIFY(QFile::copy(TEST_MONITOR, m_app + "/config.dat"));
    QVERIFY(QFile::copy(READINGS, m_app + "/config.readings"));
    QFile ini(m_app + "/config.ini");
    QVERIFY(ini.open(QIODevice::WriteOnly) && ini.write(kSettings) == kSettings.size());
    ini.close();

    m_env = QProcessEnvironment::systemEnvironment();
    m_env.insert("HOME", m_root.filePath("home"));
    m_env.insert("XDG_CONFIG_HOME", m_root.filePath("xdg"));
    m_env.insert("TMPDIR", m_root.filePath("tmp"));
    m_env.insert("XDG_RUNTIME_DIR", m_root.filePath("runtime"));
    m_env.insert("QT_QPA_PLATFORM", "offscreen");
    // Every line, as at a terminal: without one the program keeps its debug lines to itself.
    m_env.insert("QT_FORCE_STDERR_LOGGING", "1");
    m_env.remove("ZOLVEN_READINGS");
}

bool FaultCyclesTest::start(QProcess& p)
{
    m_output.clear();
    p.setProcessEnvironment(m_env);
    p.setWorkingDirectory(m_root.path());
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(m_app + "/ZOLVEN", {});
    return p.waitForStarted(30000);
}

bool FaultCyclesTest::waitForLine(QProcess& p, const QByteArray& prefix, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    qsizetype from = 0;
    for (;;) {
        m_output += p.readAll();
        for (;;) {
            const qsizetype at = m_output.indexOf(prefix, from);
            if (at < 0)
                break;
            if (at == 0 || m_output.at(at - 1) == '\n')
                return true;
            from = at + 1;
        }
        if (deadline.hasExpired() || p.state() == QProcess::NotRunning)
            return false;
        p.waitForReadyRead(int(qMin<qint64>(deadline.remainingTime(), 1000)));
    }
}

void FaultCyclesTest::startAndStopCycles()
{
    const int cycles = qEnvironmentVariableIsSet("ZOLVEN_CYCLES")
                           ? qEnvironmentVariableIntValue("ZOLVEN_CYCLES")
                           : 200;
    const QString lock = m_root.filePath("runtime/ZOLVEN.lock");
    QElapsedTimer clock;
    clock.start();
    for (int cycle = 0; cycle < cycles; ++cycle) {
        // Killed outright now and then: no teardown, a lock left behind. Never at the first
        // moment, which comes just before the lock is taken: a kill between the lock file's
        // creation and its contents leaves an empty file, and Qt rightly reads that as held
        // until it is 30 s old.
        const bool kill = cycle % 50 == 49;
        const QByteArray moment = kMoments[kill ? 1 + cycle % 2 : cycle % 3];
        QProcess p;
        QVERIFY2(start(p), qPrintable(p.errorString()));
        QVERIFY2(
            waitForLine(p, moment),
            qPrintable(
                QString("cycle %1: no \"%2\" in:\n%3").arg(cycle).arg(QString(moment), m_output)));
        ::kill(pid_t(p.processId()), kill ? SIGKILL : SIGTERM);
        QVERIFY2(p.waitForFinished(60000), qPrintable(QString("cycle %1 does not end").arg(cycle)));
        m_output += p.readAll();
        const QString where = QString("cycle %1, stopped after \"%2\":\n%3")
                                  .arg(cycle)
                                  .arg(QString(moment), QString(m_output.right(3000)));
        if (kill) {
            QCOMPARE(p.exitStatus(), QProcess::CrashExit);
        } else {
            QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0,
                     qPrintable(where));
            QVERIFY2(m_output.contains("\n[Quit] Signal 15 received, quitting\n"),
                     qPrintable(where));
            // The sensor worker may still log while the teardown stops it.
            QVERIFY2(m_output.contains("\nApplication exited with code: 0\n"), qPrintable(where));
            QVERIFY2(!QFile::exists(lock), qPrintable(where));
        }
        QVERIFY2(!m_output.contains("Cannot write"), qPrintable(where));
        QFile ini(m_app + "/config.ini");
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QVERIFY2(ini.readAll() == kSettings, qPrintable(where));
        // Nothing else appears beside the program: no settings lock, no stray files.
        QCOMPARE(QDir(m_app).entryList(QDir::Files, QDir::Name),
                 QStringList({"ZOLVEN", "config.dat", "config.ini", "config.readings"}));
    }
    // The autostart setting is off: no entry was ever written.
    QVERIFY(!QFile::exists(m_root.filePath("xdg/autostart/ZOLVEN.desktop")));
    qInfo("%d cycles in %.1f s", cycles, clock.elapsed() / 1000.0);
}

QTEST_GUILESS_MAIN(FaultCyclesTest)
#include "tst_fault_cycles.moc"
