// The refresh worker on its own thread: start, stop, stop while pausing or mid-pass, and the
// values reaching QML bindings on the GUI thread. Built with ThreadSanitizer too.

#include "SensorTestSupport.h"

#include "sensors/hwinfoBridge.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QtTest>

#include <atomic>
#include <memory>

using namespace sensortest;

namespace {
const QString kDone = "[Refresh data] Refresh done---------------------------------------";
}

class SensorWorkerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void startAndStopManyTimes();
    void stopWhilePausingWakesAtOnce();
    void stopDuringPass();
    void secondRunAsyncIsIgnored();
    void namesPublishedBeforeFirstNotify();
    void qmlBindingFollowsWorker();

private:
    TestLibrary m_lib;
};

void SensorWorkerTest::initTestCase()
{
    qmlRegisterType<hwinfoBridge>("DuvHandler.handler", 1, 0, "DuvHandler");
    setAdapters({"Intel(R) UHD Graphics 770", "NVIDIA GeForce RTX 3070"});
    useReadings(fixturePath("intel_nvidia.readings"));
}

void SensorWorkerTest::init()
{
    m_lib.reset();
}

void SensorWorkerTest::startAndStopManyTimes()
{
    LogCapture log;
    for (int round = 0; round < 30; ++round) {
        auto b = std::make_unique<hwinfoBridge>();
        b->setRefreshInterval(2);
        std::atomic<int> temps{0};
        connect(
            b.get(), &hwinfoBridge::notify_data_cpu_temp, b.get(), [&] { ++temps; },
            Qt::DirectConnection);
        b->RunAsync();
        // Stop at different moments: at once, during start-up, after some passes.
        if (round % 3 == 1)
            QTRY_VERIFY(m_lib.calls(590) == round + 1);
        else if (round % 3 == 2)
            QTRY_VERIFY(temps >= 3);
        b.reset();
        // Every bridge that bound the library shut it down, after its worker had stopped.
        QCOMPARE(m_lib.calls(906), m_lib.calls(590));
        QVERIFY(m_lib.trace().endsWith(" X"));
    }
    QCOMPARE(m_lib.calls(590), 30L);
    const long passes = m_lib.calls(883);
    QTest::qWait(20);
    QCOMPARE(m_lib.calls(883), passes); // nothing runs on after its bridge
}

void SensorWorkerTest::stopWhilePausingWakesAtOnce()
{
    LogCapture log;
    auto b = std::make_unique<hwinfoBridge>();
    // A pause nobody would wait out: a stop that does not wake the worker shows at once.
    b->setRefreshInterval(120000);
    b->RunAsync();
    QTRY_COMPARE(log.count(kDone), 1);
    QElapsedTimer timer;
    timer.start();
    b.reset();
    QVERIFY2(timer.elapsed() < 60000, "the stop waited for the pause to end");
    QCOMPARE(m_lib.calls(883), 2L); // discovery and one refresh, no further pass
    QCOMPARE(log.count(kDone), 1);
    QCOMPARE(m_lib.calls(906), 1L);
}

void SensorWorkerTest::stopDuringPass()
{
    QTemporaryDir dir;
    QString text = "@ sensor_delay_ms 40\n";
    for (int s = 0; s < 6; ++s)
        text += QStringLiteral("S %1 11 CPU %1\nR %1 0 1 10 4%1 C CPU Package\n").arg(s);
    useReadingsText(dir, text);

    LogCapture log;
    auto b = std::make_unique<hwinfoBridge>();
    b->setRefreshInterval(1);
    b->RunAsync();
    // Into the first refresh pass, which takes a quarter of a second.
    QTRY_VERIFY(m_lib.trace().contains("S5 C P S0"));
    b.reset();
    // The pass ran to its end before shutdown, and no pass came after it.
    const QString trace = m_lib.trace();
    QVERIFY2(trace.endsWith("C P S0 S1 S2 S3 S4 S5 X"), qPrintable(trace));
    QCOMPARE(log.count(kDone), int(trace.count(QLatin1Char('C'))) - 1);
    useReadings(fixturePath("intel_nvidia.readings"));
}

void SensorWorkerTest::secondRunAsyncIsIgnored()
{
    LogCapture log;
    hwinfoBridge b;
    b.setRefreshInterval(5);
    b.RunAsync();
    b.RunAsync();
    QCOMPARE(log.count("[RunAsync] Worker already started, call ignored"), 1);
    QTRY_VERIFY(log.count(kDone) >= 2);
    b.stopWorker();
    QCOMPARE(m_lib.calls(590), 1L);
    QCOMPARE(b.requestedTypes().size(), 5);
    b.RunAsync(); // also after a stop
    QCOMPARE(log.count("[RunAsync] Worker already started, call ignored"), 2);
}

void SensorWorkerTest::namesPublishedBeforeFirstNotify()
{
    LogCapture quiet;
    hwinfoBridge b;
    b.setRefreshInterval(5);
    std::atomic<bool> first{true};
    std::atomic<bool> onWorker{false};
    QString cpu, gpu;
    bool flag = false;
    connect(
        &b, &hwinfoBridge::notify_data_cpu_temp, &b,
        [&] {
            if (!first.exchange(false))
                return;
            cpu = b.getCpuName_QML();
            gpu = b.getGpuName_QML();
            flag = b.getIsGpuAvailable();
            onWorker = QThread::currentThread() != qApp->thread();
        },
        Qt::DirectConnection);
    b.RunAsync();
    QTRY_VERIFY(!first);
    b.stopWorker();
    QVERIFY(onWorker);
    QCOMPARE(gpu, QStringLiteral("NVIDIA GeForce RTX 3070"));
    QCOMPARE(cpu, b.getCpuName_QML());
    QVERIFY(flag);
}

void SensorWorkerTest::qmlBindingFollowsWorker()
{
    LogCapture quiet;
    QQmlEngine engine;
    QQmlComponent component(&engine);
    component.setData("import DuvHandler.handler 1.0\n"
                      "DuvHandler {\n"
                      "    property int seenTemp: data_gpu_temp\n"
                      "}\n",
                      QUrl());
    std::unique_ptr<QObject> object(component.create());
    QVERIFY2(object, qPrintable(component.errorString()));
    auto* b = qobject_cast<hwinfoBridge*>(object.get());
    QVERIFY(b);
    b->setRefreshInterval(5);
    QMetaObject::invokeMethod(b, "RunAsync");
    QTRY_COMPARE(object->property("seenTemp").toInt(), 67);
    // Destroyed with the worker still running, as at the program's exit.
    object.reset();
    QCOMPARE(m_lib.calls(906), 1L);
}

QTEST_MAIN(SensorWorkerTest)
#include "tst_sensor_worker.moc"
