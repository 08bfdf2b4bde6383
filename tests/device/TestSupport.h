#pragma once

#include "LogCapture.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// A pseudo-terminal standing in for the device: the program opens name(), the test reads what
// it wrote from the other end.
class PtyDevice
{
public:
    PtyDevice();
    ~PtyDevice();
    PtyDevice(const PtyDevice&) = delete;
    PtyDevice& operator=(const PtyDevice&) = delete;

    bool isValid() const { return m_master >= 0; }
    QString name() const { return m_name; }
    // Everything written so far and not yet taken.
    QByteArray take();
    // Runs the event loop until at least count bytes have arrived or timeoutMs passed.
    QByteArray takeAtLeast(int count, int timeoutMs = 3000);
    // Unplugging: the program's end of the line starts failing.
    void hangUp();
    // Flow control from the device: while held, nothing the program writes leaves its end.
    void holdLine(bool held);

private:
    void drain();

    int m_master = -1;
    QString m_name;
    QByteArray m_pending;
};

QByteArray readFile(const QString& path);
bool writeFile(const QString& path, const QByteArray& content);

