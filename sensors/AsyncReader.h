#pragma once

#include <QObject>

#include <condition_variable>
#include <mutex>

class hwinfoBridge;

// Runs on the sensor worker thread: the bridge's start-up routine once, then a refresh pass
// and a pause, until interruption is requested on the thread.
class AsyncReader : public QObject
{
    Q_OBJECT

public:
    explicit AsyncReader(QObject* parent = nullptr);

    void setBridge(hwinfoBridge* bridge) { m_bridge = bridge; }

    // Cuts the current pause short, and every later one. Callable from any thread; the owner
    // requests interruption first, so the loop ends instead of starting another pass.
    void wake();

public slots:
    void doWork();

private:
    void pause(int milliseconds);

    hwinfoBridge* m_bridge = nullptr;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_woken = false;
};
