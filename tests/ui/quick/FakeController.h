#pragma once

#include <QObject>
#include <QStringList>
#include <QTranslator>
#include <QVariantList>

class QQmlEngine;

// Stands in for the controller the window talks to (context property sys_controller). Every
// call is recorded as "name(argument)"; the settings behave like the real ones, and a language
// switch installs the real catalogue and retranslates the engine.
class FakeController : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isConnected READ isConnected NOTIFY isConnectedChanged)
    Q_PROPERTY(bool isShowFah READ isShowFah WRITE setIsShowFah NOTIFY isShowFahChanged)
    Q_PROPERTY(bool isAutoRun READ isAutoRun WRITE setIsAutoRun NOTIFY isAutoRunChanged)
    Q_PROPERTY(int iLanguage READ iLanguage WRITE setILanguage NOTIFY isILanguageChanged)
    Q_PROPERTY(QStringList calls READ calls NOTIFY callsChanged)

public:
    explicit FakeController(QQmlEngine* engine, QObject* parent = nullptr);

    bool isConnected() const { return m_connected; }
    bool isShowFah() const { return m_showFah; }
    bool isAutoRun() const { return m_autoRun; }
    int iLanguage() const { return m_language; }
    QStringList calls() const { return m_calls; }

    Q_INVOKABLE void setIsShowFah(bool value);
    Q_INVOKABLE void setIsAutoRun(bool value);
    Q_INVOKABLE void setILanguage(int value);
    Q_INVOKABLE void confFileSync();
    Q_INVOKABLE void syncConfFile();
    Q_INVOKABLE void handlerCheckConnected();

    Q_INVOKABLE void set_send_cpu_temperature(int v) { record("set_send_cpu_temperature", v); }
    Q_INVOKABLE void set_send_cpu_frequency(int v) { record("set_send_cpu_frequency", v); }
    Q_INVOKABLE void set_send_cpu_utilization(int v) { record("set_send_cpu_utilization", v); }
    Q_INVOKABLE void set_send_cpu_fan_speed(int v) { record("set_send_cpu_fan_speed", v); }
    Q_INVOKABLE void set_send_gpu_frequency(int v) { record("set_send_gpu_frequency", v); }
    Q_INVOKABLE void set_send_gpu_utilization(int v) { record("set_send_gpu_utilization", v); }
    Q_INVOKABLE void set_send_gpu_fan_speed(int v) { record("set_send_gpu_fan_speed", v); }
    Q_INVOKABLE void set_send_gpu_memOcupancy(int v) { record("set_send_gpu_memOcupancy", v); }
    Q_INVOKABLE void set_send_gpu_memTotal(int v) { record("set_send_gpu_memTotal", v); }
    Q_INVOKABLE void set_send_gpu_temperature(int v) { record("set_send_gpu_temperature", v); }
    Q_INVOKABLE void set_send_ram_usage(int v) { record("set_send_ram_usage", v); }

    // Test controls, not part of the real controller.
    Q_INVOKABLE void reset(bool autoRun, bool showFah, int language);
    Q_INVOKABLE void setConnected(bool value) { m_connected = value; }
    Q_INVOKABLE void clearCalls();
    // The arguments of every recorded call to name, in order.
    Q_INVOKABLE QVariantList argsOf(const QString& name) const;
    // The recorded call names, ignoring the connection poll.
    Q_INVOKABLE QStringList callNames() const;

signals:
    void isConnectedChanged();
    void isShowFahChanged();
    void isAutoRunChanged();
    void isILanguageChanged();
    void callsChanged();

private:
    void record(const char* name, const QVariant& arg = {});
    bool loadLanguage(int index);

    QQmlEngine* m_engine;
    QTranslator m_translator;
    QStringList m_calls;
    bool m_connected = false;
    bool m_showFah = false;
    bool m_autoRun = false;
    int m_language = 2;
    // What confFileSync "reads from the file".
    bool m_storedAutoRun = false;
    bool m_storedShowFah = false;
    int m_storedLanguage = 2;
};
