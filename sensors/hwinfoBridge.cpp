#include "hwinfoBridge.h"

#include "AsyncReader.h"
#include "Identification.h"
#include "MetricRules.h"
#include "MonitorLibrary.h"

#include <QDebug>
#include <QThread>

#include <chrono>

using zolven::sensors::Metric;
using zolven::sensors::RuleMode;

// Lets the rules write into the bridge without the bridge growing virtual functions.
class BridgeRuleSink final : public zolven::sensors::RuleSink
{
public:
    explicit BridgeRuleSink(hwinfoBridge& bridge) : m_bridge(bridge) {}

    qint32 metric(Metric m) const override { return m_bridge.metric(m); }
    void writeMetric(Metric m, qint32 value) override { m_bridge.writeMetric(m, value); }
    void appendCpuClockSample(qint32 value) override { m_bridge.cpuClockSamples.append(value); }
    void appendGpuClockSample(qint32 value) override { m_bridge.gpuClockSamples.append(value); }
    bool isGpuAvailable() const override { return m_bridge.isGpuAvailable; }
    void markGpuAvailable() override { m_bridge.isGpuAvailable = true; }

private:
    hwinfoBridge& m_bridge;
};

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
    static const char* const labels[zolven::sensors::kMetricCount] = {
        "[data_cpu_temp     ]", "[data_cpu_usage    ]", "[data_cpu_clock    ]",
        "[data_cpu_fan      ]", "[data_gpu_clock    ]", "[data_gpu_usage    ]",
        "[data_gpu_fan      ]", "[data_gpu_ramUsed  ]", "[data_gpu_ramTotal ]",
        "[data_gpu_temp     ]", "[data_ram_usage    ]"};
    qDebug().noquote() << "[Current Var]===========|";
    for (int i = 0; i < zolven::sensors::kMetricCount; ++i)
        qDebug().noquote() << labels[i] << metric(static_cast<Metric>(i));
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
    classifyReadings(RuleMode::Discovery);

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
    cpuClockSamples.clear();
    gpuClockSamples.clear();
    readingItems.clear();
    // An unusable library is never called; the pass then finds nothing.
    if (m_library)
        enumerateReadings(false);
    classifyReadings(RuleMode::Refresh);

    if (!cpuClockSamples.isEmpty())
        writeMetric(Metric::CpuClock, zolven::sensors::averageSamples(cpuClockSamples));
    if (!gpuClockSamples.isEmpty())
        writeMetric(Metric::GpuClock, zolven::sensors::averageSamples(gpuClockSamples));
    qDebug().noquote() << "[Refresh data] Refresh done---------------------------------------";
}

void hwinfoBridge::enumerateReadings(bool dump)
{
    zolven::sensors::enumerateReadings(*m_library, readingTypes, readingItems, dump);
}

void hwinfoBridge::classifyReadings(RuleMode mode)
{
    BridgeRuleSink sink(*this);
    zolven::sensors::classifyReadings(readingItems, mode, sink);
}

std::atomic<qint32>& hwinfoBridge::slot(Metric m)
{
    switch (m) {
    case Metric::CpuTemp:
        return data_cpu_temp;
    case Metric::CpuUsage:
        return data_cpu_usage;
    case Metric::CpuClock:
        return data_cpu_clock;
    case Metric::CpuFan:
        return data_cpu_fan;
    case Metric::GpuClock:
        return data_gpu_clock;
    case Metric::GpuUsage:
        return data_gpu_usage;
    case Metric::GpuFan:
        return data_gpu_fan;
    case Metric::GpuRamUsed:
        return data_gpu_ramUsed;
    case Metric::GpuRamTotal:
        return data_gpu_ramTotal;
    case Metric::GpuTemp:
        return data_gpu_temp;
    case Metric::RamUsage:
        break;
    }
    return data_ram_usage;
}

qint32 hwinfoBridge::metric(Metric m) const
{
    return const_cast<hwinfoBridge*>(this)->slot(m).load();
}

void hwinfoBridge::notify(Metric m)
{
    switch (m) {
    case Metric::CpuTemp:
        emit notify_data_cpu_temp();
        break;
    case Metric::CpuUsage:
        emit notify_data_cpu_usage();
        break;
    case Metric::CpuClock:
        emit notify_data_cpu_clock();
        break;
    case Metric::CpuFan:
        emit notify_data_cpu_fan();
        break;
    case Metric::GpuClock:
        emit notify_data_gpu_clock();
        break;
    case Metric::GpuUsage:
        emit notify_data_gpu_usage();
        break;
    case Metric::GpuFan:
        emit notify_data_gpu_fan();
        break;
    case Metric::GpuRamUsed:
        emit notify_data_gpu_ramUsed();
        break;
    case Metric::GpuRamTotal:
        emit notify_data_gpu_ramTotal();
        break;
    case Metric::GpuTemp:
        emit notify_data_gpu_temp();
        break;
    case Metric::RamUsage:
        emit notify_data_ram_usage();
        break;
    }
}

void hwinfoBridge::writeMetric(Metric m, qint32 value)
{
    slot(m).store(value);
    notify(m);
}

// Writes from QML store and notify every time, also when the value is unchanged.
void hwinfoBridge::set_data_cpu_temp(int v)
{
    writeMetric(Metric::CpuTemp, v);
}
void hwinfoBridge::set_data_cpu_usage(int v)
{
    writeMetric(Metric::CpuUsage, v);
}
void hwinfoBridge::set_data_cpu_clock(int v)
{
    writeMetric(Metric::CpuClock, v);
}
void hwinfoBridge::set_data_cpu_fan(int v)
{
    writeMetric(Metric::CpuFan, v);
}
void hwinfoBridge::set_data_gpu_clock(int v)
{
    writeMetric(Metric::GpuClock, v);
}
void hwinfoBridge::set_data_gpu_usage(int v)
{
    writeMetric(Metric::GpuUsage, v);
}
void hwinfoBridge::set_data_gpu_fan(int v)
{
    writeMetric(Metric::GpuFan, v);
}
void hwinfoBridge::set_data_gpu_ramUsed(int v)
{
    writeMetric(Metric::GpuRamUsed, v);
}
void hwinfoBridge::set_data_gpu_ramTotal(int v)
{
    writeMetric(Metric::GpuRamTotal, v);
}
void hwinfoBridge::set_data_gpu_temp(int v)
{
    writeMetric(Metric::GpuTemp, v);
}
void hwinfoBridge::set_data_ram_usage(int v)
{
    writeMetric(Metric::RamUsage, v);
}
