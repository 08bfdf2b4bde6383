#pragma once

#include "device/Frame.h"

#include <QObject>

class QGuiApplication;
class QQmlApplicationEngine;

// The system controller the window talks to (context property sys_controller).
// Skeleton: the device-link work fills in transport, schedule, settings and language.
class Sysctl : public QObject
{
    Q_OBJECT

public:
    explicit Sysctl(QObject* parent = nullptr);
    ~Sysctl() override;

    void attachEngine(QGuiApplication& app, QQmlApplicationEngine& engine);

private:
    QGuiApplication* m_app = nullptr;
    QQmlApplicationEngine* m_engine = nullptr;
};
