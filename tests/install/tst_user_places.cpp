// Where an installed copy keeps its things for each user: the settings file (beside the
// program only when the user may write there), the single-instance lock (one per user), the
// library's monitor.conf, and the updater script it starts only when no one else could have
// planted it. Steps that need an ordinary user run in a child process, as nobody when the
// tests run as root: no permission bit stops root.

#include "app/Shell.h"
#include "app/Sysctl.h"
#include "device/SystemCommands.h"
#include "monitor/Config.h"
#include "monitor/Recording.h"
#include "sensors/platform/LibraryLoader.h"
#include "settings/Autostart.h"
#include "settings/SettingsLocation.h"
#include "userfiles/Trust.h"

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

QByteArray readFileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
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
    void installedCopyNeverWritesBesideItself();
    void oneConfigHomeForAllThree_data();
    void oneConfigHomeForAllThree();
    void aSquattedRuntimeFolderIsPassedOver();
    void configDatIsLoadedOnlyWhenNoOneElseCouldPlantIt_data();
    void configDatIsLoadedOnlyWhenNoOneElseCouldPlantIt();
    void monitorConfAndWhatItNamesMustBeTheUsers_data();
    void monitorConfAndWhatItNamesMustBeTheUsers();
    void aRecordingNeverFollowsALinkNorOverwritesAnother();
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
    const QString someone = m_root->filePath(QStringLiteral("someone"));
    QVERIFY(QDir().mkpath(someone));
    qputenv("HOME", QFile::encodeName(someone));
    for (const char* value : {"", "relative/xdg"}) {
        qputenv("XDG_CONFIG_HOME", value);
        QCOMPARE(zolven::monitor::userConfigPath(),
                 (someone + "/.config/ZOLVEN/monitor.conf").toStdString());
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

void UserPlacesTest::installedCopyNeverWritesBesideItself()
{
    // Writable by whoever runs it (root, or its owner): still no file of its own beside it.
    QVERIFY(QFile(m_app + "/" + zolven::kInstalledMarker).open(QIODevice::WriteOnly));
    const QStringList before = QDir(m_app).entryList(QDir::AllEntries | QDir::Hidden);
    QCOMPARE(zolven::settingsFilePath(m_app), m_xdg + "/ZOLVEN/config.ini");
    {
        Sysctl c(m_app);
        c.confFileSync();
        c.setIsShowFah(true);
        c.syncConfFile();
    }
    QCOMPARE(QDir(m_app).entryList(QDir::AllEntries | QDir::Hidden), before);
    QVERIFY(QFile::exists(m_xdg + "/ZOLVEN/config.ini"));
    // A build tree or an unpacked copy, without the marker, keeps its settings beside itself.
    QVERIFY(QFile::remove(m_app + "/" + zolven::kInstalledMarker));
    QCOMPARE(zolven::settingsFilePath(m_app), m_app + "/config.ini");
}

void UserPlacesTest::oneConfigHomeForAllThree_data()
{
    QTest::addColumn<QString>("xdg");
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("expected"); // empty: no config home at all
    QTest::newRow("absolute XDG_CONFIG_HOME") << "@xdg"
                                              << "@home"
                                              << "@xdg";
    QTest::newRow("relative XDG_CONFIG_HOME is ignored") << "relative/xdg"
                                                         << "@home"
                                                         << "@home/.config";
    QTest::newRow("empty XDG_CONFIG_HOME") << ""
                                           << "@home"
                                           << "@home/.config";
    QTest::newRow("HOME that does not exist") << ""
                                              << "@nohome"
                                              << "";
    QTest::newRow("HOME is /") << ""
                               << "/"
                               << "";
    QTest::newRow("HOME is relative") << ""
                                      << "home"
                                      << "";
}

void UserPlacesTest::oneConfigHomeForAllThree()
{
    QFETCH(QString, xdg);
    QFETCH(QString, home);
    QFETCH(QString, expected);
    const QString homeDir = m_root->filePath(QStringLiteral("home"));
    QVERIFY(QDir().mkpath(homeDir));
    auto place = [&](QString v) {
        return v.replace("@xdg", m_xdg)
            .replace("@home", homeDir)
            .replace("@nohome", m_root->filePath(QStringLiteral("nohome")));
    };
    const QByteArray savedHome = qgetenv("HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(place(xdg)));
    qputenv("HOME", QFile::encodeName(place(home)));
    expected = place(expected);
    // An installed copy, so the settings go to the config home whoever runs the test.
    QVERIFY(QFile(m_app + "/" + zolven::kInstalledMarker).open(QIODevice::WriteOnly));

    QCOMPARE(zolven::userConfigHome(), expected);
    QCOMPARE(zolven::settingsFilePath(m_app),
             expected.isEmpty() ? QString() : expected + "/ZOLVEN/config.ini");
    QCOMPARE(QString::fromStdString(zolven::monitor::userConfigPath()),
             expected.isEmpty() ? QString() : expected + "/ZOLVEN/monitor.conf");
    Messages log;
    const QString exe = m_root->filePath(QStringLiteral("bin/zolven-test"));
    zolven::applyAutostart(exe, true);
    const int autostartLines = log.starting(QStringLiteral("[Autostart] Cannot write")).size();
    {
        Sysctl c(m_app);
        c.confFileSync();
    }
    if (expected.isEmpty()) {
        // No home: nothing made anywhere, not even the missing home; one line for each file.
        QVERIFY(!QFile::exists(m_root->filePath(QStringLiteral("nohome"))));
        QVERIFY(!QFile::exists("/.config/ZOLVEN"));
        QCOMPARE(autostartLines, 1);
        // One for the defaults at the start, one for the exit write.
        QCOMPARE(log.starting(QStringLiteral("[syncConfFile] Cannot write")).size(), 2);
    } else {
        QVERIFY(QFile::exists(expected + "/autostart/zolven-test.desktop"));
        QVERIFY(QFile::exists(expected + "/ZOLVEN/config.ini"));
    }
    qputenv("HOME", savedHome);
}

void UserPlacesTest::aSquattedRuntimeFolderIsPassedOver()
{
    // No runtime folder, and another user made Qt's fallback folder first: the lock goes to a
    // folder of the user's own, and a held lock is still told apart.
    const QString tmp = m_root->filePath(QStringLiteral("tmp"));
    const QString home = m_root->filePath(QStringLiteral("home"));
    QVERIFY(QDir().mkpath(tmp) && setMode(tmp, 01777) && QDir().mkpath(home));
    const QByteArray savedHome = qgetenv("HOME");
    qunsetenv("XDG_RUNTIME_DIR");
    qunsetenv("XDG_CACHE_HOME");
    qputenv("TMPDIR", QFile::encodeName(tmp));
    qputenv("HOME", QFile::encodeName(home));
    // Qt's name for it, runtime-<user name>: free at first, then squatted.
    QString user;
    {
        QString why;
        const QString free = zolven::lockFilePath(&why);
        QVERIFY2(!free.isEmpty(), qPrintable(why));
        QVERIFY(free.startsWith(tmp + "/runtime-"));
        user = QFileInfo(QFileInfo(free).path()).fileName();
        QVERIFY(QDir(QFileInfo(free).path()).removeRecursively());
    }
    const QString squatted = tmp + "/" + user;
    QVERIFY(QDir().mkpath(squatted));
    if (asRoot())
        QVERIFY(::chown(QFile::encodeName(squatted).constData(), kNobody, kNobody) == 0);
    QVERIFY(setMode(squatted, 0777));

    QString why;
    const QString path = zolven::lockFilePath(&why);
    QCOMPARE(path, home + "/.cache/ZOLVEN/ZOLVEN.lock");
    QCOMPARE(QFileInfo(QFileInfo(path).path()).permissions() & 0x0077, QFile::Permissions());
    QLockFile held(path);
    QVERIFY(held.tryLock(0));
    QLockFile again(path);
    QVERIFY(!again.tryLock(0));
    QCOMPARE(again.error(), QLockFile::LockFailedError);

    // With no home either: no folder, and the reason names what went wrong.
    qputenv("HOME", QFile::encodeName(m_root->filePath(QStringLiteral("nohome"))));
    QVERIFY(zolven::lockFilePath(&why).isEmpty());
    QVERIFY2(why.contains("XDG_RUNTIME_DIR is not set") && why.contains(squatted) &&
                 why.contains("no home folder"),
             qPrintable(why));
    qputenv("HOME", savedHome);
    qunsetenv("TMPDIR");
}

void UserPlacesTest::configDatIsLoadedOnlyWhenNoOneElseCouldPlantIt_data()
{
    QTest::addColumn<QString>("plant");
    QTest::addColumn<QString>("refusal"); // empty: loaded
    QTest::newRow("the user's") << ""
                                << "";
    QTest::newRow("writable by the group") << "file 0664"
                                           << "config.dat is writable by others";
    QTest::newRow("its folder open to all") << "folder 0777"
                                            << "lib is writable by others";
    QTest::newRow("another user's") << "file nobody"
                                    << "config.dat belongs to another user";
    QTest::newRow("its folder another user's") << "folder nobody"
                                               << "lib belongs to another user";
    QTest::newRow("a link to another user's") << "link nobody"
                                              << "belongs to another user";
}

void UserPlacesTest::configDatIsLoadedOnlyWhenNoOneElseCouldPlantIt()
{
    QFETCH(QString, plant);
    QFETCH(QString, refusal);
    const QString what = plant.section(' ', 0, 0), how = plant.section(' ', 1, 1);
    if (how == "nobody" && !asRoot())
        QSKIP("only root can give a file to another user");
    const QString lib = m_root->filePath(QStringLiteral("lib"));
    const QString other = m_root->filePath(QStringLiteral("other"));
    QVERIFY(QDir().mkpath(lib) && setMode(lib, 0755) && QDir().mkpath(other));
    const QString file = lib + "/config.dat";
    if (what == "link") {
        QVERIFY(QFile::copy(QStringLiteral(CONFIG_DAT), other + "/config.dat"));
        QVERIFY(::chown(QFile::encodeName(other + "/config.dat").constData(), kNobody, kNobody) ==
                0);
        QVERIFY(QFile::link(other + "/config.dat", file));
    } else {
        QVERIFY(QFile::copy(QStringLiteral(CONFIG_DAT), file));
        QVERIFY(setMode(file, 0644));
    }
    const QString target = what == "folder" ? lib : file;
    if (what != "link" && how == "nobody")
        QVERIFY(::chown(QFile::encodeName(target).constData(), kNobody, kNobody) == 0);
    else if (what != "link" && !how.isEmpty())
        QVERIFY(setMode(target, mode_t(how.toUInt(nullptr, 8))));

    Messages log;
    void* handle = zolven::sensors::platform::openLibrary(QFile::encodeName(file).constData());
    const QStringList said = log.starting(QStringLiteral("[RunHwinfo] Not loaded"));
    if (refusal.isEmpty()) {
        QVERIFY(handle);
        QVERIFY2(said.isEmpty(), qPrintable(said.join('\n')));
    } else {
        QVERIFY(!handle);
        QCOMPARE(said.size(), 1);
        QVERIFY2(said.first().endsWith(refusal), qPrintable(said.first()));
    }
}

void UserPlacesTest::monitorConfAndWhatItNamesMustBeTheUsers_data()
{
    QTest::addColumn<QString>("plant");
    QTest::addColumn<QString>("ignored"); // the warning's start; empty: all obeyed
    QTest::newRow("all the user's") << ""
                                    << "";
    QTest::newRow("monitor.conf writable by others") << "conf 0666"
                                                     << "monitor.conf ignored";
    QTest::newRow("its folder open to all") << "confdir 0777"
                                            << "monitor.conf ignored";
    QTest::newRow("monitor.conf of another user") << "conf nobody"
                                                  << "monitor.conf ignored";
    QTest::newRow("the NVML it names, another user's") << "nvml nobody"
                                                       << "nvml ignored";
    QTest::newRow("the NVML it names, writable by others") << "nvml 0666"
                                                           << "nvml ignored";
    QTest::newRow("sys root open to all") << "sys 0777"
                                          << "sys ignored";
    QTest::newRow("replay file of another user") << "replay nobody"
                                                 << "replay ignored";
    QTest::newRow("record folder open to all") << "recdir 0777"
                                               << "record ignored";
}

void UserPlacesTest::monitorConfAndWhatItNamesMustBeTheUsers()
{
    QFETCH(QString, plant);
    QFETCH(QString, ignored);
    const QString what = plant.section(' ', 0, 0), how = plant.section(' ', 1, 1);
    if (how == "nobody" && !asRoot())
        QSKIP("only root can give a file to another user");
    const QString confDir = m_root->filePath(QStringLiteral("conf"));
    const QString sys = m_root->filePath(QStringLiteral("sys"));
    const QString recDir = m_root->filePath(QStringLiteral("rec"));
    for (const QString& d : {confDir, sys, recDir})
        QVERIFY(QDir().mkpath(d) && setMode(d, 0755));
    const QString conf = confDir + "/monitor.conf";
    const QString nvml = confDir + "/libnvml.so";
    const QString replay = confDir + "/machine.readings";
    for (const QString& f : {nvml, replay}) {
        QFile out(f);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.close();
        QVERIFY(setMode(f, 0644));
    }
    QFile text(conf);
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write(("nvml = " + nvml + "\nsys = " + sys +
                "\nreplay = machine.readings\nrecord = " + recDir + "/out.readings\n")
                   .toUtf8());
    text.close();
    QVERIFY(setMode(conf, 0644));
    const QString target = what == "conf"      ? conf
                           : what == "confdir" ? confDir
                           : what == "nvml"    ? nvml
                           : what == "sys"     ? sys
                           : what == "replay"  ? replay
                                               : recDir;
    if (how == "nobody")
        QVERIFY(::chown(QFile::encodeName(target).constData(), kNobody, kNobody) == 0);
    else if (!how.isEmpty())
        QVERIFY(setMode(target, mode_t(how.toUInt(nullptr, 8))));

    std::vector<std::string> warnings;
    const auto config = zolven::monitor::loadConfig(conf.toStdString(), warnings);
    QStringList said;
    for (const auto& w : warnings)
        said << QString::fromStdString(w);
    const zolven::monitor::MonitorConfig defaults;
    if (ignored.isEmpty()) {
        QVERIFY2(said.isEmpty(), qPrintable(said.join('\n')));
        QCOMPARE(config.nvmlLibrary, nvml.toStdString());
        QCOMPARE(config.sysRoot, sys.toStdString());
        QCOMPARE(config.replayPath, replay.toStdString());
        QCOMPARE(config.recordPath, (recDir + "/out.readings").toStdString());
        return;
    }
    QCOMPARE(said.size(), 1);
    QVERIFY2(said.first().startsWith(ignored), qPrintable(said.first()));
    // What is not trusted falls back to what no file named: no NVML, the machine's /sys, no
    // replay, no recording.
    if (what == "conf" || what == "confdir")
        QCOMPARE(config.sysRoot, defaults.sysRoot);
    if (what == "nvml")
        QVERIFY(config.nvmlLibrary.empty());
    if (what == "sys")
        QCOMPARE(config.sysRoot, defaults.sysRoot);
    if (what == "replay")
        QVERIFY(config.replayPath.empty());
    if (what == "recdir")
        QVERIFY(config.recordPath.empty());
}

void UserPlacesTest::aRecordingNeverFollowsALinkNorOverwritesAnother()
{
    using zolven::userfiles::createOwnFile;
    const std::string mark = zolven::monitor::kRecordingMark;
    const QString dir = m_root->filePath(QStringLiteral("rec"));
    QVERIFY(QDir().mkpath(dir));
    const QString precious = m_root->filePath(QStringLiteral("precious"));
    {
        QFile f(precious);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("the user's own\n");
    }
    auto created = [&](const QString& path, std::string* why) {
        const int fd = createOwnFile(path.toStdString(), mark, why);
        if (fd >= 0) {
            const std::string head = mark + ", one block per pass.\n";
            const bool ok = ::write(fd, head.data(), head.size()) == ssize_t(head.size());
            ::close(fd);
            return ok;
        }
        return false;
    };
    std::string why;
    // A link, to a file or to nowhere yet: never followed.
    QVERIFY(QFile::link(precious, dir + "/link.readings"));
    QVERIFY(!created(dir + "/link.readings", &why));
    QVERIFY2(why.find("symbolic link") != std::string::npos, why.c_str());
    QVERIFY(QFile::link(m_root->filePath("made-through-link"), dir + "/dangling.readings"));
    QVERIFY(!created(dir + "/dangling.readings", &why));
    QVERIFY(!QFile::exists(m_root->filePath("made-through-link")));
    // A file that is no recording of ours: left alone.
    QVERIFY(QFile::copy(precious, dir + "/notes.readings"));
    QVERIFY(!created(dir + "/notes.readings", &why));
    QVERIFY2(why.find("left alone") != std::string::npos, why.c_str());
    QCOMPARE(readFileBytes(dir + "/notes.readings"), QByteArray("the user's own\n"));
    // A second name for a file of ours (a hard link): it could be someone's file too.
    QVERIFY(created(dir + "/ours.readings", &why));
    QVERIFY(::link(QFile::encodeName(dir + "/ours.readings").constData(),
                   QFile::encodeName(dir + "/second.readings").constData()) == 0);
    QVERIFY(!created(dir + "/ours.readings", &why));
    QVERIFY(QFile::remove(dir + "/second.readings"));
    // Our own recording: rewritten at each start.
    QVERIFY2(created(dir + "/ours.readings", &why), why.c_str());
    QCOMPARE(readFileBytes(precious), QByteArray("the user's own\n"));
}

QTEST_GUILESS_MAIN(UserPlacesTest)
#include "tst_user_places.moc"
