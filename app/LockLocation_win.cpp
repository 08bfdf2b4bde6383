#include "LockLocation.h"

#include <QStandardPaths>

namespace zolven {

QString lockDirectory(QString*)
{
    return QStandardPaths::writableLocation(QStandardPaths::TempLocation);
}

} // namespace zolven
