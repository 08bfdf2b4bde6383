#include "SystemCommands.h"

#include <QDir>
#include <QProcess>

namespace zolven {

CommandLine cpuNameCommand()
{
    return {QStringLiteral("wmic"),
            {QStringLiteral("cpu"), QStringLiteral("get"), QStringLiteral("Name")}};
}

bool startUpdaterScript(const QString& updateDir)
{
    const QString script = QDir::toNativeSeparators(updateDir + QStringLiteral("/run.bat"));
    return QProcess::startDetached(script, {}, QDir::toNativeSeparators(updateDir));
}

} // namespace zolven
