// Times one refresh pass (enumeration of every sensor x 512 indices x 5 codes, the rules, the
// clock averages) against the test library as config.dat, for 8, 32 and 64 sensors, and the
// share of it spent outside the library: the same calls made without our processing are
// timed apart and subtracted. Prints figures; asserts nothing.
//   bench_refresh [passes per size]     (default 200)

#include "abi/ReadingRecord.h"
#include "sensors/MonitorLibrary.h"
#include "sensors/hwinfoBridge.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// A realistic mix: processor, graphics card, memory, fan controller and drive sensors in turn.
QString fixture(int sensors)
{
    QString text;
    QTextStream out(&text);
    for (int s = 0; s < sensors; ++s) {
        switch (s % 5) {
        case 0:
            out << "S " << s << " 11 CPU [#" << s << "]: Bench Processor\n";
            for (int c = 0; c < 8; ++c) {
                out << "R " << s << " " << c << " 6 10 " << 4000 + c << ".5 MHz Core " << c
                    << " Clock\n";
                out << "R " << s << " " << 8 + c << " 6 10 " << 900 + c << ".25 MHz Core " << c
                    << " Effective Clock\n";
            }
            out << "R " << s << " 0 1 10 48.5 C CPU Package\nR " << s
                << " 1 1 10 46 C CPU IA Cores\nR " << s << " 2 1 10 45 C Core 0\nR " << s
                << " 3 1 10 47 C Core Max\n";
            out << "R " << s << " 0 7 10 12.5 % Core 0 T0 Usage\nR " << s
                << " 1 7 10 9.4 % Total CPU Usage\nR " << s << " 2 7 10 23.8 % Total CPU Utility\n";
            break;
        case 1:
            out << "S " << s << " 13 GPU [#" << s << "]: Bench Graphics\n";
            out << "R " << s << " 0 1 0 56.4 C GPU Temperature\nR " << s
                << " 1 1 0 67.1 C GPU Hot Spot Temperature\n";
            out << "R " << s << " 0 6 0 1905 MHz GPU Clock\nR " << s
                << " 1 6 0 1750.2 MHz GPU Memory Clock\nR " << s
                << " 2 6 0 1890.6 MHz GPU Effective Clock\n";
            out << "R " << s << " 0 7 0 37 % GPU Core Load\nR " << s
                << " 1 7 0 21 % GPU Memory Controller Load\n";
            out << "R " << s << " 0 3 0 1450 RPM GPU Fan1\n";
            out << "R " << s << " 0 8 102 2048 MB GPU Memory Allocated\nR " << s
                << " 1 8 102 6144 MB GPU Memory Available\n";
            break;
        case 2:
            out << "S " << s << " 10 System: Bench Board\n";
            out << "R " << s << " 0 8 0 10345 MB Physical Memory Used\nR " << s
                << " 1 8 0 31.6 % Physical Memory Load\nR " << s
                << " 2 8 0 18.2 % Virtual Memory Load\n";
            break;
        case 3:
            out << "S " << s << " 12 Bench Fan Controller\n";
            for (int f = 0; f < 5; ++f)
                out << "R " << s << " " << f << " 3 0 " << 900 + 100 * f << " RPM "
                    << (f == 0 ? "CPU" : "Chassis") << f << "\n";
            out << "R " << s << " 0 1 0 36 C Motherboard\n";
            break;
        default:
            out << "S " << s << " 0 Drive: Bench SSD\n";
            out << "R " << s << " 0 1 0 38 C Drive Temperature\nR " << s
                << " 0 7 0 0.4 % Total Activity\n";
            break;
        }
    }
    return text;
}

// The library's part of a pass alone: the same calls, no decoding, no rules.
void libraryOnlyPass(const zolven::sensors::MonitorEntryPoints& lib)
{
    unsigned char record[zolven::abi::kRecordSize];
    volatile int usable = 0;
    const int count = lib.sensorCount();
    lib.beginPass();
    for (int i = 0; i < count; ++i) {
        lib.beginSensor(i);
        for (int j = 0; j < zolven::abi::kMaxReadingsPerSensor; ++j)
            for (int type : zolven::abi::kReadingTypes)
                if (lib.readReading(type, i, j, record) && record[0])
                    usable = usable + 1;
    }
}

template <typename F>
double medianMs(int runs, F&& f)
{
    std::vector<double> times;
    QElapsedTimer t;
    for (int r = 0; r < runs; ++r) {
        t.start();
        f();
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 200;
    // Log lines are still formatted, as in the program; only their output is dropped.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});

    QTemporaryDir dir;
    std::printf("refresh pass, median of %d, test library as config.dat\n", runs);
    std::printf("%8s %7s %12s %12s %14s\n", "sensors", "items", "pass [ms]", "library [ms]",
                "program [ms]");
    for (int sensors : {8, 32, 64}) {
        const QString path = dir.filePath(QStringLiteral("bench%1.readings").arg(sensors));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(fixture(sensors).toUtf8()) < 0)
            return 1;
        f.close();
        qputenv("ZOLVEN_READINGS", QFile::encodeName(path));

        hwinfoBridge bridge;
        bridge.RunHwinfo();
        const zolven::sensors::MonitorEntryPoints* lib = zolven::sensors::loadMonitorLibrary();
        if (!lib || !bridge.isLibraryBound()) {
            std::fprintf(stderr, "config.dat beside bench_refresh could not be used\n");
            return 1;
        }
        for (int w = 0; w < 5; ++w)
            bridge.refreshData();

        const double pass = medianMs(runs, [&] { bridge.refreshData(); });
        const double library = medianMs(runs, [&] { libraryOnlyPass(*lib); });
        const double program = pass - library;
        std::printf("%8d %7d %12.3f %12.3f %8.3f (%2.0f%%)\n", sensors, int(bridge.items().size()),
                    pass, library, program, 100.0 * program / pass);
    }
    return 0;
}
