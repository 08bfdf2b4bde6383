#pragma once

#include <QString>
#include <QUrl>

class QApplication;

namespace zolven {

inline constexpr char kAppName[] = "ZOLVEN";
inline constexpr char kMainDocument[] = "qrc:/ZOLVEN/main.qml";

// Registers the sensor bridge for QML: "DuvHandler" as a meta-type alias and the QML type
// DuvHandler of module "DuvHandler.handler" 1.0.
void registerQmlTypes();

// The lock path: lockDirectory() (the temporary folder on Windows, the user's runtime folder on
// Linux), "/", the application name, ".lock". Empty when there is no such folder.
QString lockFilePath();

// Runs the program on an existing application object: single-instance lock, engine,
// controller, main document, event loop and teardown. Returns the process exit code:
// 1 when another instance holds the lock, -1 when the main document fails, else the loop's code.
int runShell(QApplication& app,
             const QUrl& mainDocument = QUrl(QString::fromLatin1(kMainDocument)));

} // namespace zolven
