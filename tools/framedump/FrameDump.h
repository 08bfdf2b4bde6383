#pragma once

#include "device/Frame.h"

#include <QString>

namespace zolven {

// One line per frame, e.g.
// "#1 unit=C cpu_temp=45 cpu_load=12 cpu_clock=3600 cpu_fan=1200 gpu_temp=50 gpu_load=30
//  gpu_clock=1500 gpu_fan=40 gpu_mem_used=2048 gpu_mem_total=8192 ram_load=63"
QString describeFrame(qint64 number, const DecodedFrame& frame);

} // namespace zolven
