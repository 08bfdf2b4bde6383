#include "hwinfoBridge.h"

#include "AsyncReader.h"
#include "Identification.h"
#include "MetricRules.h"
#include "MonitorLibrary.h"

#include <QDebug>
#include <QLoggingCategory>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QThread>

#include <chrono>

using zolven::sensors::Metric;
using zolven::sensors::RuleMode;

namespace {

// Each metric's notify signal, found through its property: the signals are the window's
// interface and stay written out one by one.
const zolven::sensors::MetricArray<QMetaMethod>& notifySignals()
{
    static const auto table = [] {
        zolven::sensors::MetricArray<QMetaMethod> out;
        const QMetaObject& mo = hwinfoBridge::staticMetaObject;
        for (const zolven::sensors::MetricInfo& info : zolven::sensors::kMetrics) {
            out[info.metric] = mo.property(mo.indexOfProperty(info.property)).notifySignal();
            Q_ASSERT(out[info.metric].isValid());
        }
        return out;
    }();
    return table;
}

} // namespace

hwinfoBridge::hwinfoBridge(QObject* parent) : QObject(parent) {}

hwinfoBridge::~hwinfoBridge()
{
    // The worker uses this object and the library: it must be gone before either is.
    stopWorker();
    if (m_library)
        m_library->shutdown();
}

void hwinfoBridge::RunAsync()
{
    if (m_started) {
        qDebug().noquote() << "[RunAsync] Worker already started, call ignored";
        return;
    }
    m_started = true;

    // Thread and reader are deleted by stopWorker: a deferred deletion needs an event loop,
    // and at shutdown none is left to run it.
    auto* thread = new QThread();
    workerThread = thread;
    m_reader = new AsyncReader();
    m_reader->setBridge(this);
    m_reader->moveToThread(thread);
    connect(thread, &QThread::started, m_reader, &AsyncReader::doWork);
    thread->start();
}

void hwinfoBridge::stopWorker()
{
    if (!workerThread)
        return;
    workerThread->requestInterruption();
    // Told to quit while still in doWork: its event loop then ends as soon as it starts.
    workerThread->quit();
    {
        std::unique_lock<std::mutex> lock(m_stopMutex);
        m_stopping = true;
        m_stopWake.notify_all();
        // Also waited for here, not only through QThread::wait: ThreadSanitizer cannot see
        // QtCore's futex-based hand-over and would report every member the worker wrote.
        while (!m_workerDone && workerThread->isRunning())
            m_stopWake.wait_for(lock, std::chrono::milliseconds(50));
    }
    workerThread->wait();
    delete m_reader;
    m_reader = nullptr;
    delete workerThread.data();
}

void hwinfoBridge::pauseAfterPass()
{
    std::unique_lock<std::mutex> lock(m_stopMutex);
    m_stopWake.wait_for(lock, std::chrono::milliseconds(m_refreshIntervalMs),
                        [this] { return m_stopping; });
}

void hwinfoBridge::workerDone()
{
    std::lock_guard<std::mutex> lock(m_stopMutex);
    m_workerDone = true;
    m_stopWake.notify_all();
}

bool hwinfoBridge::getIsGpuAvailable() const
{
    return isGpuAvailable;
}

QString hwinfoBridge::getCpuName_QML() const
{
    std::lock_guard<std::mutex> lock(m_nameMutex);
    return cpuName;
}

QString hwinfoBridge::getGpuName_QML() const
{
    std::lock_guard<std::mutex> lock(m_nameMutex);
    return gpuName;
}

void hwinfoBridge::getAllVariable() const
{
    // Names padded to the longest and a space.
    constexpr int kLabelWidth = 18;
    qDebug().noquote() << "[Current Var]===========|";
    for (const zolven::sensors::MetricInfo& info : zolven::sensors::kMetrics)
        qDebug().noquote() << QStringLiteral("[%1]").arg(QLatin1String(info.property), -kLabelWidth)
                           << metric(info.metric);
}

void hwinfoBridge::RunHwinfo()
{
    m_library = zolven::sensors::loadMonitorLibrary();
    if (!m_library)
        return;

    const qint32 status = m_library->initialize(zolven::abi::kInitializeFlags);
    if (status != 0) {
        qDebug().noquote().nospace() << "[RunHwinfo] INIT FAILED: " << status;
        return;
    }
    qDebug().noquote() << "[RunHwinfo] INIT OK";

    m_library->beginPass();
    readingItems.clear();
    for (qint32 type : zolven::abi::kReadingTypes)
        readingTypes.append(type);
    enumerateReadings(true);
    applyRules(RuleMode::Discovery);

    const QString cpu = zolven::sensors::readCpuBrand();
    const zolven::sensors::GpuChoice gpu = zolven::sensors::findGpuName();
    {
        std::lock_guard<std::mutex> lock(m_nameMutex);
        cpuName = cpu;
        gpuName = gpu.name;
    }
    isGpuAvailable = gpu.discrete;
}

void hwinfoBridge::refreshData()
{
    readingItems.clear();
    // An unusable library is never called; the pass then finds nothing.
    if (m_library)
        enumerateReadings(false);
    applyRules(RuleMode::Refresh);
    qDebug().noquote() << "[Refresh data] Refresh done---------------------------------------";
}

void hwinfoBridge::enumerateReadings(bool dump)
{
    zolven::sensors::enumerateReadings(*m_library, readingTypes, readingItems, dump);
}

void hwinfoBridge::applyRules(RuleMode mode)
{
    zolven::sensors::MetricState state;
    for (const zolven::sensors::MetricInfo& info : zolven::sensors::kMetrics)
        state.values[info.metric] = metric(info.metric);
    state.gpuPresent = isGpuAvailable;
    // Asked each pass: the filter rules may change while the program runs.
    const bool logging = QLoggingCategory::defaultCategory()->isDebugEnabled();
    const zolven::sensors::PassResult pass =
        zolven::sensors::runPass(readingItems, mode, state, logging);

    // Each line goes out as the match is met, each write after its match's line: whoever
    // listens to the log and the signals sees them in the order of the walk.
    int printed = 0;
    const auto printUpTo = [&](int lines) {
        for (; printed < lines; ++printed)
            qDebug().noquote() << pass.log[printed];
    };
    for (int i = 0; i < pass.writes.size(); ++i) {
        if (i == pass.gpuFoundAt)
            isGpuAvailable = true;
        printUpTo(pass.writes[i].logLines);
        writeMetric(pass.writes[i].metric, pass.writes[i].value);
    }
    if (pass.gpuFoundAt >= 0)
        isGpuAvailable = true;
    printUpTo(int(pass.log.size()));
}

void hwinfoBridge::writeMetric(Metric m, qint32 value)
{
    m_metrics[m].store(value);
    notifySignals()[m].invoke(this, Qt::DirectConnection);
}
