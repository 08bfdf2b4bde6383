#pragma once

#include "app/TrayWatch.h"

#include <QObject>
#include <QString>
#include <QUrl>

class QApplication;
class QWindow;

namespace zolven {

// What the window asks of the desktop it runs on: context property "sys_desktop".
class Desktop : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString platformName READ platformName CONSTANT)
    Q_PROPERTY(QString trayIcon READ trayIcon CONSTANT)
    Q_PROPERTY(bool trayIconReady READ trayIconReady NOTIFY trayAppeared)

public:
    explicit Desktop(QObject* parent = nullptr);

    // Qt's name for the window system: "xcb", "wayland", "windows", ...
    QString platformName() const;
    // The tray icon's image for this platform.
    QString trayIcon() const;
    // Asked at each use: a tray can come or go while the program runs.
    Q_INVOKABLE bool trayAvailable() const;
    // The tray icon may be made: false on a Wayland session until a tray host comes.
    bool trayIconReady() const;
    // Hands the move of window to the window system, for as long as the button is held.
    Q_INVOKABLE bool startSystemMove(QWindow* window) const;

signals:
    // A tray came up after the start.
    void trayAppeared();

private:
    TrayWatch m_tray;
};

inline constexpr char kAppName[] = "ZOLVEN";
inline constexpr char kMainDocument[] = "qrc:/ZOLVEN/main.qml";

// Registers the sensor bridge for QML: "DuvHandler" as a meta-type alias and the QML type
// DuvHandler of module "DuvHandler.handler" 1.0.
void registerQmlTypes();

// The lock path: lockDirectory() (the temporary folder on Windows, the user's runtime folder on
// Linux), "/", the application name, ".lock". Empty, with the reason in why, when there is no
// such folder.
QString lockFilePath(QString* why = nullptr);

// Shows, raises and activates window, from minimised too: what the tray's activation does.
void bringUp(QWindow& window);

// Runs the program on an existing application object: single-instance lock, engine,
// controller, main document, event loop and teardown. Returns the process exit code:
// 1 when another instance holds the lock, -1 when the main document fails, else the loop's code.
int runShell(QApplication& app,
             const QUrl& mainDocument = QUrl(QString::fromLatin1(kMainDocument)));

} // namespace zolven
