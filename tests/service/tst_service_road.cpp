// The service's road and the tray's window, run on the same replay under the same schedule of
// passes and checks: the frames they hand the port, check by check, are the same bytes.
//
// Nothing runs on a clock here. Each side's bridge runs its passes on the test's thread when
// the schedule says so (the window's own bridge is told not to start a worker), the window's
// check timer is stopped and fired by hand, and the road's check is called by hand.

#include "app/Shell.h"
#include "app/Sysctl.h"
#include "device/DeviceLink.h"
#include "sensors/hwinfoBridge.h"
#include "service/Service.h"
#include "service/ServiceOptions.h"
#include "tests/device/TestSupport.h"

#include <QApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

// The window's bridge, without the worker: the test runs its passes.
class SteppedBridge : public hwinfoBridge
{
    Q_OBJECT

public:
    using hwinfoBridge::hwinfoBridge;
    Q_INVOKABLE void RunAsync() { s_current = this; }
    static inline SteppedBridge* s_current = nullptr;
};

// 'p' a refresh pass, 'c' a connection check. Passes between checks, checks between passes,
// the countdown after connecting and a metric change just before a check are all in it.
constexpr char kSchedule[] = "pcccpcpcpppccpcccccpcpcpccpppcpcccpcc";

struct Run
{
    QList<QByteArray> perCheck; // the frame handed over at each check, or nothing
    QByteArray wire;            // what the device received
};

QString writeConfig(const QString& dir, const QString& port, bool fahrenheit)
{
    const QString path = dir + QStringLiteral("/config.ini");
    writeFile(path, QStringLiteral("[%General]\nAuto%20Run=false\nLanguage=2\nShow%20Fah=%1\n\n"
                                   "[DEVICE]\nPort=%2\n")
                        .arg(fahrenheit ? QStringLiteral("true") : QStringLiteral("false"), port)
                        .toUtf8());
    return path;
}

} // namespace

class ServiceRoadTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sameFramesAsTheWindow_data();
    void sameFramesAsTheWindow();

private:
    Run runWindow(bool fahrenheit);
    Run runService(bool fahrenheit);
};

void ServiceRoadTest::initTestCase()
{
    qputenv("ZOLVEN_READINGS", ZOLVEN_CHANGING_READINGS);
    qmlRegisterType<SteppedBridge>("DuvHandler.handler", 1, 0, "DuvHandler");
}

// One schedule step on either side: a pass, and the changes it announced delivered as they
// reach their receiver; or a check, then the port's buffer handed to the device.
template <typename Check>
static Run follow(hwinfoBridge& bridge, Check check, QList<QByteArray>& frames, PtyDevice& device)
{
    Run run;
    bridge.RunHwinfo();
    QCoreApplication::processEvents();
    for (const char step : QByteArray(kSchedule)) {
        if (step == 'p') {
            bridge.refreshData();
            QCoreApplication::processEvents();
            continue;
        }
        frames.clear();
        check();
        QCoreApplication::processEvents();
        run.perCheck.append(frames.isEmpty() ? QByteArray() : frames.constFirst());
        if (frames.size() > 1)
            run.perCheck.append(QByteArrayLiteral("more than one frame in a check"));
    }
    qsizetype total = 0;
    for (const QByteArray& f : std::as_const(run.perCheck))
        total += f.size();
    run.wire = device.takeAtLeast(int(total), 20000);
    return run;
}

Run ServiceRoadTest::runWindow(bool fahrenheit)
{
    QTemporaryDir dir;
    PtyDevice device;
    if (!dir.isValid() || !device.isValid())
        return {};
    writeConfig(dir.path(), device.name(), fahrenheit);

    SteppedBridge::s_current = nullptr;
    zolven::Desktop desktop;
    QQmlApplicationEngine engine;
    auto* controller = new Sysctl(dir.path());
    engine.rootContext()->setContextProperty(QStringLiteral("sys_controller"), controller);
    engine.rootContext()->setContextProperty(QStringLiteral("sys_desktop"), &desktop);
    engine.load(QUrl(QString::fromLatin1(zolven::kMainDocument)));
    QObject* root = engine.rootObjects().value(0);
    auto* timer =
        root ? root->findChild<QObject*>(QStringLiteral("timer_check_connected")) : nullptr;
    if (!timer || !SteppedBridge::s_current) {
        delete controller;
        return {};
    }
    timer->setProperty("running", false);

    QList<QByteArray> frames;
    QObject::connect(controller, &Sysctl::emitSendData,
                     [&frames](const QByteArray& f) { frames.append(f); });
    Run run = follow(
        *SteppedBridge::s_current, [timer] { QMetaObject::invokeMethod(timer, "triggered"); },
        frames, device);
    delete controller;
    return run;
}

Run ServiceRoadTest::runService(bool fahrenheit)
{
    QTemporaryDir dir;
    PtyDevice device;
    if (!dir.isValid() || !device.isValid())
        return {};
    const QString path = writeConfig(dir.path(), device.name(), fahrenheit);

    zolven::Service service(zolven::readServiceSettings(path));
    QList<QByteArray> frames;
    QObject::connect(&service.link(), &zolven::DeviceLink::frameSent,
                     [&frames](const QByteArray& f) { frames.append(f); });
    return follow(
        service.bridge(), [&service] { service.road().check(); }, frames, device);
}

void ServiceRoadTest::sameFramesAsTheWindow_data()
{
    QTest::addColumn<bool>("fahrenheit");
    QTest::newRow("celsius") << false;
    QTest::newRow("fahrenheit") << true;
}

void ServiceRoadTest::sameFramesAsTheWindow()
{
    QFETCH(bool, fahrenheit);
    const Run window = runWindow(fahrenheit);
    const Run service = runService(fahrenheit);

    QVERIFY2(!window.perCheck.isEmpty(), "the window did not load or had no check timer");
    QCOMPARE(service.perCheck.size(), window.perCheck.size());
    int first = -1;
    int distinct = 0;
    for (int i = 0; i < window.perCheck.size(); ++i) {
        QVERIFY2(service.perCheck.at(i) == window.perCheck.at(i),
                 qPrintable(QStringLiteral("check %1: service %2, window %3")
                                .arg(i)
                                .arg(QString::fromLatin1(service.perCheck.at(i).toHex(' ')),
                                     QString::fromLatin1(window.perCheck.at(i).toHex(' ')))));
        if (!window.perCheck.at(i).isEmpty()) {
            if (first < 0)
                first = i;
            if (i == 0 || window.perCheck.at(i) != window.perCheck.at(i - 1))
                ++distinct;
        }
    }
    // The check that connects and the five after it send nothing.
    QCOMPARE(first, 6);
    QVERIFY2(distinct >= 5, "the replay hardly changed the frames; the comparison proves little");
    const auto decoded = zolven::decodeFrame(window.perCheck.at(first));
    QVERIFY(decoded);
    QCOMPARE(decoded->fahrenheit, fahrenheit);
    QCOMPARE(service.wire, window.wire);
    QCOMPARE(window.wire.size(), (window.perCheck.size() - first) * zolven::kFrameSize);
}

int main(int argc, char** argv)
{
    // The tray icon of the window needs the widgets application, as in the program.
    QApplication app(argc, argv);
    ServiceRoadTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_service_road.moc"
