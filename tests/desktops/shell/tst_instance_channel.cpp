#include "app/InstanceChannel.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// The second start's message to the running copy: it arrives, nothing else wakes the window,
// and neither a stale name nor a squatter keeps the running copy from listening.
class TestInstanceChannel : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_dir.isValid()); }
    void wakeReachesTheListener();
    void otherMessagesAreIgnored();
    void nobodyListening();
    void staleOrSquattedNameIsTakenOver();
    void nameSitsBesideTheLock();

private:
    QString name() const { return m_dir.path() + QStringLiteral("/ZOLVEN.wake"); }
    QTemporaryDir m_dir;
};

void TestInstanceChannel::wakeReachesTheListener()
{
    zolven::InstanceChannel channel;
    QVERIFY(channel.listen(name()));
    QSignalSpy woken(&channel, &zolven::InstanceChannel::wakeRequested);
    // The caller blocks; the listener answers from the event loop, as in two processes.
    bool sent = false;
    QTimer::singleShot(0, [&] { sent = zolven::InstanceChannel::wake(name(), 5000); });
    QTRY_COMPARE_WITH_TIMEOUT(woken.count(), 1, 10000);
    QVERIFY(sent);
    // Twice: the first connection was closed properly.
    QVERIFY(zolven::InstanceChannel::wake(name(), 5000));
    QTRY_COMPARE_WITH_TIMEOUT(woken.count(), 2, 10000);
}

void TestInstanceChannel::otherMessagesAreIgnored()
{
    zolven::InstanceChannel channel;
    QVERIFY(channel.listen(name()));
    QSignalSpy woken(&channel, &zolven::InstanceChannel::wakeRequested);
    for (const QByteArray& text : {QByteArray("hello"), QByteArray("sh"), QByteArray(4096, 'x')}) {
        QLocalSocket socket;
        socket.connectToServer(name());
        QVERIFY(socket.waitForConnected(5000));
        socket.write(text);
        socket.waitForBytesWritten(5000);
        socket.disconnectFromServer();
    }
    QTest::qWait(300);
    QCOMPARE(woken.count(), 0);
}

void TestInstanceChannel::nobodyListening()
{
    QVERIFY(!zolven::InstanceChannel::wake(name(), 200));
    QVERIFY(!zolven::InstanceChannel::wake(QString(), 200));
    zolven::InstanceChannel channel;
    QVERIFY(!channel.listen(QString()));
}

void TestInstanceChannel::staleOrSquattedNameIsTakenOver()
{
    // A plain file where the socket goes (what a crash or a squatter leaves).
    {
        QFile file(name());
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    zolven::InstanceChannel first;
    QVERIFY(first.listen(name()));
    // Another listener of the same user on the name: the running copy takes it back.
    QLocalServer squatter;
    QLocalServer::removeServer(name());
    QVERIFY(squatter.listen(name()));
    zolven::InstanceChannel second;
    QVERIFY(second.listen(name()));
    QSignalSpy woken(&second, &zolven::InstanceChannel::wakeRequested);
    QTimer::singleShot(0, [&] { zolven::InstanceChannel::wake(name(), 5000); });
    QTRY_COMPARE_WITH_TIMEOUT(woken.count(), 1, 10000);
}

void TestInstanceChannel::nameSitsBesideTheLock()
{
#ifndef Q_OS_WIN
    qputenv("XDG_RUNTIME_DIR", m_dir.path().toLocal8Bit());
    QCOMPARE(zolven::instanceChannelName(), name());
#endif
}

QTEST_GUILESS_MAIN(TestInstanceChannel)
#include "tst_instance_channel.moc"
