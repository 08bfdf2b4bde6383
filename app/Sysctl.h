#pragma once

#include "device/DeviceLink.h"
#include "settings/Language.h"
#include "settings/SettingsFile.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTranslator>

class QGuiApplication;
class QQmlApplicationEngine;
class Transport;

// The system controller the window talks to (context property sys_controller): a face over the
// device link (zolven::DeviceLink), the settings file with autostart, and the interface language.
// The window's one-second timer drives it; it has no timer or thread of its own.
class Sysctl : public QObject
{
    Q_OBJECT
    using Metric = zolven::sensors::Metric;

    Q_PROPERTY(bool isConnected READ getIsConnected NOTIFY isConnectedChanged)
    Q_PROPERTY(bool isShowFah READ getIsShowFah WRITE setIsShowFah NOTIFY isShowFahChanged)
    Q_PROPERTY(bool isAutoRun READ getIsAutoRun WRITE setIsAutoRun NOTIFY isAutoRunChanged)
    Q_PROPERTY(int iLanguage READ getILanguage WRITE setILanguage NOTIFY isILanguageChanged)
    Q_PROPERTY(QStringList lLanguage READ getLLanguage CONSTANT)

public:
    // Settings file and updater are found relative to the application's directory.
    explicit Sysctl(QObject* parent = nullptr);
    // The same with another directory standing in for the application's (tests).
    explicit Sysctl(const QString& appDir, QObject* parent = nullptr);
    ~Sysctl() override;

    void attachEngine(QGuiApplication& app, QQmlApplicationEngine& engine);

    Q_INVOKABLE void setIsShowFah(bool value);
    Q_INVOKABLE void setIsAutoRun(bool value);
    Q_INVOKABLE void setILanguage(int value);
    Q_INVOKABLE bool getIsShowFah() const { return m_link.fahrenheit(); }
    Q_INVOKABLE bool getIsAutoRun() const { return m_isAutoRun; }
    Q_INVOKABLE int getILanguage() const { return m_iLanguage; }
    Q_INVOKABLE QStringList getLLanguage() const;
    Q_INVOKABLE bool getIsConnected() const { return m_link.isConnected(); }

    Q_INVOKABLE void set_send_cpu_temperature(int value)
    {
        m_link.setMetric(Metric::CpuTemp, value);
    }
    Q_INVOKABLE void set_send_cpu_frequency(int value)
    {
        m_link.setMetric(Metric::CpuClock, value);
    }
    Q_INVOKABLE void set_send_cpu_utilization(int value)
    {
        m_link.setMetric(Metric::CpuUsage, value);
    }
    Q_INVOKABLE void set_send_cpu_fan_speed(int value) { m_link.setMetric(Metric::CpuFan, value); }
    Q_INVOKABLE void set_send_gpu_frequency(int value)
    {
        m_link.setMetric(Metric::GpuClock, value);
    }
    Q_INVOKABLE void set_send_gpu_utilization(int value)
    {
        m_link.setMetric(Metric::GpuUsage, value);
    }
    Q_INVOKABLE void set_send_gpu_fan_speed(int value) { m_link.setMetric(Metric::GpuFan, value); }
    Q_INVOKABLE void set_send_gpu_memOcupancy(int value)
    {
        m_link.setMetric(Metric::GpuRamUsed, value);
    }
    Q_INVOKABLE void set_send_gpu_memTotal(int value)
    {
        m_link.setMetric(Metric::GpuRamTotal, value);
    }
    Q_INVOKABLE void set_send_gpu_temperature(int value)
    {
        m_link.setMetric(Metric::GpuTemp, value);
    }
    Q_INVOKABLE void set_send_ram_usage(int value) { m_link.setMetric(Metric::RamUsage, value); }

    Q_INVOKABLE void handlerCheckConnected();
    Q_INVOKABLE QString getCPUName();
    Q_INVOKABLE void syncConfFile();
    Q_INVOKABLE void confFileSync();

    Transport* transport() const { return m_link.transport(); }
    QString configFilePath() const;

signals:
    void isAutoRunChanged();
    void isShowFahChanged();
    void isILanguageChanged();
    void isConnectedChanged();
    void emitSendData(const QByteArray& array);

public slots:
    void slotPortError();

private:
    void applyLanguage(int index);
    void applyAutoRun(bool enable);
    bool readConfigFile();
    void writeConfigFile();
    void enterAppDir() const;

    zolven::DeviceLink m_link;
    bool m_isAutoRun = zolven::kDefaultAutoRun;
    QQmlApplicationEngine* m_engine = nullptr;
    QTranslator m_translator;
    QList<zolven::LanguageEntry> m_languages;
    int m_iLanguage = zolven::kDefaultLanguage;
    QList<zolven::ConfigEntry> m_config;
    // Until the file has been read, the live values are only defaults and must not overwrite it.
    bool m_configLoaded = false;
    QString m_appDir;
    // Chosen once at start, so a run never splits its settings between two files.
    QString m_configPath;
};
