#pragma once

// A fixture machine copied into a temporary directory, so a test may change its files between
// passes. File names in the tree spell ':' as "%3A" (Windows checkouts refuse colons).

#include "monitor/Config.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

class Fixture
{
public:
    explicit Fixture(const QString& profile);

    bool isValid() const { return m_ok; }
    QString root() const { return m_dir.path(); }
    QString path(const QString& relative) const { return root() + QLatin1Char('/') + relative; }

    // Roots of this copy, NVML off, the fixture pci.ids.
    zolven::monitor::MonitorConfig config() const;

    QByteArray read(const QString& relative) const;
    // Rewrites the file in place: the library keeps its descriptors open across passes.
    void write(const QString& relative, const QByteArray& text);
    void remove(const QString& relative);

    // Advances every CPU of proc/stat by busy and idle ticks (and the total line by the sums).
    void advanceStat(quint64 busyPerCpu, quint64 idlePerCpu);
    // The same for any proc/stat file.
    static void advanceStatFile(const QString& path, quint64 busyPerCpu, quint64 idlePerCpu);

    static QString sourceDir();

private:
    QTemporaryDir m_dir;
    bool m_ok = false;
};
