#pragma once

#include <QString>

namespace zolven {

// The tray icon's image. Where the platform tints a mask icon itself (Windows' notification
// area, template images) the one-colour logo; elsewhere the panel shows the pixels as they are,
// dark or light, so an image that reads on both.
QString trayIconSource();

} // namespace zolven
