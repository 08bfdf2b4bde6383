// How long one pass of the library takes, as the program makes it once per second:
// sensorCount, beginPass (the snapshot: every chosen file read once), then 2,560 readReading
// calls per sensor. Goal: under 1 ms.

#include "BigMachine.h"
#include "fakenvml/FakeNvml.h"

#include "abi/MonitorAbi.h"
#include "abi/ReadingRecord.h"
#include "monitor/Monitor.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace zolven::monitor;
namespace abi = zolven::abi;

namespace {

using Clock = std::chrono::steady_clock;

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Figures
{
    double mean = 0, median = 0, max = 0;
};

Figures summarise(std::vector<double> v)
{
    Figures f;
    std::sort(v.begin(), v.end());
    for (double x : v)
        f.mean += x;
    f.mean /= double(v.size());
    f.median = v[v.size() / 2];
    f.max = v.back();
    return f;
}

void run(const char* name, const MonitorConfig& config, const nvml::Api* api, int passes)
{
    Monitor m;
    m.setNvmlApi(api);
    const auto t0 = Clock::now();
    if (m.initialize(64, config) != 0) {
        std::printf("%-22s initialise failed\n", name);
        return;
    }
    const double init = ms(Clock::now() - t0);

    std::vector<double> snapshot, whole;
    unsigned char record[abi::kRecordSize];
    int readings = 0;
    for (int p = 0; p < passes; ++p) {
        const auto a = Clock::now();
        const std::int32_t count = m.sensorCount();
        m.beginPass();
        const auto b = Clock::now();
        readings = 0;
        for (std::int32_t i = 0; i < count; ++i) {
            m.beginSensor(i);
            for (std::int32_t j = 0; j < abi::kMaxReadingsPerSensor; ++j)
                for (std::int32_t t : abi::kReadingTypes)
                    readings += m.readReading(t, i, j, record) && record[0];
        }
        const auto c = Clock::now();
        snapshot.push_back(ms(b - a));
        whole.push_back(ms(c - a));
    }
    const Figures s = summarise(snapshot), w = summarise(whole);
    std::printf("%-22s %7d %8d %9.2f   %6.3f %6.3f %6.3f   %6.3f %6.3f %6.3f\n", name,
                m.sensorCount(), readings, init, s.mean, s.median, s.max, w.mean, w.median, w.max);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int passes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;

    std::printf("One pass of the monitor library, %d passes each (times in ms; goal: a whole "
                "pass under 1 ms)\n\n",
                passes);
    std::printf("%-22s %7s %8s %9s   %-20s   %-20s\n", "machine", "sensors", "readings", "init",
                "snapshot mean/med/max", "whole pass mean/med/max");

    // This machine, as it is (NVML only where an NVIDIA card shows in sysfs).
    run("this machine", MonitorConfig{}, nullptr, passes);

    QTemporaryDir dir;
    BigMachine big;
    if (!dir.isValid() || !big.write(dir.path())) {
        std::printf("cannot write the generated machine\n");
        return 1;
    }
    big.useFakeNvml();
    const nvml::Api api = fakenvml::api();
    MonitorConfig config;
    config.sysRoot = (dir.path() + "/sys").toStdString();
    config.procRoot = (dir.path() + "/proc").toStdString();
    char name[64];
    std::snprintf(name, sizeof name, "generated, %d CPUs", big.cpus);
    run(name, config, &api, passes);

    // The same with one card whose driver has not bound yet: the library looks at it every
    // few passes, which is what a pass costs between finds.
    QFile uevent(dir.path() + "/sys/bus/pci/devices/0000:10:00.0/uevent");
    if (!uevent.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        uevent.write("PCI_CLASS=30000\n") < 0) {
        std::printf("cannot unbind the generated card\n");
        return 1;
    }
    uevent.close();
    std::snprintf(name, sizeof name, "same, 1 card unbound");
    run(name, config, &api, passes);
    std::printf("\nThe generated machine's files live on %s; its NVIDIA cards answer from an "
                "in-process fake, so real NVML calls (driver ioctls) come on top.\n",
                qPrintable(QDir::tempPath()));
    return 0;
}
