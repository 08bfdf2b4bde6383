#include "app/Shell.h"

#include <QApplication>
#include <QDir>
#include <QLockFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

QStringList g_log;

void captureLog(QtMsgType, const QMessageLogContext&, const QString& message)
{
    g_log << message;
}

const QUrl kQuits(QStringLiteral("qrc:/shelltest/quits.qml"));
const QUrl kBroken(QStringLiteral("qrc:/shelltest/broken.qml"));

} // namespace

class tst_shell : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QtMessageHandler m_previous = nullptr;

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        // The lock lives in the runtime folder (Linux) or the temporary one (Windows): keep it
        // away from any real instance. TMPDIR on POSIX; TMP and TEMP on Windows.
        for (const char* var : {"XDG_RUNTIME_DIR", "TMPDIR", "TMP", "TEMP"})
            qputenv(var, QDir::toNativeSeparators(m_tmp.path()).toLocal8Bit());
    }

    void init()
    {
        g_log.clear();
        m_previous = qInstallMessageHandler(captureLog);
    }

    void cleanup() { qInstallMessageHandler(m_previous); }

    void lockPathIsInTheLockFolder()
    {
        QCoreApplication::setApplicationName(QStringLiteral("ZOLVEN"));
        QCOMPARE(zolven::lockFilePath(), m_tmp.path() + "/ZOLVEN.lock");
    }

    void secondInstanceIsRefused()
    {
        QLockFile other(m_tmp.path() + "/ZOLVEN.lock");
        QVERIFY(other.tryLock(0));

        QString title, text;
        bool hadDefault = true;
        // The box is modal: answer it from inside its own loop.
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            title = box->windowTitle();
            text = box->text();
            hadDefault = box->defaultButton() != nullptr;
            QCOMPARE(box->icon(), QMessageBox::Critical);
            QCOMPARE(box->buttons().size(), 1);
            box->button(QMessageBox::Ok)->click();
        });
        const int code = zolven::runShell(*qApp, kQuits);

        QCOMPARE(code, 1);
        QCOMPARE(title, QStringLiteral("Oops"));
        QCOMPARE(text, QStringLiteral("Another ZOLVEN is already running!"));
        QVERIFY(!hadDefault);
        QCOMPARE(g_log.value(0), "[Lock] Lock file path : " + m_tmp.path() + "/ZOLVEN.lock");
        QCOMPARE(g_log.value(1),
                 QStringLiteral("[LOCK FILE EXIST, EXIT APP]------------------------------------"));
        // No engine: the document never ran, and the loop never did either.
        QVERIFY(!g_log.contains(QStringLiteral("shelltest: document created")));
        QVERIFY(!g_log.filter(QStringLiteral("Application exited")).size());
        QVERIFY(other.isLocked());
    }

    void brokenDocumentEndsTheLoopWithMinusOne()
    {
        bool loopRan = false;
        QTimer::singleShot(0, [&] { loopRan = true; });
        const int code = zolven::runShell(*qApp, kBroken);
        QCOMPARE(code, -1);
        QVERIFY2(loopRan, "the failure must be reported from inside the event loop");
        QVERIFY(g_log.contains(QStringLiteral("Application exited with code: -1")));
    }

    void normalQuitLogsZeroAndFreesTheLock()
    {
        bool freeAtQuit = false;
        // Connected once the loop runs, so after the shell's own quit handler.
        QTimer::singleShot(0, [&] {
            connect(qApp, &QCoreApplication::aboutToQuit, this, [&] {
                QLockFile next(zolven::lockFilePath());
                freeAtQuit = next.tryLock(0);
                if (freeAtQuit)
                    next.unlock();
            });
        });
        const int code = zolven::runShell(*qApp, kQuits);
        disconnect(qApp, &QCoreApplication::aboutToQuit, this, nullptr);

        QCOMPARE(code, 0);
        QVERIFY(g_log.contains(QStringLiteral("shelltest: document created")));
        QCOMPARE(g_log.last(), QStringLiteral("Application exited with code: 0"));
        QVERIFY2(freeAtQuit, "a new instance must be able to start once quitting is announced");
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("ZOLVEN"));
        QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("ZOLVEN"));
        QVERIFY(!QApplication::windowIcon().isNull());
    }

    void runsAgainAfterAQuit()
    {
        // A second run in one process must not trip over the first run's lock or hooks.
        QCOMPARE(zolven::runShell(*qApp, kQuits), 0);
        QCOMPARE(zolven::runShell(*qApp, kQuits), 0);
        QVERIFY(!QFile::exists(zolven::lockFilePath()));
    }
};

QTEST_MAIN(tst_shell)
#include "tst_shell.moc"
