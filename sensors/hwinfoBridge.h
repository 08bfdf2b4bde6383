#pragma once

#include <QObject>
#include <QString>

// The one native object through which the window sees the sensors (QML type DuvHandler).
// Skeleton: the sensor-acquisition work fills in the start-up routine, the refresh pass and
// the worker.
class hwinfoBridge : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int data_cpu_temp READ data_cpu_temp WRITE setData_cpu_temp NOTIFY notify_data_cpu_temp)

public:
    explicit hwinfoBridge(QObject* parent = nullptr);
    ~hwinfoBridge() override;

    int data_cpu_temp() const { return m_cpuTemp; }
    void setData_cpu_temp(int v)
    {
        m_cpuTemp = v;
        emit notify_data_cpu_temp();
    }

    Q_INVOKABLE void RunAsync() {}

signals:
    void notify_data_cpu_temp();

private:
    int m_cpuTemp = 0;
};
