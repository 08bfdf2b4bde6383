#include "SettingsLocation.h"

#include <QStandardPaths>

namespace zolven {

QString userConfigHome()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

} // namespace zolven
