#include "SystemCommands.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace zolven {

QString parseCpuNameOutput(const QByteArray& output)
{
    const QList<QByteArray> lines = output.split('\n');
    if (lines.size() < 2)
        return QString();
    return QString::fromUtf8(lines.at(1)).trimmed();
}

QString queryCpuName()
{
    const CommandLine cmd = cpuNameCommand();
    QProcess process;
    process.start(cmd.program, cmd.arguments, QIODevice::ReadOnly);
    process.waitForFinished(30000);
    return parseCpuNameOutput(process.readAllStandardOutput());
}

QString updateDirectory(const QString& appDir)
{
    return QDir::cleanPath(appDir + QStringLiteral("/../update"));
}

void runUpdaterIfPresent(const QString& appDir)
{
    const QString dir = updateDirectory(appDir);
    if (QFileInfo(dir).isDir())
        startUpdaterScript(dir);
}

} // namespace zolven
