// Settings and the autostart entry on a nearly full disk: a small tmpfs (see on_tmpfs.sh) filled
// to each edge, with no block left, one page, no inode, and full before the program starts.
// Whatever fails, the old files stay whole and one line says why.

#include "app/Sysctl.h"
#include "settings/Autostart.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace zolven;

namespace {

QStringList g_lines;

void collect(QtMsgType, const QMessageLogContext&, const QString& message)
{
    g_lines << message;
}

QStringList linesStartingWith(const QString& prefix)
{
    QStringList out;
    for (const QString& line : g_lines)
        if (line.startsWith(prefix))
            out << line;
    return out;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush();
}

ino_t inodeOf(const QString& path)
{
    struct stat st
    {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

const QByteArray kUsersIni = "[%General]\nAuto%20Run=false\nLanguage=2\nShow%20Fah=true\n\n"
                             "[DEVICE]\nPort=/dev/ttyUSB7\n";

} // namespace

class FullDiskTest : public QObject
{
    Q_OBJECT

    QString m_fs, m_app, m_xdg;
    QStringList m_fillers;

    QString ini() const { return m_app + "/config.ini"; }
    QString entry() const
    {
        return m_xdg + "/autostart/" +
               QFileInfo(QCoreApplication::applicationFilePath()).fileName() + ".desktop";
    }

    // Fills the file system: "block" leaves no data page, "page" one, "inode" no inode.
    void fill(const QString& edge)
    {
        if (edge == "inode") {
            for (int i = 0;; ++i) {
                const QString path = m_fs + "/inode" + QString::number(i);
                QFile f(path);
                if (!f.open(QIODevice::WriteOnly))
                    break;
                m_fillers << path;
            }
            return;
        }
        const QString path = m_fs + "/filler";
        m_fillers << path;
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray page(4096, 'x');
        while (f.write(page) == page.size()) {
        }
        f.close();
        if (edge == "page")
            QVERIFY(QFile::resize(path, (QFileInfo(path).size() / 4096 - 1) * 4096));
    }

private slots:
    void initTestCase()
    {
        m_fs = qEnvironmentVariable("ZOLVEN_TMPFS");
        if (m_fs.isEmpty())
            QSKIP("run through on_tmpfs.sh, which mounts the small file system");
        qInstallMessageHandler(collect);
    }

    void init()
    {
        m_app = m_fs + "/app";
        m_xdg = m_fs + "/xdg";
        QVERIFY(QDir().mkpath(m_app) && QDir().mkpath(m_xdg + "/autostart"));
        qputenv("XDG_CONFIG_HOME", m_xdg.toLocal8Bit());
        g_lines.clear();
    }

    void cleanup()
    {
        for (const QString& f : std::as_const(m_fillers))
            QFile::remove(f);
        m_fillers.clear();
        QDir(m_app).removeRecursively();
        QDir(m_xdg).removeRecursively();
    }

    void aChangeThatCannotBeSavedLeavesTheOldFile_data()
    {
        QTest::addColumn<QString>("edge");
        QTest::newRow("no block") << "block";
        QTest::newRow("one page") << "page";
        QTest::newRow("no inode") << "inode";
    }

    void aChangeThatCannotBeSavedLeavesTheOldFile()
    {
        QFETCH(QString, edge);
        QVERIFY(writeAll(ini(), kUsersIni));
        Sysctl c(m_app);
        c.confFileSync();
        QVERIFY(!c.getIsAutoRun() && c.getIsShowFah());
        fill(edge);
        g_lines.clear();
        // A change, saved at once and again at exit.
        c.setIsShowFah(false);
        c.syncConfFile();
        QCOMPARE(readAll(ini()), kUsersIni);
        QCOMPARE(linesStartingWith("[syncConfFile] Cannot write").size(), 1);
        // Room again: the next save goes through.
        cleanup();
        QVERIFY(QDir().mkpath(m_app));
        QVERIFY(writeAll(ini(), kUsersIni));
        c.syncConfFile();
        QVERIFY(readAll(ini()).contains("Show%20Fah=false"));
        QVERIFY(readAll(ini()).contains("Port=/dev/ttyUSB7"));
    }

    void theAutostartEntryStaysWholeOrIsLeftAlone_data()
    {
        aChangeThatCannotBeSavedLeavesTheOldFile_data();
    }

    void theAutostartEntryStaysWholeOrIsLeftAlone()
    {
        QFETCH(QString, edge);
        const QString exe = QCoreApplication::applicationFilePath();
        applyAutostart(exe, true);
        const QByteArray current = readAll(entry());
        QVERIFY(current.startsWith("[Desktop Entry]"));
        const ino_t inode = inodeOf(entry());
        fill(edge);
        g_lines.clear();
        // Unchanged: not rewritten at all, so a full disk costs nothing.
        applyAutostart(exe, true);
        QCOMPARE(inodeOf(entry()), inode);
        QVERIFY(g_lines.filter("[Autostart]").isEmpty());
        // Another path (the program moved): the new entry, whole, if it fits (one page is
        // enough for it); else the old one as it was, and one line.
        const QString moved = m_fs + "/elsewhere/" + QFileInfo(exe).fileName();
        applyAutostart(moved, true);
        const QByteArray now = readAll(entry());
        const QByteArray whole =
            QByteArray(current).replace(QFile::encodeName(exe), QFile::encodeName(moved));
        if (edge == "page") {
            QCOMPARE(now, whole);
            QVERIFY(linesStartingWith("[Autostart]").isEmpty());
        } else {
            QCOMPARE(now, current);
            QCOMPARE(linesStartingWith("[Autostart] Cannot write").size(), 1);
        }
    }

    void fullBeforeTheStartChangesNothing()
    {
        // The user's settings and their entry, then a disk filled before the program starts.
        const QByteArray users =
            QByteArray(kUsersIni).replace("Auto%20Run=false", "Auto%20Run=true");
        QVERIFY(writeAll(ini(), users));
        applyAutostart(QCoreApplication::applicationFilePath(), true);
        const QByteArray entryBefore = readAll(entry());
        fill("block");
        g_lines.clear();
        {
            Sysctl c(m_app);
            c.confFileSync();
            QVERIFY(c.getIsAutoRun() && c.getIsShowFah());
        } // the exit write: nothing changed, nothing written
        QCOMPARE(readAll(ini()), users);
        QCOMPARE(readAll(entry()), entryBefore);
        QVERIFY2(g_lines.filter("Cannot write").isEmpty(), qPrintable(g_lines.join('\n')));

        // An incomplete file takes the defaults, which cannot be written: the file stays as it
        // was, for the next start to try again, and one line says so.
        const QByteArray twoKeys = "[%General]\nAuto%20Run=false\nLanguage=1\n";
        cleanup();
        QVERIFY(QDir().mkpath(m_app) && QDir().mkpath(m_xdg));
        QVERIFY(writeAll(ini(), twoKeys));
        fill("block");
        g_lines.clear();
        Sysctl c(m_app);
        c.confFileSync();
        QCOMPARE(readAll(ini()), twoKeys);
        QCOMPARE(linesStartingWith("[syncConfFile] Cannot write").size(), 1);
    }
};

QTEST_GUILESS_MAIN(FullDiskTest)
#include "tst_full_disk.moc"
