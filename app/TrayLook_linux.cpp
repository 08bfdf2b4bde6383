#include "TrayLook.h"

namespace zolven {

QString trayIconSource()
{
    return QStringLiteral("qrc:/logo/tray.png");
}

} // namespace zolven
