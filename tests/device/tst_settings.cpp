#include "TestSupport.h"

#include "app/Sysctl.h"
#include "settings/Autostart.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace zolven;

namespace {

// What the program writes for these values, the group it owns in config.ini.
QByteArray groupAsWritten(bool autoRun, bool showFah, int language)
{
    return QByteArrayLiteral("[%General]\nAuto%20Run=") + (autoRun ? "true" : "false") +
           "\nLanguage=" + QByteArray::number(language) +
           "\nShow%20Fah=" + (showFah ? "true" : "false") + '\n';
}

QByteArray execLine(const QByteArray& entry)
{
    for (const QByteArray& line : entry.split('\n')) {
        if (line.startsWith("Exec="))
            return line.mid(5);
    }
    return QByteArray();
}

} // namespace

class SettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void groupSurvivesTheNextRun();
    void firstStartWritesDefaultsAndAutostart();
    void incompleteFileFallsBackCompletely_data();
    void incompleteFileFallsBackCompletely();
    void handWrittenSectionsAreRead_data();
    void handWrittenSectionsAreRead();
    void garbageValuesTakeQtConversions();
    void unknownLanguageKeepsSourceTexts();
    void secondStartKeepsValuesWithoutRewriting();
    void unwritablePlacesChangeNothing();
    void settersSignalEveryCallAndDoNotPersist();
    void autostartFollowsTheSetting();
    void desktopEntryQuotesTheExecutable();
    void exitWriteKeepsFileWhenNeverLoaded();
    void exitWriteStoresLiveValues();

private:
    QString ini() const { return m_appDir + QStringLiteral("/config.ini"); }
    QString autostartEntry() const
    {
        return m_xdg + QStringLiteral("/autostart/") +
               QFileInfo(QCoreApplication::applicationFilePath()).fileName() +
               QStringLiteral(".desktop");
    }
    QString translated() const { return QCoreApplication::translate("Probe", "catalogue"); }

    std::unique_ptr<QTemporaryDir> m_root;
    QString m_appDir;
    QString m_xdg;
};

void SettingsTest::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    m_appDir = m_root->filePath(QStringLiteral("app"));
    m_xdg = m_root->filePath(QStringLiteral("xdg"));
    QVERIFY(QDir().mkpath(m_appDir));
    qputenv("XDG_CONFIG_HOME", m_xdg.toLocal8Bit());
}

void SettingsTest::cleanup()
{
    m_root.reset();
}

void SettingsTest::groupSurvivesTheNextRun()
{
    QVERIFY(writeFile(ini(), "[DEVICE]\nPort=/dev/ttyACM3\n\n[Other]\nkey=value\n"));
    QList<ConfigEntry> rows = defaultConfigEntries();
    rows[RowAutoRun].value = false;
    rows[RowShowFah].value = true;
    rows[RowLanguage].value = 1;
    QVERIFY(writeConfigFile(ini(), rows));

    StoredSettings next = readAsNextRun(ini());
    QVERIFY(next.complete);
    QCOMPARE(next.autoRun, false);
    QCOMPARE(next.showFah, true);
    QCOMPARE(next.language, 1);
    QCOMPARE(readManualPort(ini()), QStringLiteral("/dev/ttyACM3"));

    // The next run writes into what it read: still one group, still complete, others kept.
    const QString second = m_root->filePath(QStringLiteral("second.ini"));
    QVERIFY(QFile::copy(ini(), second));
    rows[RowLanguage].value = 0;
    QVERIFY(writeConfigFile(second, rows));
    const QByteArray text = readFile(second);
    QCOMPARE(text.count("Language="), 1);
    QVERIFY(text.contains("key=value"));
    next = readAsNextRun(second);
    QVERIFY(next.complete);
    QCOMPARE(next.language, 0);
}

void SettingsTest::firstStartWritesDefaultsAndAutostart()
{
    Sysctl c(m_appDir);
    QStringList order;
    connect(&c, &Sysctl::isAutoRunChanged, this, [&] { order << "autorun"; });
    connect(&c, &Sysctl::isShowFahChanged, this, [&] { order << "fah"; });
    connect(&c, &Sysctl::isILanguageChanged, this, [&] { order << "language"; });
    {
        LogCapture log;
        c.confFileSync();
        QCOMPARE(log.lines(), QStringList({"[setIsAutoRun] true", "[setIsShowFah] false",
                                           "[setIndexLanguage] 2"}));
    }
    QCOMPARE(order, QStringList({"autorun", "fah", "language"}));
    QVERIFY(c.getIsAutoRun());
    QVERIFY(!c.getIsShowFah());
    QCOMPARE(c.getILanguage(), 2);
    QCOMPARE(translated(), QStringLiteral("en_US"));

    const StoredSettings next = readAsNextRun(ini());
    QVERIFY(next.complete);
    QVERIFY(next.autoRun && !next.showFah && next.language == 2);
    // Exactly as the README shows it.
    QCOMPARE(readFile(ini()), groupAsWritten(true, false, 2));

    const QByteArray entry = readFile(autostartEntry());
    QVERIFY(entry.startsWith("[Desktop Entry]\n"));
    QCOMPARE(execLine(entry), '"' + QCoreApplication::applicationFilePath().toUtf8() + '"');
}

void SettingsTest::incompleteFileFallsBackCompletely_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("two of three keys") << QByteArray("[%General]\nShow%20Fah=true\nLanguage=1\n");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("one key in the group, two at the top level")
        << QByteArray("[%General]\nShow%20Fah=true\n[General]\nLanguage=1\n");
}

void SettingsTest::incompleteFileFallsBackCompletely()
{
    QFETCH(QByteArray, content);
    QVERIFY(writeFile(ini(), content));
    Sysctl c(m_appDir);
    c.confFileSync();
    QVERIFY(c.getIsAutoRun());
    QVERIFY(!c.getIsShowFah());
    QCOMPARE(c.getILanguage(), 2);
    const StoredSettings next = readAsNextRun(ini());
    QVERIFY(next.complete);
    QVERIFY(next.autoRun && !next.showFah && next.language == 2);
}

// The INI format reads a section written "[General]" in any case as keys outside every group;
// people write it so, and the README once named the group GENERAL.
void SettingsTest::handWrittenSectionsAreRead_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("[GENERAL], plain keys")
        << QByteArray("[GENERAL]\nAuto Run=false\nShow Fah=true\nLanguage=1\n");
    QTest::newRow("[General], escaped keys")
        << QByteArray("[General]\nAuto%20Run=false\nShow%20Fah=true\nLanguage=1\n");
    QTest::newRow("[general] before the port")
        << QByteArray("[general]\nLanguage=1\nShow Fah=1\nAuto Run=0\n\n"
                      "[DEVICE]\nPort=/dev/ttyUSB7\n");
    QTest::newRow("no section") << QByteArray(
        "Auto Run=false\nShow Fah=true\nLanguage=1\n[DEVICE]\nPort=/dev/ttyUSB7\n");
    QTest::newRow("split between the group and the top level")
        << QByteArray("[%General]\nShow%20Fah=true\nLanguage=1\n[GENERAL]\nAuto Run=false\n");
    // The group the program writes wins over a stale copy beside it.
    QTest::newRow("group and a stale copy")
        << QByteArray("[GENERAL]\nAuto Run=true\nLanguage=0\n\n"
                      "[%General]\nAuto%20Run=false\nShow%20Fah=true\nLanguage=1\n");
}

void SettingsTest::handWrittenSectionsAreRead()
{
    QFETCH(QByteArray, content);
    QVERIFY(writeFile(ini(), content));
    {
        Sysctl c(m_appDir);
        c.confFileSync();
        QVERIFY(!c.getIsAutoRun());
        QVERIFY(c.getIsShowFah());
        QCOMPARE(c.getILanguage(), 1);
        QVERIFY(!QFile::exists(autostartEntry()));
        // Complete: left as it is until the next write.
        QCOMPARE(readFile(ini()), content);
        QCOMPARE(readAsNextRun(ini()), (StoredSettings{true, false, true, 1}));
    }
    // The exit write puts the three keys where the program keeps them, and only there.
    const QByteArray written = readFile(ini());
    QVERIFY2(written.contains(groupAsWritten(false, true, 1)), written.constData());
    QCOMPARE(written.count("Language="), 1);
    QVERIFY2(!written.contains("Auto Run") && !written.contains("Show Fah"), written.constData());
    QCOMPARE(readAsNextRun(ini()), (StoredSettings{true, false, true, 1}));
    if (content.contains("[DEVICE]"))
        QCOMPARE(readManualPort(ini()), QStringLiteral("/dev/ttyUSB7"));
}

void SettingsTest::garbageValuesTakeQtConversions()
{
    const QByteArray content = "[%General]\nAuto%20Run=maybe\nShow%20Fah=0\nLanguage=abc\n";
    QVERIFY(writeFile(ini(), content));
    Sysctl c(m_appDir);
    c.confFileSync();
    QVERIFY(c.getIsAutoRun()); // any text but "", "0" and "false" reads as true
    QVERIFY(!c.getIsShowFah());
    QCOMPARE(c.getILanguage(), 0); // no number reads as 0: Simplified Chinese
    QCOMPARE(translated(), QStringLiteral("zh_CN"));
    QCOMPARE(readFile(ini()), content); // complete, so not rewritten
}

void SettingsTest::unknownLanguageKeepsSourceTexts()
{
    QVERIFY(writeFile(ini(), "[%General]\nAuto%20Run=false\nShow%20Fah=false\nLanguage=7\n"));
    Sysctl c(m_appDir);
    QSignalSpy changed(&c, &Sysctl::isILanguageChanged);
    c.confFileSync();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(c.getILanguage(), 2);
    QCOMPARE(translated(), QStringLiteral("catalogue"));
    QCOMPARE(readAsNextRun(ini()).language, 7);
    c.syncConfFile();
    QCOMPARE(readAsNextRun(ini()).language, 2);
}

void SettingsTest::secondStartKeepsValuesWithoutRewriting()
{
    {
        Sysctl first(m_appDir);
        first.confFileSync();
        first.setIsAutoRun(false);
        first.setIsShowFah(true);
        first.setILanguage(1);
        first.syncConfFile();
    }
    // The next start, in a fresh directory so the file is read from disk.
    const QString appDir2 = m_root->filePath(QStringLiteral("app2"));
    QVERIFY(QDir().mkpath(appDir2));
    const QString ini2 = appDir2 + QStringLiteral("/config.ini");
    QVERIFY(QFile::copy(ini(), ini2));
    const QByteArray before = readFile(ini2);
    const QDateTime old = QDateTime::currentDateTimeUtc().addDays(-3);
    {
        QFile f(ini2);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(old, QFileDevice::FileModificationTime));
    }

    Sysctl second(appDir2);
    second.confFileSync();
    QVERIFY(!second.getIsAutoRun());
    QVERIFY(second.getIsShowFah());
    QCOMPARE(second.getILanguage(), 1);
    QCOMPARE(translated(), QStringLiteral("ct_CN"));
    QCOMPARE(readFile(ini2), before);
    QCOMPARE(QFileInfo(ini2).lastModified().toUTC(), old);
    QVERIFY(!QFile::exists(autostartEntry()));
}

void SettingsTest::unwritablePlacesChangeNothing()
{
    // As root no permission bit stops a write; a directory where the file should be does.
    QVERIFY(QDir().mkpath(ini()));
    QVERIFY(writeFile(m_xdg, "not a directory"));
    {
        Sysctl c(m_appDir);
        QSignalSpy changed(&c, &Sysctl::isAutoRunChanged);
        c.confFileSync();
        QCOMPARE(changed.count(), 1);
        QVERIFY(c.getIsAutoRun());
        c.setIsShowFah(true);
        c.syncConfFile();
    }
    QVERIFY(QFileInfo(ini()).isDir());
    QVERIFY(QFileInfo(m_xdg).isFile());
}

void SettingsTest::settersSignalEveryCallAndDoNotPersist()
{
    Sysctl c(m_appDir);
    c.confFileSync();
    const QByteArray saved = readFile(ini());
    QSignalSpy fah(&c, &Sysctl::isShowFahChanged);
    QSignalSpy autoRun(&c, &Sysctl::isAutoRunChanged);
    LogCapture log;
    c.setIsShowFah(false);
    c.setIsShowFah(false);
    c.setIsAutoRun(true);
    c.setIsAutoRun(true);
    QCOMPARE(fah.count(), 2);
    QCOMPARE(autoRun.count(), 2);
    QCOMPARE(log.count(QStringLiteral("[setIsShowFah] false")), 2);
    QCOMPARE(log.count(QStringLiteral("[setIsAutoRun] true")), 2);
    c.setIsShowFah(true);
    QCOMPARE(readFile(ini()), saved);

    // The QML properties write through the same setters.
    QVERIFY(c.setProperty("isShowFah", false));
    QCOMPARE(fah.count(), 4);
    QCOMPARE(c.property("lLanguage").toStringList(),
             QStringList({QStringLiteral("简体中文"), QStringLiteral("繁體中文"),
                          QStringLiteral("English")}));
}

void SettingsTest::autostartFollowsTheSetting()
{
    Sysctl c(m_appDir);
    c.confFileSync();
    QVERIFY(QFile::exists(autostartEntry()));
    c.setIsAutoRun(false);
    QVERIFY(!QFile::exists(autostartEntry()));
    QVERIFY(readAsNextRun(ini()).autoRun); // the file follows only on syncConfFile
    c.syncConfFile();
    QVERIFY(!readAsNextRun(ini()).autoRun);
    c.setIsAutoRun(true);
    QCOMPARE(execLine(readFile(autostartEntry())),
             '"' + QCoreApplication::applicationFilePath().toUtf8() + '"');
}

void SettingsTest::desktopEntryQuotesTheExecutable()
{
    const QString exe =
        m_root->filePath(QStringLiteral("odd $dir \"q\" `b` back\\slash 100%/ZOLVEN"));
    applyAutostart(exe, true);
    const QString entryPath = m_xdg + QStringLiteral("/autostart/ZOLVEN.desktop");
    const QByteArray entry = readFile(entryPath);
    QVERIFY(entry.contains("\nName=ZOLVEN\n"));
    QVERIFY(entry.contains("\nType=Application\n"));
    QCOMPARE(QString::fromUtf8(execLine(entry)),
             '"' + m_root->path() +
                 QStringLiteral(
                     "/odd \\\\$dir \\\\\"q\\\\\" \\\\`b\\\\` back\\\\\\\\slash 100%%/ZOLVEN\""));
    applyAutostart(exe, false);
    QVERIFY(!QFile::exists(entryPath));
    applyAutostart(exe, false); // removing what is not there is no error

    // A relative XDG_CONFIG_HOME is invalid and means ~/.config.
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", m_root->path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", "relative/dir");
    applyAutostart(exe, true);
    qputenv("HOME", home);
    QVERIFY(QFile::exists(m_root->filePath(QStringLiteral(".config/autostart/ZOLVEN.desktop"))));
}

void SettingsTest::exitWriteKeepsFileWhenNeverLoaded()
{
    const QByteArray content = "; hand-made\n[%General]\nAuto%20Run=false\nShow%20Fah=true\n"
                               "Language=1\n";
    QVERIFY(writeFile(ini(), content));
    {
        Sysctl c(m_appDir);
        c.setIsShowFah(false);
        c.syncConfFile();
    }
    QCOMPARE(readFile(ini()), content);

    const QString empty = m_root->filePath(QStringLiteral("empty"));
    QVERIFY(QDir().mkpath(empty));
    {
        Sysctl c(empty);
    }
    QVERIFY(QDir(empty).isEmpty());
    QVERIFY(!QFile::exists(autostartEntry()));
}

void SettingsTest::exitWriteStoresLiveValues()
{
    {
        Sysctl c(m_appDir);
        c.confFileSync();
        c.setIsShowFah(true);
        c.setILanguage(0);
    }
    const StoredSettings next = readAsNextRun(ini());
    QVERIFY(next.showFah);
    QCOMPARE(next.language, 0);
}

QTEST_GUILESS_MAIN(SettingsTest)
#include "tst_settings.moc"
