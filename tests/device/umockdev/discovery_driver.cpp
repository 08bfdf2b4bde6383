// The controller alone, as the window drives it: a connection check every ZOLVEN_CHECK_MS
// (default 1000) with fixed readings, in an empty program folder (so no Port=). Prints
// "connected" and "disconnected" as the link changes, and ends when its input closes. The
// umockdev tests run it inside a testbed.

#include "app/Sysctl.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir appDir;
    if (!appDir.isValid())
        return 2;
    Sysctl controller(appDir.path());
    controller.set_send_cpu_temperature(42);
    controller.set_send_cpu_utilization(17);
    controller.set_send_ram_usage(63);

    bool connected = false;
    QTimer check;
    check.setInterval(qEnvironmentVariableIntValue("ZOLVEN_CHECK_MS") > 0
                          ? qEnvironmentVariableIntValue("ZOLVEN_CHECK_MS")
                          : 1000);
    QObject::connect(&check, &QTimer::timeout, [&] {
        controller.handlerCheckConnected();
        if (controller.getIsConnected() != connected) {
            connected = controller.getIsConnected();
            std::printf("%s\n", connected ? "connected" : "disconnected");
            std::fflush(stdout);
        }
    });
    check.start();

    QSocketNotifier input(0, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[64];
        if (std::fread(buffer, 1, 1, stdin) == 0)
            app.quit();
    });
    // What the program's own choice of port monitor goes by.
    std::printf("started\nmonitor: %s\n",
                ::access("/run/udev/control", F_OK) == 0 ? "udev" : "/dev");
    std::fflush(stdout);
    return app.exec();
}
