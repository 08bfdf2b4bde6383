#include "LogPolicy.h"

#include <QLoggingCategory>
#include <QString>
#include <QtGlobal>

#include <fcntl.h>
#include <unistd.h>

namespace zolven {
namespace {

bool startedFromTerminal()
{
    if (::isatty(STDERR_FILENO))
        return true;
    // A controlling terminal means a shell started us, even with the output piped on; a
    // desktop's launcher and the autostart have none.
    const int fd = ::open("/dev/tty", O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

} // namespace

void quietLogWithoutTerminal()
{
    if (qEnvironmentVariableIntValue("QT_FORCE_STDERR_LOGGING") ||
        qEnvironmentVariableIntValue("QT_ASSUME_STDERR_HAS_CONSOLE") || startedFromTerminal())
        return;
    // The controller's and the bridge's lines, and the window's console.log.
    QLoggingCategory::setFilterRules(
        QStringLiteral("default.debug=false\nqml.debug=false\njs.debug=false"));
}

} // namespace zolven
