#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace zolven {

// How a second start reaches the running copy: a local socket beside the lock (Linux: a file in
// the user's private runtime folder; Windows: a pipe named after the user). Only the holder of
// the lock listens, so a name left by a crash or taken by another program of the same user is
// replaced, and a caller never waits long on a listener that does not answer.
QString instanceChannelName();

class InstanceChannel : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Listens on name; false (and logged) when that fails.
    bool listen(const QString& name);
    // Tells the listener on name to bring its window up; false when nobody took the message.
    static bool wake(const QString& name, int timeoutMs = 1000);

signals:
    void wakeRequested();

private:
    QLocalServer* m_server = nullptr;
};

} // namespace zolven
