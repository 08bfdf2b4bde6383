#include "TrayWatch.h"

#include <QSystemTrayIcon>

namespace zolven {

TrayWatch::TrayWatch(QObject* parent) : QObject(parent), m_iconReady(true) {}

bool TrayWatch::available() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayWatch::check() {}

} // namespace zolven
