#include "AsyncReader.h"

#include "hwinfoBridge.h"

#include <QThread>

#include <chrono>

AsyncReader::AsyncReader(QObject* parent) : QObject(parent) {}

void AsyncReader::wake()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_woken = true;
    }
    m_wake.notify_all();
}

void AsyncReader::doWork()
{
    m_bridge->RunHwinfo();
    while (!QThread::currentThread()->isInterruptionRequested()) {
        m_bridge->refreshData();
        pause(m_bridge->refreshInterval());
    }
}

void AsyncReader::pause(int milliseconds)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_wake.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return m_woken; });
}
