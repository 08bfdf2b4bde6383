#include "AsyncReader.h"

#include "hwinfoBridge.h"

#include <QThread>

AsyncReader::AsyncReader(QObject* parent) : QObject(parent) {}

void AsyncReader::doWork()
{
    m_bridge->RunHwinfo();
    m_bridge->countPass();
    while (!QThread::currentThread()->isInterruptionRequested()) {
        m_bridge->refreshData();
        m_bridge->countPass();
        m_bridge->pauseAfterPass();
    }
    m_bridge->workerDone();
}
