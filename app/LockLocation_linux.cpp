#include "LockLocation.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace zolven {

QString lockDirectory()
{
    // Qt takes XDG_RUNTIME_DIR only when it belongs to this user and is private to it, and
    // otherwise makes a private folder in the temporary one. With no temporary folder that
    // would land in the root directory: then only a runtime folder that exists will do.
    if (QDir::tempPath().isEmpty() && !QFileInfo(qEnvironmentVariable("XDG_RUNTIME_DIR")).isDir())
        return QString();
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

} // namespace zolven
