// Where an installed copy keeps its things for each user: the settings file (beside the
// program only when the user may write there), the single-instance lock (one per user), the
// library's monitor.conf, and the updater script it starts only when no one else could have
// planted it. Steps that need an ordinary user run in a child process, as nobody when the
// tests run as root: no permission bit stops root.

#include "app/Shell.h"
#include "app/Sysctl.h"
#include "device/SystemCommands.h"
#include "monitor/Config.h"
#include "settings/SettingsLocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr uid_t kNobody = 65534;

QStringList g_lines;

void collect(QtMsgType, const QMessageLogContext&, const QString& message)
{
    g_lines << message;
}

// Every message while it lives, warnings included.
struct Messages
{
    QtMessageHandler previous = qInstallMessageHandler(collect);
    Messages() { g_lines.clear(); }
    ~Messages() { qInstallMessageHandler(previous); }
    QStringList starting(const QString& prefix) const
    {
        QStringList out;
        for (const QString& line : g_lines)
            if (line.startsWith(prefix))
                out << line;
        return out;
    }
};

bool asRoot()
{
    return ::geteuid() == 0;
}

// Runs fn in a child process, as nobody when we are root; returns what fn reported (empty when
// all went well).
QString inChildAsUser(const std::function<QString()>& fn)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return QStringLiteral("no pipe");
    const pid_t pid = ::fork();
    if (pid < 0)
        return QStringLiteral("no fork");
    if (pid == 0) {
        ::close(fds[0]);
        QString report;
        if (asRoot() &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            report = QStringLiteral("cannot become nobody");
        else
            report = fn();
        const QByteArray bytes = report.toUtf8();
        if (::write(fds[1], bytes.constData(), size_t(bytes.size())) < 0)
            ::_exit(2);
        ::_exit(0);
    }
    ::close(fds[1]);
    QByteArray out;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0)
        out.append(buffer, int(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return QStringLiteral("the child failed: ") + QString::fromUtf8(out);
    return QString::fromUtf8(out);
}

// A folder the child's user owns: nobody's when we are root.
bool giveToChildUser(const QString& path)
{
    return !asRoot() || ::chown(QFile::encodeName(path).constData(), kNobody, kNobody) == 0;
}

bool setMode(const QString& path, mode_t mode)
{
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

QString expect(bool condition, const QString& what)
{
    return condition ? QString() : what + QLatin1Char('\n');
}

} // namespace

class UserPlacesTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    QString m_app, m_xdg;

private slots:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("ZOLVEN")); }
    void init();
    void cleanup();

    void settingsBesideAWritableProgram();
    void settingsInTheUsersFolderBesideAReadOnlyProgram();
    void eachUserHasALockOfTheirOwn();
    void monitorConfFromTheUsersFolder();
    void updaterStartsOnlyWhatNoOneElseCouldPlant_data();
    void updaterStartsOnlyWhatNoOneElseCouldPlant();
};

void UserPlacesTest::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    // The child's user must reach everything in here.
    QVERIFY(setMode(m_root->path(), 0755));
    m_app = m_root->filePath(QStringLiteral("app"));
    m_xdg = m_root->filePath(QStringLiteral("xdg"));
    QVERIFY(QDir().mkpath(m_app) && QDir().mkpath(m_xdg));
    QVERIFY(giveToChildUser(m_xdg));
    qputenv("XDG_CONFIG_HOME", m_xdg.toLocal8Bit());
}

void UserPlacesTest::cleanup()
{
    setMode(m_app, 0755);
    m_root.reset();
}

void UserPlacesTest::settingsBesideAWritableProgram()
{
    Messages log;
    {
        Sysctl c(m_app);
        c.confFileSync();
    }
    QCOMPARE(log.starting(QStringLiteral("[Config]")),
             QStringList{"[Config] Settings file : " + m_app + "/config.ini"});
    QVERIFY(QFile::exists(m_app + "/config.ini"));
    QVERIFY(!QFile::exists(m_xdg + "/ZOLVEN"));
}

void UserPlacesTest::settingsInTheUsersFolderBesideAReadOnlyProgram()
{
    QVERIFY(setMode(m_app, 0555));
    const QString app = m_app, xdg = m_xdg;
    const QString report = inChildAsUser([app, xdg] {
        const QString path = xdg + "/ZOLVEN/config.ini";
        QString failures;
        Messages log;
        {
            Sysctl c(app);
            failures += expect(log.starting(QStringLiteral("[Config]")) ==
                                   QStringList{"[Config] Settings file : " + path},
                               "the start names " + log.starting("[Config]").join('|'));
            // Made at the first write, not before.
            failures += expect(!QFile::exists(xdg + "/ZOLVEN"), "the folder came before a write");
            c.confFileSync();
            c.setIsShowFah(true);
        }
        failures += expect(QFile::exists(path), "no settings in the user's folder");
        failures += expect(!QFile::exists(app + "/config.ini"), "settings beside the program");
        // The next start reads them back from there.
        Sysctl next(app);
        next.confFileSync();
        failures += expect(next.getIsShowFah(), "the next start lost Show Fah");
        return failures;
    });
    QVERIFY2(report.isEmpty(), qPrintable(report));
    QCOMPARE(zolven::settingsFilePath(m_app),
             asRoot() ? m_app + "/config.ini" : m_xdg + "/ZOLVEN/config.ini");
}

void UserPlacesTest::eachUserHasALockOfTheirOwn()
{
    // Both users share the temporary folder, where the lock used to be; each has a runtime
    // folder of their own.
    const QString shared = m_root->filePath(QStringLiteral("tmp"));
    const QString mine = m_root->filePath(QStringLiteral("run-mine"));
    const QString theirs = m_root->filePath(QStringLiteral("run-theirs"));
    QVERIFY(QDir().mkpath(shared) && setMode(shared, 01777));
    QVERIFY(QDir().mkpath(mine) && setMode(mine, 0700));
    QVERIFY(QDir().mkpath(theirs) && setMode(theirs, 0700) && giveToChildUser(theirs));
    qputenv("TMPDIR", shared.toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", mine.toLocal8Bit());

    QCOMPARE(zolven::lockFilePath(), mine + "/ZOLVEN.lock");
    QLockFile held(zolven::lockFilePath());
    QVERIFY(held.tryLock(0));
    // The same user again: refused.
    QLockFile again(zolven::lockFilePath());
    QVERIFY(!again.tryLock(0));

    const QString report = inChildAsUser([theirs] {
        qputenv("XDG_RUNTIME_DIR", theirs.toLocal8Bit());
        const QString path = zolven::lockFilePath();
        QLockFile lock(path);
        return expect(path == theirs + "/ZOLVEN.lock", "the other user's lock is " + path) +
               expect(lock.tryLock(0), "the other user is refused");
    });
    QVERIFY2(report.isEmpty(), qPrintable(report));
    QVERIFY(held.isLocked());
    qunsetenv("TMPDIR");
}

void UserPlacesTest::monitorConfFromTheUsersFolder()
{
    using zolven::monitor::configPath;
    const QString lib = m_root->filePath(QStringLiteral("lib"));
    QVERIFY(QDir().mkpath(lib) && QDir().mkpath(m_xdg + "/ZOLVEN"));
    const std::string beside = (lib + "/monitor.conf").toStdString();
    const std::string user = (m_xdg + "/ZOLVEN/monitor.conf").toStdString();
    qunsetenv(zolven::monitor::kConfigEnvironment);

    // None anywhere: beside the library, which reads as defaults.
    QCOMPARE(configPath(lib.toStdString()), beside);
    // Only the user's: an installed library's folder is not the user's to write.
    QVERIFY(QFile(QString::fromStdString(user)).open(QIODevice::WriteOnly));
    QCOMPARE(configPath(lib.toStdString()), user);
    // One beside the library comes first.
    QVERIFY(QFile(QString::fromStdString(beside)).open(QIODevice::WriteOnly));
    QCOMPARE(configPath(lib.toStdString()), beside);

    // Without XDG_CONFIG_HOME, or with a relative one: ~/.config.
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", "/home/someone");
    for (const char* value : {"", "relative/xdg"}) {
        qputenv("XDG_CONFIG_HOME", value);
        QCOMPARE(zolven::monitor::userConfigPath(),
                 std::string("/home/someone/.config/ZOLVEN/monitor.conf"));
    }
    qputenv("HOME", home);
}

void UserPlacesTest::updaterStartsOnlyWhatNoOneElseCouldPlant_data()
{
    QTest::addColumn<QString>("plant");
    QTest::addColumn<QString>("refusal"); // empty: started
    QTest::newRow("the user's, 0755") << ""
                                      << "";
    QTest::newRow("script writable by the group") << "script 0775"
                                                  << "run.sh is writable by others";
    QTest::newRow("script writable by anyone") << "script 0757"
                                               << "run.sh is writable by others";
    QTest::newRow("folder writable by anyone") << "folder 0777"
                                               << "update is writable by others";
    QTest::newRow("folder writable by the group") << "folder 0775"
                                                  << "update is writable by others";
    QTest::newRow("script is a link") << "script link"
                                      << "run.sh is a symbolic link";
    QTest::newRow("folder is a link") << "folder link"
                                      << "update is a symbolic link";
    QTest::newRow("a folder above open to all") << "above 0777"
                                                << "is writable by others";
    QTest::newRow("a folder above open to all, sticky") << "above 1777"
                                                        << "";
    QTest::newRow("script of another user") << "script nobody"
                                            << "run.sh belongs to another user";
    QTest::newRow("folder of another user") << "folder nobody"
                                            << "update belongs to another user";
}

void UserPlacesTest::updaterStartsOnlyWhatNoOneElseCouldPlant()
{
    QFETCH(QString, plant);
    QFETCH(QString, refusal);
    const QString above = m_root->filePath(QStringLiteral("shared"));
    const QString app = above + "/app";
    const QString real = m_root->filePath(QStringLiteral("elsewhere"));
    QVERIFY(QDir().mkpath(app) && QDir().mkpath(real));
    const QString update = zolven::updateDirectory(app);
    const QString script = update + "/run.sh";
    const QByteArray body = "#!/bin/sh\necho started > \"$PWD/started\"\n";

    const QStringList words = plant.split(' ');
    const QString what = words.value(0), how = words.value(1);
    if (how == "nobody" && !asRoot())
        QSKIP("only root can give a file to another user");
    if (what == "folder" && how == "link") {
        QVERIFY(QFile::link(real, update));
    } else {
        QVERIFY(QDir().mkpath(update) && setMode(update, 0755));
    }
    const QString scriptTarget = what == "script" && how == "link" ? real + "/run.sh" : script;
    QFile file(scriptTarget);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(body) == body.size());
    file.close();
    QVERIFY(setMode(scriptTarget, 0755));
    if (scriptTarget != script)
        QVERIFY(QFile::link(scriptTarget, script));
    const QString target = what == "script" ? script : what == "folder" ? update : above;
    if (how == "nobody")
        QVERIFY(::chown(QFile::encodeName(target).constData(), kNobody, kNobody) == 0);
    else if (how != "link" && !how.isEmpty())
        QVERIFY(setMode(target, mode_t(how.toUInt(nullptr, 8))));

    Messages log;
    const bool started = zolven::startUpdaterScript(update);
    const QStringList said = log.starting(QStringLiteral("[Updater]"));
    if (refusal.isEmpty()) {
        QVERIFY(started);
        QVERIFY2(said.isEmpty(), qPrintable(said.join('\n')));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(update + "/started"), 10000);
    } else {
        QVERIFY(!started);
        QCOMPARE(said.size(), 1);
        QVERIFY2(said.first().startsWith("[Updater] Not started: ") &&
                     said.first().endsWith(refusal),
                 qPrintable(said.first()));
        QTest::qWait(300);
        QVERIFY(!QFile::exists(update + "/started"));
    }
}

QTEST_GUILESS_MAIN(UserPlacesTest)
#include "tst_user_places.moc"
