#include "BigMachine.h"

#include "fakenvml/FakeNvml.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

bool put(const QString& path, const QByteArray& text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text + '\n') >= 0;
}

QByteArray n(long long v)
{
    return QByteArray::number(v);
}

} // namespace

bool BigMachine::write(const QString& root) const
{
    bool ok = true;
    const QString sys = root + "/sys", proc = root + "/proc";
    QByteArray stat =
        "cpu  " + n(1000 * cpus) + " 0 " + n(500 * cpus) + " " + n(8000 * cpus) + " 0 0 0 0 0 0\n";
    QByteArray cpuinfo;
    for (int c = 0; c < cpus; ++c) {
        stat += "cpu" + n(c) + " 1000 0 500 8000 0 0 0 0 0 0\n";
        cpuinfo += "processor\t: " + n(c) + "\nmodel name\t: Big Test CPU\ncpu MHz\t\t: 3000.0\n\n";
        ok &=
            put(sys + "/devices/system/cpu/cpu" + QString::number(c) + "/cpufreq/scaling_cur_freq",
                n(3000000 + c * 1000));
    }
    ok &= put(proc + "/stat", stat);
    ok &= put(proc + "/cpuinfo", cpuinfo);
    ok &= put(proc + "/meminfo", "MemTotal: 263921664 kB\nMemFree: 1000000 kB\n"
                                 "MemAvailable: 197941248 kB\n");

    const QString hw0 = sys + "/class/hwmon/hwmon0/";
    ok &= put(hw0 + "name", "coretemp");
    ok &= put(hw0 + "temp1_label", "Package id 0") && put(hw0 + "temp1_input", "60000");
    for (int c = 0; c < cpus / 2; ++c) {
        const QString ch = QString::number(c + 2);
        ok &= put(hw0 + "temp" + ch + "_label", "Core " + n(c));
        ok &= put(hw0 + "temp" + ch + "_input", n(50000 + c * 100));
    }
    for (int chip = 0; chip < fanChips; ++chip) {
        const QString hw = sys + "/class/hwmon/hwmon" + QString::number(chip + 1) + "/";
        ok &= put(hw + "name", "nct6798");
        ok &= put(hw + "temp1_label", "SYSTIN") && put(hw + "temp2_label", "CPUTIN");
        for (int f = 1; f <= 7; ++f) {
            ok &= put(hw + "fan" + QString::number(f) + "_input", n(600 + 100 * f));
            ok &=
                put(hw + "pwm" + QString::number(f) + "_temp_sel", chip == 0 && f == 2 ? "2" : "1");
        }
    }

    auto pci = [&](const QString& addr, const char* vendor, const char* device,
                   const char* driver) {
        const QString dir = sys + "/bus/pci/devices/" + addr + "/";
        ok &= put(dir + "class", "0x030000") && put(dir + "vendor", vendor) &&
              put(dir + "device", device) && put(dir + "power/runtime_status", "active");
        ok &= put(dir + "uevent", QByteArray("DRIVER=") + driver);
        return dir;
    };
    for (int i = 0; i < amdCards; ++i) {
        const QString dir = pci(QString("0000:%1:00.0").arg(0x10 + i, 2, 16, QChar('0')), "0x1002",
                                "0x744c", "amdgpu");
        ok &= put(dir + "gpu_busy_percent", n(10 + i));
        ok &= put(dir + "mem_info_vram_used", n((1024LL + i) << 20));
        ok &= put(dir + "mem_info_vram_total", n(24560LL << 20));
        const QString hw = dir + "hwmon/hwmon" + QString::number(100 + i) + "/";
        ok &= put(hw + "name", "amdgpu");
        const char* temps[] = {"edge", "junction", "mem"};
        for (int t = 0; t < 3; ++t) {
            ok &= put(hw + "temp" + QString::number(t + 1) + "_label", temps[t]);
            ok &= put(hw + "temp" + QString::number(t + 1) + "_input", n(50000 + t * 5000));
        }
        ok &= put(hw + "freq1_label", "sclk") && put(hw + "freq1_input", "2400000000");
        ok &= put(hw + "freq2_label", "mclk") && put(hw + "freq2_input", "1250000000");
        ok &= put(hw + "pwm1", "100") && put(hw + "fan1_input", "1100");
        ok &= put(hw + "power1_average", "150000000");
    }
    for (int i = 0; i < nvidiaCards; ++i)
        pci(QString("0000:%1:00.0").arg(0x20 + i, 2, 16, QChar('0')), "0x10de", "0x2684", "nvidia");
    const QString igpu = pci("0000:00:02.0", "0x8086", "0xa780", "i915");
    ok &= put(igpu + "drm/card0/gt_act_freq_mhz", "1500");
    ok &= put(igpu + "drm/card0/power/rc6_residency_ms", "100000");
    return ok;
}

void BigMachine::useFakeNvml() const
{
    fakenvml::reset();
    fakenvml::state().gpus.clear();
    for (int i = 0; i < nvidiaCards; ++i) {
        fakenvml::Gpu g;
        g.bus = 0x20 + unsigned(i);
        fakenvml::state().gpus.push_back(g);
    }
}
