#include "FakeBridge.h"

QString FakeBridge::cpuName;
QString FakeBridge::gpuName;
bool FakeBridge::gpuAvailable = false;
QPointer<FakeBridge> FakeBridge::latest;

FakeBridge::FakeBridge(QObject* parent) : QObject(parent)
{
    latest = this;
}

QString FakeBridge::getCpuName_QML()
{
    ++m_nameReads;
    return cpuName;
}

QString FakeBridge::getGpuName_QML()
{
    return gpuName;
}

bool FakeBridge::getIsGpuAvailable()
{
    return gpuAvailable;
}
