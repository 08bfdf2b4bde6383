#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

// Stands in for the sensor bridge as the QML type DuvHandler: the test writes its eleven
// metrics (each write notifies, as the real bridge does) and chooses what its getters return.
class FakeBridge : public QObject
{
    Q_OBJECT

#define ZOLVEN_FAKE_METRIC(name)                                                                   \
    Q_PROPERTY(int name MEMBER m_##name WRITE set_##name NOTIFY notify_##name)                     \
public:                                                                                            \
    void set_##name(int v)                                                                         \
    {                                                                                              \
        m_##name = v;                                                                              \
        emit notify_##name();                                                                      \
    }                                                                                              \
    Q_SIGNAL void notify_##name();                                                                 \
                                                                                                   \
private:                                                                                           \
    int m_##name = 0;

    ZOLVEN_FAKE_METRIC(data_cpu_temp)
    ZOLVEN_FAKE_METRIC(data_cpu_usage)
    ZOLVEN_FAKE_METRIC(data_cpu_clock)
    ZOLVEN_FAKE_METRIC(data_cpu_fan)
    ZOLVEN_FAKE_METRIC(data_gpu_clock)
    ZOLVEN_FAKE_METRIC(data_gpu_usage)
    ZOLVEN_FAKE_METRIC(data_gpu_fan)
    ZOLVEN_FAKE_METRIC(data_gpu_ramUsed)
    ZOLVEN_FAKE_METRIC(data_gpu_ramTotal)
    ZOLVEN_FAKE_METRIC(data_gpu_temp)
    ZOLVEN_FAKE_METRIC(data_ram_usage)
#undef ZOLVEN_FAKE_METRIC

    Q_PROPERTY(int runCount MEMBER m_runCount CONSTANT)
    Q_PROPERTY(int nameReads MEMBER m_nameReads CONSTANT)

public:
    explicit FakeBridge(QObject* parent = nullptr);

    Q_INVOKABLE void RunAsync()
    {
        ++m_runCount;
    }
    Q_INVOKABLE QString getCpuName_QML();
    Q_INVOKABLE QString getGpuName_QML();
    Q_INVOKABLE bool getIsGpuAvailable();

    // What the next bridges report, and the latest one created.
    static QString cpuName;
    static QString gpuName;
    static bool gpuAvailable;
    static QPointer<FakeBridge> latest;

private:
    int m_runCount = 0;
    int m_nameReads = 0;
};

// Context property "bridges": the test's handle on the fake bridge the window creates.
class BridgeControl : public QObject
{
    Q_OBJECT
    Q_PROPERTY(FakeBridge* latest READ latest)
    Q_PROPERTY(QString cpuName READ cpuName WRITE setCpuName)
    Q_PROPERTY(QString gpuName READ gpuName WRITE setGpuName)
    Q_PROPERTY(bool gpuAvailable READ gpuAvailable WRITE setGpuAvailable)

public:
    using QObject::QObject;
    FakeBridge* latest() const { return FakeBridge::latest; }
    QString cpuName() const { return FakeBridge::cpuName; }
    void setCpuName(const QString& v) { FakeBridge::cpuName = v; }
    QString gpuName() const { return FakeBridge::gpuName; }
    void setGpuName(const QString& v) { FakeBridge::gpuName = v; }
    bool gpuAvailable() const { return FakeBridge::gpuAvailable; }
    void setGpuAvailable(bool v) { FakeBridge::gpuAvailable = v; }
};
