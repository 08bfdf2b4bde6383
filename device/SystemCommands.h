#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The two outside programs the controller starts: the CPU-name query and the updater script.
namespace zolven {

struct CommandLine
{
    QString program;
    QStringList arguments;
};

// A command that prints a heading line, then the CPU's name on the next line.
CommandLine cpuNameCommand();

// The line after the heading, trimmed; empty when there is none.
QString parseCpuNameOutput(const QByteArray& output);

// Runs cpuNameCommand() for at most 30 s and parses what it printed.
QString queryCpuName();

// The updater directory: one level above appDir, then "update".
QString updateDirectory(const QString& appDir);

// Starts the script in updateDir detached, with updateDir as its working directory. On Linux
// only when the script, its folder and the folders above can be changed by no one but this
// user and root; otherwise one line says why and nothing starts.
bool startUpdaterScript(const QString& updateDir);

// Starts the updater script when its directory exists.
void runUpdaterIfPresent(const QString& appDir);

} // namespace zolven
