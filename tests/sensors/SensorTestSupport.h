#pragma once

// Shared by the sensor tests: log capture, the test library's call counters, fixtures.

#include "LogCapture.h"

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

class QTemporaryDir;

namespace sensortest {

using ::LogCapture;

// The test library loaded as config.dat beside the test executable.
struct TestLibrary
{
    long calls(int which) const; // 590, 906, 883, 106; 0 = readReading out of turn
    QString trace() const;
    int lastFlags() const;
    void reset() const;
};

QString fixturePath(const QString& name);

// Names the readings file the test library loads at its next initialise.
void useReadings(const QString& path);

// Writes text as a readings file in dir and names it for the test library.
QString useReadingsText(const QTemporaryDir& dir, const QString& text);

// Display adapters the identification sees, instead of this machine's.
void setAdapters(const std::vector<std::string>& names);

} // namespace sensortest
