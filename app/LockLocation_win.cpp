#include "LockLocation.h"

#include <QStandardPaths>

namespace zolven {

QString lockDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::TempLocation);
}

} // namespace zolven
