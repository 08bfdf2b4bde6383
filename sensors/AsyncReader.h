#pragma once

#include <QObject>

class hwinfoBridge;

// Runs on the sensor worker thread: the bridge's start-up routine once, then a refresh pass
// and a pause, until interruption is requested on the thread.
class AsyncReader : public QObject
{
    Q_OBJECT

public:
    explicit AsyncReader(QObject* parent = nullptr);

    void setBridge(hwinfoBridge* bridge) { m_bridge = bridge; }

public slots:
    void doWork();

private:
    hwinfoBridge* m_bridge = nullptr;
};
