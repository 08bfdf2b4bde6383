// The shell under faults: a temporary directory that cannot hold the lock, and stop signals from
// the session, also while the refusal box waits.

#include "LogCapture.h"

#include "app/Shell.h"

#include <QApplication>
#include <QDir>
#include <QLockFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>

namespace {

const QUrl kStays(QStringLiteral("qrc:/faults/stays.qml"));
const QString kRefused =
    QStringLiteral("[LOCK FILE EXIST, EXIT APP]------------------------------------");

// The lock's folder: the runtime folder on Linux, the temporary one on Windows.
void useTempDir(const QString& path)
{
    for (const char* var : {"XDG_RUNTIME_DIR", "TMPDIR", "TMP", "TEMP"})
        qputenv(var, QDir::toNativeSeparators(path).toLocal8Bit());
}

// Answers the refusal box from inside its own loop; records what it said.
struct BoxAnswer
{
    QString title, text;
    bool seen = false;

    void arm(bool byButton)
    {
        QTimer::singleShot(0, [this, byButton] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            seen = true;
            title = box->windowTitle();
            text = box->text();
            if (byButton)
                box->button(QMessageBox::Ok)->click();
            else
                ::raise(SIGTERM);
        });
    }
};

} // namespace

class FaultShellTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;

private slots:
    void initTestCase();
    void init();

    void lockCannotBeHeld_data();
    void lockCannotBeHeld();
    void stopSignalQuitsCleanly_data();
    void stopSignalQuitsCleanly();
    void stopSignalDismissesTheRefusal();
};

void FaultShellTest::initTestCase()
{
    QVERIFY(m_tmp.isValid());
}

void FaultShellTest::init()
{
    useTempDir(m_tmp.path());
}

void FaultShellTest::lockCannotBeHeld_data()
{
    QTest::addColumn<QString>("tempDir");
    QTest::addColumn<bool>("named");
    // Each of these stops root as well: no permission bits involved. A temporary directory that
    // does not exist, with no home to fall back to, gives no lock path at all, rather than one in
    // the root directory.
    QTest::newRow("missing") << QStringLiteral("missing/deeper") << false;
    QTest::newRow("under a file") << QStringLiteral("plain-file/sub") << false;
    QTest::newRow("lock path is a directory") << QStringLiteral("held-by-dir") << true;
}

void FaultShellTest::lockCannotBeHeld()
{
    QFETCH(QString, tempDir);
    QFETCH(bool, named);
    QVERIFY(QFile(m_tmp.filePath("plain-file")).open(QIODevice::WriteOnly));
    QVERIFY(QDir().mkpath(m_tmp.filePath("held-by-dir/ZOLVEN.lock")));
    // A runtime folder must be private, or it is not taken at all.
    QVERIFY(QFile::setPermissions(m_tmp.filePath("held-by-dir"),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QString dir = m_tmp.filePath(tempDir);
    useTempDir(dir);
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(m_tmp.filePath("plain-file")));
    qunsetenv("XDG_CACHE_HOME");

    LogCapture log;
    BoxAnswer box;
    box.arm(true);
    const int code = zolven::runShell(*qApp, kStays);
    qputenv("HOME", home);

    // Refused as for a running instance (the box, code 1, nothing started), but the words say
    // what is wrong instead of sending the user after another copy.
    QCOMPARE(code, 1);
    QVERIFY(box.seen);
    QCOMPARE(box.title, QStringLiteral("Oops"));
    QVERIFY2(box.text.startsWith(QStringLiteral("ZOLVEN cannot start: ")), qPrintable(box.text));
    const QString path = named ? QDir(dir).canonicalPath() + "/ZOLVEN.lock" : QString();
    QVERIFY2(box.text.contains(named ? path : QStringLiteral("no home folder")),
             qPrintable(box.text));
    QCOMPARE(log.lines().value(0), "[Lock] Lock file path : " + path);
    QCOMPARE(log.count(kRefused), 0);
    QVERIFY(!log.lines().contains("faults: document created"));
    QVERIFY(log.linesStartingWith("Application exited").isEmpty());
}

void FaultShellTest::stopSignalQuitsCleanly_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM, the session ends") << int(SIGTERM);
    QTest::newRow("SIGINT, Ctrl+C") << int(SIGINT);
    QTest::newRow("SIGHUP, the terminal closes") << int(SIGHUP);
}

void FaultShellTest::stopSignalQuitsCleanly()
{
    QFETCH(int, signal);
    LogCapture log;
    bool lockFreeAtQuit = false;
    // Raised from inside the loop, once the document is there.
    QTimer::singleShot(0, [&] {
        connect(qApp, &QCoreApplication::aboutToQuit, this, [&] {
            QLockFile next(zolven::lockFilePath());
            lockFreeAtQuit = next.tryLock(0);
        });
        ::raise(signal);
    });
    const int code = zolven::runShell(*qApp, kStays);
    disconnect(qApp, &QCoreApplication::aboutToQuit, this, nullptr);

    QCOMPARE(code, 0);
    QVERIFY(log.lines().contains("faults: document created"));
    QCOMPARE(log.count(QStringLiteral("[Quit] Signal %1 received, quitting").arg(signal)), 1);
    QCOMPARE(log.lines().last(), QStringLiteral("Application exited with code: 0"));
    QVERIFY(lockFreeAtQuit);
    QVERIFY(!QFile::exists(zolven::lockFilePath()));
}

void FaultShellTest::stopSignalDismissesTheRefusal()
{
    // Logging out while the refusal box waits for its Ok: the box goes, the code stays 1, and
    // the instance holding the lock is untouched.
    QLockFile other(zolven::lockFilePath());
    QVERIFY(other.tryLock(0));
    LogCapture log;
    BoxAnswer box;
    box.arm(false);
    const int code = zolven::runShell(*qApp, kStays);
    QCOMPARE(code, 1);
    QVERIFY(box.seen);
    QCOMPARE(log.count(QStringLiteral("[Quit] Signal %1 received, quitting").arg(SIGTERM)), 1);
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(other.isLocked());
}

QTEST_MAIN(FaultShellTest)
#include "tst_fault_shell.moc"
