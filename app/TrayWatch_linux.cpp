#include "TrayWatch.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QDebug>
#include <QGuiApplication>
#include <QSystemTrayIcon>

namespace zolven {
namespace {

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");

// Only a Wayland session needs the bus: X11 docks its XEmbed icon whenever a tray comes, and
// the offscreen and kiosk platforms have no tray to wait for.
bool onWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

// What Qt asks before it makes a D-Bus tray icon: a watcher with a host registered. A plain
// call with a short limit: it runs at every close, and a stuck panel must not stall the window.
bool hostOnBus()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(kWatcher))
        return false;
    QDBusMessage get = QDBusMessage::createMethodCall(
        kWatcher, kWatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << kWatcher << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage reply = bus.call(get, QDBus::Block, 2000);
    return reply.type() == QDBusMessage::ReplyMessage &&
           reply.arguments().value(0).value<QDBusVariant>().variant().toBool();
}

} // namespace

TrayWatch::TrayWatch(QObject* parent) : QObject(parent)
{
    if (!onWayland() || hostOnBus()) {
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
    // Asking Qt fixes its D-Bus decision for the run: on Wayland only the bus is asked.
    return onWayland() ? hostOnBus() : QSystemTrayIcon::isSystemTrayAvailable();
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
