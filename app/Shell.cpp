#include "Shell.h"

#include "app/GraphicsSetup.h"
#include "app/InstanceChannel.h"
#include "app/LockLocation.h"
#include "app/Sysctl.h"
#include "app/TrayLook.h"
#include "app/WindowMemory.h"
#include "process/SessionEnd.h"
#include "sensors/hwinfoBridge.h"

#include <QApplication>
#include <QDebug>
#include <QIcon>
#include <QLockFile>
#include <QMessageBox>
#include <QPixmap>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <QStandardPaths>
#include <QWindow>
#include <QtQml>

#include <memory>

namespace zolven {

Desktop::Desktop(QObject* parent) : QObject(parent)
{
    connect(&m_tray, &TrayWatch::appeared, this, &Desktop::trayAppeared);
}

QString Desktop::platformName() const
{
    return QGuiApplication::platformName();
}

QString Desktop::trayIcon() const
{
    return trayIconSource();
}

bool Desktop::trayAvailable() const
{
    return m_tray.available();
}

bool Desktop::trayIconReady() const
{
    return m_tray.iconReady();
}

bool Desktop::startSystemMove(QWindow* window) const
{
    return window && window->startSystemMove();
}

void registerQmlTypes()
{
    qRegisterMetaType<hwinfoBridge*>("DuvHandler");
    qmlRegisterType<hwinfoBridge>("DuvHandler.handler", 1, 0, "DuvHandler");
}

QString lockFilePath(QString* why)
{
    QString name = QCoreApplication::applicationName();
    if (name.isEmpty())
        name = QString::fromLatin1(kAppName);
    const QString dir = lockDirectory(why);
    // No folder (Qt names none that is missing or not the user's own): no path, so the lock
    // fails instead of landing in the root directory.
    if (dir.isEmpty())
        return QString();
    return dir + QLatin1Char('/') + name + QStringLiteral(".lock");
}

void bringUp(QWindow& window)
{
    if (window.visibility() == QWindow::Minimized)
        window.showNormal();
    else
        window.show();
    window.raise();
    window.requestActivate();
}

int runShell(QApplication& app, const QUrl& mainDocument)
{
    QCoreApplication::setApplicationName(QString::fromLatin1(kAppName));
    QGuiApplication::setApplicationDisplayName(QString::fromLatin1(kAppName));
    // The menu entry's name: Wayland compositors and trays find the icon through it.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.zolven.ZOLVEN"));
    quitOnSessionEnd(app);
    // A resource path, not a "qrc:" URL: QIcon reads files and would silently load nothing.
    // Scaled first: the icon keeps its pixmap for the whole run (1.1 MB at the logo's 510 x 560),
    // and no window shows it larger than 256 pixels.
    const QString logoPath = QStringLiteral(":/logo/logo.png");
    const QPixmap logo(logoPath);
    QApplication::setWindowIcon(logo.isNull() ? QIcon(logoPath)
                                              : QIcon(logo.scaled(256, 256, Qt::KeepAspectRatio,
                                                                  Qt::SmoothTransformation)));

    QString noLock;
    const QString lockPath = lockFilePath(&noLock);
    qDebug().noquote().nospace() << "[Lock] Lock file path : " << lockPath;

    auto lock = std::make_unique<QLockFile>(lockPath);
    // Held means a lock file that names its holder; anything else in its place is no copy.
    qint64 holder = 0;
    QString host, holderApp;
    if (!lock->tryLock(0) && (lock->error() != QLockFile::LockFailedError ||
                              !lock->getLockInfo(&holder, &host, &holderApp))) {
        // No other copy holds it: saying so would send the user hunting for one.
        if (noLock.isEmpty())
            noLock = lockPath + QStringLiteral(" cannot be made");
        qWarning().noquote().nospace() << "[Lock] Cannot take the lock: " << noLock;
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Oops"),
                        QStringLiteral("ZOLVEN cannot start: ") + noLock, QMessageBox::Ok);
        box.setDefaultButton(static_cast<QPushButton*>(nullptr));
        box.exec();
        return 1;
    }
    if (!lock->isLocked()) {
        qDebug() << "[LOCK FILE EXIST, EXIT APP]------------------------------------";
        // The user started us to reach the window: the running copy shows it.
        if (InstanceChannel::wake(instanceChannelName()))
            qDebug().noquote() << "[Instance] Asked the running copy to show its window";
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Oops"),
                        QStringLiteral("Another ZOLVEN is already running!"), QMessageBox::Ok);
        box.setDefaultButton(static_cast<QPushButton*>(nullptr));
        box.exec();
        return 1;
    }

    registerQmlTypes();

    // Outlives the engine.
    Desktop desktop;
    auto engine = std::make_unique<QQmlApplicationEngine>();
    auto* controller = new Sysctl();
    engine->rootContext()->setContextProperty(QStringLiteral("sys_controller"), controller);
    engine->rootContext()->setContextProperty(QStringLiteral("sys_desktop"), &desktop);
    controller->attachEngine(app, *engine);

    // Queued, so a document that fails while loading ends the loop only once it has started.
    QObject::connect(
        engine.get(), &QQmlApplicationEngine::objectCreated, &app,
        [mainDocument](QObject* object, const QUrl& url) {
            if (!object && url == mainDocument)
                QCoreApplication::exit(-1);
        },
        Qt::QueuedConnection);
    prepareGraphics();
    engine->load(mainDocument);
    restoreGraphicsEnvironment();
    InstanceChannel channel;
    if (auto* window = qobject_cast<QQuickWindow*>(engine->rootObjects().value(0))) {
        releaseGraphicsWhenHidden(*window);
        QObject::connect(&channel, &InstanceChannel::wakeRequested, window, [window] {
            qDebug().noquote() << "[Instance] Another start asked for the window";
            bringUp(*window);
        });
        channel.listen(instanceChannelName());
    }

    // Released before the loop returns, so a new instance may start while this one still
    // writes its settings.
    QLockFile* lockRaw = lock.get();
    const QMetaObject::Connection unlockAtQuit = QObject::connect(
        &app, &QCoreApplication::aboutToQuit, &app, [lockRaw] { lockRaw->unlock(); },
        Qt::DirectConnection);

    const int code = QApplication::exec();
    // The lock dies with this function; the application may outlive it.
    QObject::disconnect(unlockAtQuit);
    qDebug() << "Application exited with code:" << code;

    delete controller;
    engine.reset();
    lock.reset();
    return code;
}

} // namespace zolven
