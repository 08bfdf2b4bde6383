#include "Sysctl.h"

Sysctl::Sysctl(QObject* parent) : QObject(parent) {}

Sysctl::~Sysctl() = default;

void Sysctl::attachEngine(QGuiApplication& app, QQmlApplicationEngine& engine)
{
    m_app = &app;
    m_engine = &engine;
}
