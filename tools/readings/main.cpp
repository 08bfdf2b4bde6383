// readings: loads a hardware-monitor library (config.dat) through the same seven entry points
// as ZOLVEN, makes the program's start-up and refresh passes, and prints every reading in the
// program's enumeration order with the metric the program's rules take from it.

#include "ReadingsReport.h"

#include "abi/MonitorAbi.h"
#include "sensors/Identification.h"
#include "sensors/MonitorLibrary.h"
#include "sensors/platform/LibraryLoader.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTextStream>
#include <QThread>

#include <cstdio>

namespace abi = zolven::abi;
using namespace zolven::readings;

namespace {

QVector<Reading> enumerate(const zolven::sensors::MonitorEntryPoints& lib)
{
    QVector<Reading> out;
    unsigned char record[abi::kRecordSize];
    const qint32 count = lib.sensorCount();
    lib.beginPass();
    for (qint32 i = 0; i < count; ++i) {
        lib.beginSensor(i);
        for (qint32 j = 0; j < abi::kMaxReadingsPerSensor; ++j)
            for (qint32 t : abi::kReadingTypes)
                if (lib.readReading(t, i, j, record) && record[abi::offs::valid])
                    out.append({i, j, t, abi::decodeRecord(record)});
    }
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("readings"));
    QTextStream out(stdout), err(stderr);

    QCommandLineParser cli;
    cli.setApplicationDescription(QStringLiteral(
        "Prints what a hardware-monitor library reports, as ZOLVEN enumerates and uses it."));
    cli.addHelpOption();
    cli.addPositionalArgument(
        QStringLiteral("library"),
        QStringLiteral("The library (default: config.dat beside this tool)."));
    QCommandLineOption passes(QStringLiteral("passes"),
                              QStringLiteral("Refresh passes to make (default 2)."),
                              QStringLiteral("n"), QStringLiteral("2"));
    QCommandLineOption interval(QStringLiteral("interval"),
                                QStringLiteral("Pause before each refresh pass (default 1000)."),
                                QStringLiteral("ms"), QStringLiteral("1000"));
    QCommandLineOption file(
        QStringLiteral("readings-file"),
        QStringLiteral("Print every pass in the readings file format instead."));
    cli.addOptions({passes, interval, file});
    cli.process(app);

    // The identification's own log lines would drown the report.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));

    const QString path = cli.positionalArguments().value(0, QCoreApplication::applicationDirPath() +
                                                                QStringLiteral("/config.dat"));
    const QString absolute = QFileInfo(path).absoluteFilePath();
    void* handle =
        zolven::sensors::platform::openLibrary(QDir::toNativeSeparators(absolute).toLocal8Bit());
    if (!handle) {
        err << "cannot load " << absolute << "\n";
        return 1;
    }
    zolven::sensors::MonitorEntryPoints lib;
    if (!zolven::sensors::bindEntryPoints(handle, lib)) {
        for (int ordinal : abi::kOrdinals)
            if (!zolven::sensors::platform::resolveOrdinal(handle, ordinal))
                err << "entry point " << ordinal << " is missing\n";
        return 1;
    }

    const qint32 status = lib.initialize(abi::kInitializeFlags);
    if (status != 0) {
        err << "initialise failed with status " << status << "\n";
        return 2;
    }
    // As the program starts: one pass of its own, then the discovery enumeration, then names.
    lib.beginPass();
    enumerate(lib);
    RulesReplay rules(zolven::sensors::findGpuName().discrete);

    const int count = qMax(1, cli.value(passes).toInt());
    const int pause = qMax(0, cli.value(interval).toInt());
    const bool asFile = cli.isSet(file);
    QVector<Reading> last;
    QVector<QStringList> feeds;
    for (int p = 0; p < count; ++p) {
        QThread::msleep(static_cast<unsigned long>(pause));
        last = enumerate(lib);
        feeds = rules.pass(last);
        if (asFile) {
            if (p > 0)
                out << "P\n";
            out << formatReadingsFile(last, p == 0);
            out.flush();
        }
    }
    if (!asFile) {
        out << "library: " << absolute << "\n";
        out << "pass " << count << ": " << last.size() << " readings\n";
        out << formatTable(last, feeds) << "\n" << formatMetrics(rules);
    }
    lib.shutdown();
    return 0;
}
