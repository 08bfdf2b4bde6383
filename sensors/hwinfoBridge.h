#pragma once

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
enum class Metric;
enum class RuleMode;
} // namespace zolven::sensors

// The one native object through which the window sees the sensors (QML type DuvHandler).
//
// Threads: the object lives on the GUI thread; after RunAsync the worker thread runs RunHwinfo
// and every refreshData, writing the metrics and emitting their notify signals there. Each
// metric is an atomic of its own; the names are set under a lock before the first refresh pass
// emits anything. The item and sample lists belong to whichever thread runs the passes.
class hwinfoBridge : public QObject
{
    Q_OBJECT
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

    int get_data_cpu_temp() const { return data_cpu_temp; }
    void set_data_cpu_temp(int v);
    int get_data_cpu_usage() const { return data_cpu_usage; }
    void set_data_cpu_usage(int v);
    int get_data_cpu_clock() const { return data_cpu_clock; }
    void set_data_cpu_clock(int v);
    int get_data_cpu_fan() const { return data_cpu_fan; }
    void set_data_cpu_fan(int v);
    int get_data_gpu_clock() const { return data_gpu_clock; }
    void set_data_gpu_clock(int v);
    int get_data_gpu_usage() const { return data_gpu_usage; }
    void set_data_gpu_usage(int v);
    int get_data_gpu_fan() const { return data_gpu_fan; }
    void set_data_gpu_fan(int v);
    int get_data_gpu_ramUsed() const { return data_gpu_ramUsed; }
    void set_data_gpu_ramUsed(int v);
    int get_data_gpu_ramTotal() const { return data_gpu_ramTotal; }
    void set_data_gpu_ramTotal(int v);
    int get_data_gpu_temp() const { return data_gpu_temp; }
    void set_data_gpu_temp(int v);
    int get_data_ram_usage() const { return data_ram_usage; }
    void set_data_ram_usage(int v);

    // Worker side: the start-up routine and one refresh pass.
    void RunHwinfo();
    void refreshData();
    void enumerateReadings(bool dump);
    void classifyReadings(zolven::sensors::RuleMode mode);

    // Requests interruption, wakes a pausing worker, quits its thread and waits for it.
    // Idempotent; the destructor calls it.
    void stopWorker();

    // The worker's pause between passes; a stop cuts it short.
    void pauseAfterPass();
    // The worker's last call on this object.
    void workerDone();

    // Pause between refresh passes (1000 ms); tests and the benchmark shorten or lengthen it.
    int refreshInterval() const { return m_refreshIntervalMs; }
    void setRefreshInterval(int milliseconds) { m_refreshIntervalMs = milliseconds; }

    qint32 metric(zolven::sensors::Metric m) const;
    void writeMetric(zolven::sensors::Metric m, qint32 value);

    // Only while no worker runs passes.
    const ReadingItems& items() const { return readingItems; }
    const QVector<qint32>& requestedTypes() const { return readingTypes; }
    bool isLibraryBound() const { return m_library != nullptr; }

private:
    friend class BridgeRuleSink;

    std::atomic<qint32>& slot(zolven::sensors::Metric m);
    void notify(zolven::sensors::Metric m);

    QVector<qint32> readingTypes;
    std::atomic<qint32> data_cpu_temp{0};
    std::atomic<qint32> data_cpu_usage{0};
    std::atomic<qint32> data_cpu_clock{0};
    std::atomic<qint32> data_cpu_fan{0};
    std::atomic<qint32> data_gpu_clock{0};
    std::atomic<qint32> data_gpu_usage{0};
    std::atomic<qint32> data_gpu_fan{0};
    std::atomic<qint32> data_gpu_ramUsed{0};
    std::atomic<qint32> data_gpu_ramTotal{0};
    std::atomic<qint32> data_gpu_temp{0};
    std::atomic<qint32> data_ram_usage{0};
    QVector<qint32> cpuClockSamples;
    QVector<qint32> gpuClockSamples;
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
};
