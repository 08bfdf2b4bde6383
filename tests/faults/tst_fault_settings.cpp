// config.ini as people and crashes leave it: cut short anywhere, binary, saved by other editors,
// read-only, a directory. Whatever the file holds, the controller ends with values it can show,
// and what it writes reads back complete and equal to them; a file it cannot write is a log
// line, never a lost setting.

#include "LogCapture.h"
#include "tests/device/TestSupport.h"

#include "app/Sysctl.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <unistd.h>

using namespace zolven;

namespace {

using Values = StoredSettings;

const Values kDefaults{true, true, false, 2};
const Values kUsers{true, false, true, 1};
const QByteArray kUsersFile = "[%General]\nAuto%20Run=false\nShow%20Fah=true\nLanguage=1\n\n"
                              "[DEVICE]\nPort=/dev/ttyUSB7\n";

Values live(const Sysctl& c)
{
    return {true, c.getIsAutoRun(), c.getIsShowFah(), c.getILanguage()};
}

} // namespace

class FaultSettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void cutShortAtEveryByte();
    void unreadableContent_data();
    void unreadableContent();
    void otherEditorsFiles_data();
    void otherEditorsFiles();
    void readOnlyFile();
    void directoryInPlace();

private:
    // A fresh application directory: a path QSettings has never cached.
    QString freshAppDir();

    std::unique_ptr<QTemporaryDir> m_root;
    int m_serial = 0;
};

void FaultSettingsTest::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    qputenv("XDG_CONFIG_HOME", m_root->filePath(QStringLiteral("xdg")).toLocal8Bit());
}

void FaultSettingsTest::cleanup()
{
    m_root.reset();
}

QString FaultSettingsTest::freshAppDir()
{
    const QString dir = m_root->filePath(QStringLiteral("app%1").arg(++m_serial));
    QDir().mkpath(dir);
    return dir;
}

void FaultSettingsTest::cutShortAtEveryByte()
{
    // A crash of another writer, a full disk, a bad copy: the file ends anywhere.
    LogCapture quiet;
    for (int n = 0; n <= kUsersFile.size(); ++n) {
        const QString dir = freshAppDir();
        const QString ini = dir + QStringLiteral("/config.ini");
        const QByteArray prefix = kUsersFile.left(n);
        QVERIFY(writeFile(ini, prefix));
        Values seen;
        {
            Sysctl c(dir);
            c.confFileSync();
            seen = live(c);
            // Every key there in full: the user's values, not one of them lost.
            if (prefix.contains("Language=1\n"))
                QVERIFY2(seen == kUsers, prefix.constData());
            // A key missing: all three defaults, as a first start has them.
            if (!prefix.contains("Language="))
                QVERIFY2(seen == kDefaults, prefix.constData());
            QVERIFY(seen.language >= 0 && seen.language <= 2);
        }
        // The exit write leaves a complete file that says what the controller showed.
        QCOMPARE(readAsNextRun(ini), seen);
    }
}

void FaultSettingsTest::unreadableContent_data()
{
    QTest::addColumn<QByteArray>("content");
    QRandomGenerator random(7);
    for (int round = 0; round < 4; ++round) {
        QByteArray noise(4096, '\0');
        for (char& ch : noise)
            ch = char(random.bounded(256));
        QTest::addRow("noise %d", round) << noise;
    }
    QTest::newRow("zeros") << QByteArray(1000, '\0');
    QTest::newRow("one long line") << QByteArray(1 << 20, 'x');
    QTest::newRow("invalid UTF-8")
        << QByteArray("[%General]\n\xC3\x28=\xFF\xFE\nLanguage=\xED\xA0\x80\n");
    QTest::newRow("brackets only") << QByteArray("[[[[\n]]]]\n[\n=\n==\n%%%\n\\\n");
    // An ELF header: someone copied a library over the settings.
    QTest::newRow("executable") << QByteArray("\x7F"
                                              "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0",
                                              16)
                                       .repeated(64);
}

void FaultSettingsTest::unreadableContent()
{
    QFETCH(QByteArray, content);
    const QString dir = freshAppDir();
    const QString ini = dir + QStringLiteral("/config.ini");
    QVERIFY(writeFile(ini, content));
    LogCapture quiet;
    Values seen;
    {
        Sysctl c(dir);
        c.confFileSync();
        seen = live(c);
        QCOMPARE(seen, kDefaults);
        // A change the user makes now must survive the next start.
        c.setIsShowFah(true);
        c.setILanguage(0);
        c.syncConfFile();
        seen = live(c);
    }
    QCOMPARE(readAsNextRun(ini), seen);
    QVERIFY(seen.showFah && seen.language == 0);
}

void FaultSettingsTest::otherEditorsFiles_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("readable");
    QTest::newRow("CRLF line ends")
        << QByteArray("[%General]\r\nAuto%20Run=false\r\nShow%20Fah=true\r\nLanguage=1\r\n")
        << true;
    QTest::newRow("UTF-8 byte order mark")
        << QByteArray("\xEF\xBB\xBF[%General]\nAuto%20Run=false\nShow%20Fah=true\nLanguage=1\n")
        << true;
    QTest::newRow("spaces and comments")
        << QByteArray("; mine\n[%General]\n  Auto%20Run = false \n# x\nShow%20Fah= true\n"
                      "Language =1\n")
        << true;
    QByteArray utf16("\xFF\xFE", 2);
    for (char ch :
         QByteArray("[%General]\r\nAuto%20Run=false\r\nShow%20Fah=true\r\nLanguage=1\r\n"))
        utf16.append(ch).append('\0');
    QTest::newRow("UTF-16 from a Windows editor") << utf16 << false;
}

void FaultSettingsTest::otherEditorsFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, readable);
    const QString dir = freshAppDir();
    const QString ini = dir + QStringLiteral("/config.ini");
    QVERIFY(writeFile(ini, content));
    LogCapture quiet;
    Values seen;
    {
        Sysctl c(dir);
        c.confFileSync();
        seen = live(c);
    }
    QCOMPARE(seen, readable ? kUsers : kDefaults);
    QCOMPARE(readAsNextRun(ini), seen);
}

void FaultSettingsTest::readOnlyFile()
{
    const QString dir = freshAppDir();
    const QString ini = dir + QStringLiteral("/config.ini");
    QVERIFY(writeFile(ini, kUsersFile));
    QVERIFY(QFile::setPermissions(ini, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    LogCapture log;
    {
        Sysctl c(dir);
        c.confFileSync();
        // Read-only still reads: the user's values apply.
        QCOMPARE(live(c), kUsers);
        c.setIsShowFah(false);
        c.syncConfFile();
        QVERIFY(!c.getIsShowFah()); // the change holds for this run
    }
    if (::geteuid() == 0)
        QSKIP("no permission bit stops root; the rest needs an ordinary user");
    QCOMPARE(readFile(ini), kUsersFile);
    QVERIFY(log.count("[syncConfFile] Cannot write \"" + ini + '"') >= 1);
}

void FaultSettingsTest::directoryInPlace()
{
    const QString dir = freshAppDir();
    const QString ini = dir + QStringLiteral("/config.ini");
    QVERIFY(QDir().mkpath(ini + QStringLiteral("/inside")));
    LogCapture log;
    {
        Sysctl c(dir);
        c.confFileSync();
        QCOMPARE(live(c), kDefaults);
        c.setILanguage(1);
        c.syncConfFile();
        QCOMPARE(c.getILanguage(), 1);
    }
    QVERIFY(QFileInfo(ini).isDir());
    QVERIFY(QFileInfo::exists(ini + QStringLiteral("/inside")));
    // Defaults at start, the change, and the exit write: each one said.
    QCOMPARE(log.count("[syncConfFile] Cannot write \"" + ini + '"'), 3);
}

QTEST_GUILESS_MAIN(FaultSettingsTest)
#include "tst_fault_settings.moc"
