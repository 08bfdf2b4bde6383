// Runs the bridge the way the program does, in a process of its own, and logs what it sees.
//   sensor_probe [passes]            start-up routine, then that many refresh passes (1)
//   sensor_probe --worker <passes>   the same through the worker, 20 ms apart
// Logs go to standard error; the last lines are the variable dump and the names.

#include "sensors/hwinfoBridge.h"

#include <QCoreApplication>
#include <QDebug>
#include <QTimer>

#include <atomic>

namespace {
std::atomic<int> g_passes{0};
QtMessageHandler g_default = nullptr;

void countPasses(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("[Refresh data] Refresh done")))
        ++g_passes;
    g_default(type, context, message);
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool worker = args.size() > 1 && args[1] == QLatin1String("--worker");
    const int passes = args.size() > (worker ? 2 : 1) ? args[worker ? 2 : 1].toInt() : 1;

    int code = 0;
    {
        hwinfoBridge bridge;
        if (worker) {
            g_default = qInstallMessageHandler(countPasses);
            bridge.setRefreshInterval(20);
            bridge.RunAsync();
            QTimer poll;
            QObject::connect(&poll, &QTimer::timeout, &app, [&] {
                if (g_passes >= passes)
                    app.quit();
            });
            poll.start(5);
            QTimer::singleShot(30000, &app, [&] { app.exit(3); });
            code = app.exec();
        } else {
            bridge.RunHwinfo();
            for (int i = 0; i < passes; ++i)
                bridge.refreshData();
        }
        bridge.getAllVariable();
        qDebug().noquote() << "[probe] names:" << bridge.getCpuName_QML() << "|"
                           << bridge.getGpuName_QML() << "|" << bridge.getIsGpuAvailable();
    }
    return code;
}
