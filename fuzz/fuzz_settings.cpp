// libFuzzer target: bytes as config.ini. The controller reads and applies them as at start, then
// writes them back at exit. Whatever the bytes, the values it applied must be ones it can show,
// and the file it leaves must read back complete and equal to them.

#include "app/Sysctl.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>

namespace {

QTemporaryDir* g_root = nullptr;
QString g_startDir;
int g_serial = 0;

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    qInstallMessageHandler(quiet);
    g_root = new QTemporaryDir();
    g_startDir = QDir::currentPath();
    // The autostart entry goes here, never to the real home.
    qputenv("XDG_CONFIG_HOME", g_root->filePath("xdg").toLocal8Bit());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A path of its own each time: QSettings caches files per path within a process.
    const QString dir = g_root->filePath(QStringLiteral("run%1").arg(++g_serial));
    QDir().mkpath(dir);
    const QString ini = dir + QStringLiteral("/config.ini");
    {
        QFile f(ini);
        if (!f.open(QIODevice::WriteOnly))
            return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }

    bool autoRun, showFah;
    int language;
    {
        Sysctl c(dir);
        c.confFileSync();
        autoRun = c.getIsAutoRun();
        showFah = c.getIsShowFah();
        language = c.getILanguage();
        if (language < 0 || language > 2)
            __builtin_trap();
    }

    const QString copy = g_root->filePath(QStringLiteral("check%1.ini").arg(g_serial));
    QFile::copy(ini, copy);
    QList<zolven::ConfigEntry> rows = zolven::defaultConfigEntries();
    const bool complete = zolven::readConfigFile(copy, rows);
    if (!complete || rows.at(zolven::RowAutoRun).value.toBool() != autoRun ||
        rows.at(zolven::RowShowFah).value.toBool() != showFah ||
        rows.at(zolven::RowLanguage).value.toInt() != language)
        __builtin_trap();

    QFile::remove(copy);
    // The controller made the run's directory current; the fuzzer reads relative paths.
    QDir::setCurrent(g_startDir);
    QDir(dir).removeRecursively();
    // No event loop runs here: deliver what the run posted, or it piles up run after run.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
