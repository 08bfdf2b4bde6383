#include "SystemCommands.h"

#include "hardware/CpuInfo.h"
#include "userfiles/Trust.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace zolven {
CommandLine cpuNameCommand()
{
    // Same shape as "wmic cpu get Name": a heading, then the name. x86 kernels name the CPU in
    // /proc/cpuinfo; lscpu covers the others. The name goes in as an argument, never as script.
    const std::string name = hardware::readCpuModelName();
    if (!name.empty())
        return {QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"), QStringLiteral("printf 'Name\\n%s\\n' \"$1\""),
                 QStringLiteral("sh"), QString::fromStdString(name)}};
    static const QString script = QStringLiteral(
        "echo Name; "
        "LC_ALL=C lscpu 2>/dev/null | sed -n 's/^Model name:[[:space:]]*//p' | head -n 1");
    return {QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script}};
}

bool startUpdaterScript(const QString& updateDir)
{
    // The shell would start and complain about a missing script; stay as quiet as the Windows
    // start, which fails on its own.
    const QString script = updateDir + QStringLiteral("/run.sh");
    if (!QFileInfo(script).isFile())
        return false;
    // The script runs as this user at every start.
    const QString distrust = QString::fromStdString(
        userfiles::distrust(QFile::encodeName(script).toStdString(), userfiles::Kind::File));
    if (!distrust.isEmpty()) {
        // A warning: it shows even where the debug lines are off.
        qWarning().noquote().nospace() << "[Updater] Not started: " << distrust;
        return false;
    }
    return QProcess::startDetached(QStringLiteral("/bin/sh"), {script}, updateDir);
}

} // namespace zolven
