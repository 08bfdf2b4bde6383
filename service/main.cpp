// zolvend: the display fed by a service, with no window and no session.

#include "process/SessionEnd.h"
#include "service/Service.h"
#include "service/ServiceOptions.h"
#include "service/SystemdNotify.h"

#include <QCoreApplication>
#include <QDebug>
#include <QLoggingCategory>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zolvend"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZOLVEN_VERSION));

    const zolven::ServiceOptions options = zolven::parseServiceOptions(
        QCoreApplication::arguments(), QProcessEnvironment::systemEnvironment());
    if (options.exitCode >= 0) {
        std::fputs(options.message.toLocal8Bit().constData(), options.exitCode ? stderr : stdout);
        return options.exitCode;
    }
    // The tray program's lines come every second; a service's journal gets only its own
    // (QT_LOGGING_RULES still decides over this).
    if (!options.debug)
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));

    zolven::quitOnSessionEnd(app);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [] {
        zolven::systemd::notify("STOPPING=1");
        qInfo().noquote() << "Stopping";
    });

    int code;
    {
        zolven::Service service(zolven::readServiceSettings(options.configPath));
        service.start();
        code = QCoreApplication::exec();
    }
    qInfo().noquote() << "Stopped";
    return code;
}
