#include "TrayLook.h"

namespace zolven {

QString trayIconSource()
{
    return QStringLiteral("qrc:/logo/logo.png");
}

} // namespace zolven
