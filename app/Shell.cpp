#include "Shell.h"

#include "app/GraphicsSetup.h"
#include "app/LockLocation.h"
#include "app/Sysctl.h"
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
#include <QSystemTrayIcon>
#include <QWindow>
#include <QtQml>

#include <memory>

namespace zolven {

QString Desktop::platformName() const
{
    return QGuiApplication::platformName();
}

bool Desktop::trayAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
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

QString lockFilePath()
{
    QString name = QCoreApplication::applicationName();
    if (name.isEmpty())
        name = QString::fromLatin1(kAppName);
    const QString dir = lockDirectory();
    // No folder (Qt names none that is missing or not the user's own): no path, so the lock
    // fails instead of landing in the root directory.
    if (dir.isEmpty())
        return QString();
    return dir + QLatin1Char('/') + name + QStringLiteral(".lock");
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

    const QString lockPath = lockFilePath();
    qDebug().noquote().nospace() << "[Lock] Lock file path : " << lockPath;

    auto lock = std::make_unique<QLockFile>(lockPath);
    if (!lock->tryLock(0)) {
        qDebug() << "[LOCK FILE EXIST, EXIT APP]------------------------------------";
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
    if (auto* window = qobject_cast<QQuickWindow*>(engine->rootObjects().value(0)))
        releaseGraphicsWhenHidden(*window);

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
