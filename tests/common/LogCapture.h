#pragma once

#include <QString>
#include <QStringList>

// Collects the debug and info lines written while it lives, from any thread; other messages
// (warnings) still reach the previous handler. One at a time.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    QStringList lines() const;
    QStringList linesStartingWith(const QString& prefix) const;
    int count(const QString& line) const;
    void clear();
};
