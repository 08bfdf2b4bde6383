#pragma once

#include <QString>
#include <QStringList>

// Collects the debug and info lines written while it lives, from any thread; other messages
// (warnings) still reach the previous handler, and warnings are kept apart as well. One at a time.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    QStringList lines() const;
    QStringList linesStartingWith(const QString& prefix) const;
    // Warnings are kept too (and still passed on): lines that must show where debug is off.
    QStringList warningsStartingWith(const QString& prefix) const;
    int count(const QString& line) const;
    void clear();
};
