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

// The three settings as a start reads them from a config.ini.
struct StoredSettings
{
    bool complete = false;
    bool autoRun = false;
    bool showFah = false;
    int language = -1;
    bool operator==(const StoredSettings& o) const
    {
        return complete == o.complete && autoRun == o.autoRun && showFah == o.showFah &&
               language == o.language;
    }
};

// Reads the file as the next run would. QSettings caches files per path inside a process, so
// reading a copy at a new path is what makes this a read from disk.
StoredSettings readAsNextRun(const QString& iniPath);
