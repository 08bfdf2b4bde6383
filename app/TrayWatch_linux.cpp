#include "TrayWatch.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusServiceWatcher>
#include <QDebug>
#include <QGuiApplication>
#include <QSystemTrayIcon>

namespace zolven {
namespace {

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");

bool onX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

// What Qt asks before it makes a D-Bus tray icon: a watcher with a host registered.
bool hostOnBus()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(kWatcher))
        return false;
    QDBusInterface watcher(kWatcher, kWatcherPath, kWatcher, bus);
    return watcher.isValid() && watcher.property("IsStatusNotifierHostRegistered").toBool();
}

} // namespace

TrayWatch::TrayWatch(QObject* parent) : QObject(parent)
{
    // X11: Qt's XEmbed icon docks into a tray whenever one comes.
    if (onX11() || hostOnBus()) {
        m_iconReady = true;
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    auto* services =
        new QDBusServiceWatcher(kWatcher, bus, QDBusServiceWatcher::WatchForRegistration, this);
    connect(services, &QDBusServiceWatcher::serviceRegistered, this, &TrayWatch::check);
    // The host registers with the watcher just after the watcher takes its name.
    bus.connect(QString(), kWatcherPath, kWatcher, QStringLiteral("StatusNotifierHostRegistered"),
                this, SLOT(check()));
}

bool TrayWatch::available() const
{
    // Asking Qt fixes its D-Bus decision: on X11 that was made at start anyway.
    return onX11() ? QSystemTrayIcon::isSystemTrayAvailable() : hostOnBus();
}

void TrayWatch::check()
{
    if (m_iconReady || !hostOnBus())
        return;
    m_iconReady = true;
    qDebug().noquote() << "[Tray] A tray came up: making the icon";
    emit appeared();
}

} // namespace zolven
