#include "SystemCommands.h"

#include "hardware/CpuInfo.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <sys/stat.h>
#include <unistd.h>

namespace zolven {
namespace {

bool trustedOwner(const struct stat& st)
{
    return st.st_uid == ::geteuid() || st.st_uid == 0;
}

bool othersMayWrite(const struct stat& st)
{
    return (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

// The script runs as this user at every start: whoever may write it, its folder, or a folder
// above (by renaming ours away and putting their own in its place) may run anything as us.
// Only this user and root qualify; a folder above that others may write is safe only with the
// sticky bit (as /tmp), which keeps them from renaming what is not theirs. Empty when trusted.
QString updaterDistrust(const QString& updateDir, const QString& script)
{
    struct stat st
    {};
    // lstat: the script and its folder themselves, never what a link points at.
    const struct
    {
        const QString& path;
        bool folder;
    } own[] = {{script, false}, {updateDir, true}};
    for (const auto& item : own) {
        if (::lstat(QFile::encodeName(item.path).constData(), &st) != 0)
            return item.path + QStringLiteral(" cannot be examined");
        if (S_ISLNK(st.st_mode))
            return item.path + QStringLiteral(" is a symbolic link");
        if (item.folder ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode))
            return item.path + QStringLiteral(" is of the wrong kind");
        if (!trustedOwner(st))
            return item.path + QStringLiteral(" belongs to another user");
        if (othersMayWrite(st))
            return item.path + QStringLiteral(" is writable by others");
    }
    QString above = QFileInfo(updateDir).canonicalPath();
    while (!above.isEmpty()) {
        if (::stat(QFile::encodeName(above).constData(), &st) != 0)
            return above + QStringLiteral(" cannot be examined");
        if (!trustedOwner(st))
            return above + QStringLiteral(" belongs to another user");
        if (othersMayWrite(st) && !(st.st_mode & S_ISVTX))
            return above + QStringLiteral(" is writable by others");
        if (QDir(above).isRoot())
            break;
        above = QFileInfo(above).path();
    }
    return QString();
}

} // namespace

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
    const QString distrust = updaterDistrust(updateDir, script);
    if (!distrust.isEmpty()) {
        // A warning: it shows even where the debug lines are off.
        qWarning().noquote().nospace() << "[Updater] Not started: " << distrust;
        return false;
    }
    return QProcess::startDetached(QStringLiteral("/bin/sh"), {script}, updateDir);
}

} // namespace zolven
