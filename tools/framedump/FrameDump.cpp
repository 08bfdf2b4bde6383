#include "FrameDump.h"

namespace zolven {

QString describeFrame(qint64 number, const DecodedFrame& f)
{
    const QString unit = f.unitFlag == 0   ? QStringLiteral("C")
                         : f.unitFlag == 1 ? QStringLiteral("F")
                                           : QStringLiteral("?%1").arg(f.unitFlag);
    return QStringLiteral("#%1 unit=%2 cpu_temp=%3 cpu_load=%4 cpu_clock=%5 cpu_fan=%6 "
                          "gpu_temp=%7 gpu_load=%8 gpu_clock=%9 gpu_fan=%10 gpu_mem_used=%11 "
                          "gpu_mem_total=%12 ram_load=%13")
        .arg(number)
        .arg(unit)
        .arg(f.cpuTemperature)
        .arg(f.cpuUtilization)
        .arg(f.cpuFrequency)
        .arg(f.cpuFanSpeed)
        .arg(f.gpuTemperature)
        .arg(f.gpuUtilization)
        .arg(f.gpuFrequency)
        .arg(f.gpuFanSpeed)
        .arg(f.gpuMemOccupancy)
        .arg(f.gpuMemTotal)
        .arg(f.ramUsage);
}

} // namespace zolven
