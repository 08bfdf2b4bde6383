#include "TestSupport.h"

#include "device/Transport.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

using zolven::PortEntry;

class TransportTest : public QObject
{
    Q_OBJECT

private slots:
    void noDeviceFailsSilently();
    void picksPortByIdentifiers_data();
    void picksPortByIdentifiers();
    void manualPortReplacesSearch();
    void refusedPortSaidOnce();
    void portErrorsBecomeEmitError();
    void closedPortDropsFrames();
};

void TransportTest::noDeviceFailsSilently()
{
    Transport transport(nullptr);
    transport.setPortLister([] {
        return QList<PortEntry>{{QStringLiteral("ttyS0"), 0, 0},
                                {QStringLiteral("/dev/null-ish"), 0x1F3A, 0x0009},
                                {QStringLiteral("/dev/null-ish"), 0x1A86, 0x0008}};
    });
    QSignalSpy errors(&transport, &Transport::emitError);
    LogCapture log;
    QVERIFY(!transport.connectDevice());
    QVERIFY(!transport.connectDevice());
    QVERIFY(!transport.isOpen());
    QCOMPARE(log.lines(), QStringList());
    QCOMPARE(errors.count(), 0);
}

// Which of two pseudo-terminals gets opened, given the identifiers each one reports.
void TransportTest::picksPortByIdentifiers_data()
{
    QTest::addColumn<quint16>("vidA");
    QTest::addColumn<quint16>("pidA");
    QTest::addColumn<quint16>("vidB");
    QTest::addColumn<quint16>("pidB");
    QTest::addColumn<int>("expected"); // 0 = A, 1 = B

    QTest::newRow("second pair only")
        << quint16(0x1234) << quint16(1) << quint16(0x1A86) << quint16(0x5D3B) << 1;
    QTest::newRow("first pair beats second pair listed earlier")
        << quint16(0x1A86) << quint16(0x5D3B) << quint16(0x1F3A) << quint16(0x0008) << 1;
    QTest::newRow("same pair twice: first listed")
        << quint16(0x1F3A) << quint16(0x0008) << quint16(0x1F3A) << quint16(0x0008) << 0;
}

void TransportTest::picksPortByIdentifiers()
{
    QFETCH(quint16, vidA);
    QFETCH(quint16, pidA);
    QFETCH(quint16, vidB);
    QFETCH(quint16, pidB);
    QFETCH(int, expected);

    PtyDevice a, b;
    QVERIFY(a.isValid() && b.isValid());
    Transport transport(nullptr);
    const QList<PortEntry> ports{{a.name(), vidA, pidA}, {b.name(), vidB, pidB}};
    transport.setPortLister([ports] { return ports; });

    LogCapture log;
    QVERIFY(transport.connectDevice());
    QVERIFY(transport.isOpen());
    QCOMPARE(log.count(QStringLiteral("open ok")), 1);

    transport.slotSendData("probe");
    PtyDevice& chosen = expected == 0 ? a : b;
    PtyDevice& other = expected == 0 ? b : a;
    QCOMPARE(chosen.takeAtLeast(5), QByteArray("probe"));
    QCOMPARE(other.take(), QByteArray());
}

void TransportTest::manualPortReplacesSearch()
{
    PtyDevice device;
    QVERIFY(device.isValid());
    Transport transport(nullptr);
    // A device with the right identifiers exists, but the manual port wins.
    PtyDevice decoy;
    const QList<PortEntry> ports{{decoy.name(), 0x1F3A, 0x0008}};
    transport.setPortLister([ports] { return ports; });
    transport.setManualPort(device.name());
    QVERIFY(transport.connectDevice());
    transport.slotSendData("x");
    QCOMPARE(device.takeAtLeast(1), QByteArray("x"));
    QCOMPARE(decoy.take(), QByteArray());

    QSignalSpy errors(&transport, &Transport::emitError);
    LogCapture log;
    transport.setManualPort(QStringLiteral("/nonexistent/ttyZOLVEN"));
    QVERIFY(!transport.connectDevice());
    QVERIFY(!transport.isOpen());
    QCOMPARE(log.lines(), QStringList{QStringLiteral("open error")});
    QVERIFY(errors.count() >= 1);
}

// A port another program holds is tried at every check: "open error" once, again only after
// a port opened or for another port.
void TransportTest::refusedPortSaidOnce()
{
    PtyDevice device;
    QVERIFY(device.isValid());
    Transport transport(nullptr);
    const QString missing = QStringLiteral("/nonexistent/ttyZOLVEN");
    LogCapture log;
    transport.setManualPort(missing);
    for (int check = 0; check < 5; ++check)
        QVERIFY(!transport.connectDevice());
    QCOMPARE(log.lines(), QStringList{QStringLiteral("open error")});

    transport.setManualPort(missing + QStringLiteral("2"));
    QVERIFY(!transport.connectDevice());
    QVERIFY(!transport.connectDevice());
    QCOMPARE(log.count(QStringLiteral("open error")), 2);

    transport.setManualPort(device.name());
    QVERIFY(transport.connectDevice());
    transport.closePort();
    transport.setManualPort(missing);
    QVERIFY(!transport.connectDevice());
    QCOMPARE(log.lines(), (QStringList{QStringLiteral("open error"), QStringLiteral("open error"),
                                       QStringLiteral("open ok"), QStringLiteral("open error")}));
}

void TransportTest::portErrorsBecomeEmitError()
{
    PtyDevice device;
    QVERIFY(device.isValid());
    Transport transport(nullptr);
    transport.setManualPort(device.name());
    QVERIFY(transport.connectDevice());
    auto* port = transport.findChild<QSerialPort*>();
    QVERIFY(port);

    QSignalSpy errors(&transport, &Transport::emitError);
    emit port->errorOccurred(QSerialPort::NoError);
    QCOMPARE(errors.count(), 0);
    emit port->errorOccurred(QSerialPort::WriteError);
    QCOMPARE(errors.count(), 1);
    emit port->errorOccurred(QSerialPort::ResourceError);
    QCOMPARE(errors.count(), 2);

    // A real one: the device goes away while the port is open.
    errors.clear();
    device.hangUp();
    QVERIFY(errors.wait(3000));
}

void TransportTest::closedPortDropsFrames()
{
    PtyDevice device;
    QVERIFY(device.isValid());
    Transport transport(nullptr);
    transport.setManualPort(device.name());
    QSignalSpy errors(&transport, &Transport::emitError);
    transport.slotSendData("before");
    QVERIFY(transport.connectDevice());
    transport.closePort();
    QVERIFY(!transport.isOpen());
    transport.slotSendData("after");
    QTest::qWait(50);
    QCOMPARE(device.take(), QByteArray());
    QCOMPARE(errors.count(), 0);
}

QTEST_GUILESS_MAIN(TransportTest)
#include "tst_transport.moc"
