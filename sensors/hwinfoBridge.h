#pragma once

#include "sensors/Metric.h"
#include "sensors/ReadingItem.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector>

#include <atomic>
#include <condition_variable>
#include <mutex>

class AsyncReader;
class QThread;

namespace zolven::sensors {
struct MonitorEntryPoints;
enum class RuleMode;
} // namespace zolven::sensors

// The one native object through which the window sees the sensors (QML type DuvHandler).
//
// Threads: the object lives on the GUI thread; after RunAsync the worker thread runs RunHwinfo
// and every refreshData, writing the metrics and emitting their notify signals there. Each
// metric is an atomic of its own; the names are set under a lock before the first refresh pass
// emits anything. The item list belongs to whichever thread runs the passes.
class hwinfoBridge : public QObject
{
    Q_OBJECT
    using Metric = zolven::sensors::Metric;

    Q_PROPERTY(int data_cpu_temp READ get_data_cpu_temp WRITE set_data_cpu_temp NOTIFY
                   notify_data_cpu_temp)
    Q_PROPERTY(int data_cpu_usage READ get_data_cpu_usage WRITE set_data_cpu_usage NOTIFY
                   notify_data_cpu_usage)
    Q_PROPERTY(int data_cpu_clock READ get_data_cpu_clock WRITE set_data_cpu_clock NOTIFY
                   notify_data_cpu_clock)
    Q_PROPERTY(
        int data_cpu_fan READ get_data_cpu_fan WRITE set_data_cpu_fan NOTIFY notify_data_cpu_fan)
    Q_PROPERTY(int data_gpu_clock READ get_data_gpu_clock WRITE set_data_gpu_clock NOTIFY
                   notify_data_gpu_clock)
    Q_PROPERTY(int data_gpu_usage READ get_data_gpu_usage WRITE set_data_gpu_usage NOTIFY
                   notify_data_gpu_usage)
    Q_PROPERTY(
        int data_gpu_fan READ get_data_gpu_fan WRITE set_data_gpu_fan NOTIFY notify_data_gpu_fan)
    Q_PROPERTY(int data_gpu_ramUsed READ get_data_gpu_ramUsed WRITE set_data_gpu_ramUsed NOTIFY
                   notify_data_gpu_ramUsed)
    Q_PROPERTY(int data_gpu_ramTotal READ get_data_gpu_ramTotal WRITE set_data_gpu_ramTotal NOTIFY
                   notify_data_gpu_ramTotal)
    Q_PROPERTY(int data_gpu_temp READ get_data_gpu_temp WRITE set_data_gpu_temp NOTIFY
                   notify_data_gpu_temp)
    Q_PROPERTY(int data_ram_usage READ get_data_ram_usage WRITE set_data_ram_usage NOTIFY
                   notify_data_ram_usage)

public:
    explicit hwinfoBridge(QObject* parent = nullptr);
    // Stops the worker and waits for it before the library is shut down.
    ~hwinfoBridge() override;

signals:
    void notify_data_cpu_temp();
    void notify_data_cpu_usage();
    void notify_data_cpu_clock();
    void notify_data_cpu_fan();
    void notify_data_gpu_clock();
    void notify_data_gpu_usage();
    void notify_data_gpu_fan();
    void notify_data_gpu_ramUsed();
    void notify_data_gpu_ramTotal();
    void notify_data_gpu_temp();
    void notify_data_ram_usage();

public:
    // Starts the worker and returns at once; later calls are ignored.
    Q_INVOKABLE void RunAsync();
    Q_INVOKABLE bool getIsGpuAvailable() const;
    Q_INVOKABLE QString getCpuName_QML() const;
    Q_INVOKABLE QString getGpuName_QML() const;
    Q_INVOKABLE void getAllVariable() const;

    // Writes from QML store and notify every time, also when the value is unchanged.
    int get_data_cpu_temp() const { return metric(Metric::CpuTemp); }
    void set_data_cpu_temp(int v) { writeMetric(Metric::CpuTemp, v); }
    int get_data_cpu_usage() const { return metric(Metric::CpuUsage); }
    void set_data_cpu_usage(int v) { writeMetric(Metric::CpuUsage, v); }
    int get_data_cpu_clock() const { return metric(Metric::CpuClock); }
    void set_data_cpu_clock(int v) { writeMetric(Metric::CpuClock, v); }
    int get_data_cpu_fan() const { return metric(Metric::CpuFan); }
    void set_data_cpu_fan(int v) { writeMetric(Metric::CpuFan, v); }
    int get_data_gpu_clock() const { return metric(Metric::GpuClock); }
    void set_data_gpu_clock(int v) { writeMetric(Metric::GpuClock, v); }
    int get_data_gpu_usage() const { return metric(Metric::GpuUsage); }
    void set_data_gpu_usage(int v) { writeMetric(Metric::GpuUsage, v); }
    int get_data_gpu_fan() const { return metric(Metric::GpuFan); }
    void set_data_gpu_fan(int v) { writeMetric(Metric::GpuFan, v); }
    int get_data_gpu_ramUsed() const { return metric(Metric::GpuRamUsed); }
    void set_data_gpu_ramUsed(int v) { writeMetric(Metric::GpuRamUsed, v); }
    int get_data_gpu_ramTotal() const { return metric(Metric::GpuRamTotal); }
    void set_data_gpu_ramTotal(int v) { writeMetric(Metric::GpuRamTotal, v); }
    int get_data_gpu_temp() const { return metric(Metric::GpuTemp); }
    void set_data_gpu_temp(int v) { writeMetric(Metric::GpuTemp, v); }
    int get_data_ram_usage() const { return metric(Metric::RamUsage); }
    void set_data_ram_usage(int v) { writeMetric(Metric::RamUsage, v); }

    // Worker side: the start-up routine and one refresh pass.
    void RunHwinfo();
    void refreshData();
    void enumerateReadings(bool dump);
    // Runs the rules over the items and applies what they found: log lines, metric writes
    // with their notify signals, and the GPU mark, in the order the rules met them.
    void applyRules(zolven::sensors::RuleMode mode);

    // Requests interruption, wakes a pausing worker, quits its thread and waits for it.
    // Idempotent; the destructor calls it.
    void stopWorker();

    // The worker's pause between passes; a stop cuts it short.
    void pauseAfterPass();
    // The worker's last call on this object.
    void workerDone();
    // The worker's start-up routine and each refresh pass count one when done, whatever the
    // library answered: a watchdog tells a worker stuck in a library call by this count.
    void countPass() { m_passes.fetch_add(1, std::memory_order_relaxed); }
    quint64 passes() const { return m_passes.load(std::memory_order_relaxed); }

    // Pause between refresh passes (1000 ms); tests and the benchmark shorten or lengthen it.
    void setRefreshInterval(int milliseconds) { m_refreshIntervalMs = milliseconds; }

    qint32 metric(Metric m) const { return m_metrics[m].load(); }
    // Stores the value and emits the metric's notify signal, changed or not.
    void writeMetric(Metric m, qint32 value);

    // Only while no worker runs passes.
    const ReadingItems& items() const { return readingItems; }
    const QVector<qint32>& requestedTypes() const { return readingTypes; }
    bool isLibraryBound() const { return m_library != nullptr; }

private:
    QVector<qint32> readingTypes;
    zolven::sensors::MetricArray<std::atomic<qint32>> m_metrics;
    ReadingItems readingItems;
    std::atomic<bool> isGpuAvailable{false};
    mutable std::mutex m_nameMutex; // guards cpuName and gpuName
    QString cpuName;
    QString gpuName;
    QPointer<QThread> workerThread;

    AsyncReader* m_reader = nullptr;
    bool m_started = false;
    // The stop signal lives here, not in the reader: the reader is gone once its thread ends,
    // possibly before the stopping thread is done signalling.
    std::mutex m_stopMutex;
    std::condition_variable m_stopWake;
    bool m_stopping = false;
    bool m_workerDone = false;
    const zolven::sensors::MonitorEntryPoints* m_library = nullptr;
    std::atomic<int> m_refreshIntervalMs{1000};
    std::atomic<quint64> m_passes{0};
};
