// libFuzzer target: bytes as a readings file, the text our Linux library records and replays
// and the test library serves. Whatever parses must survive a recording: each sensor and
// reading, formatted as a line, parses back to itself.

#include "abi/ReadingsFile.h"

#include <cmath>
#include <cstdint>
#include <string>

using namespace zolven::abi;

namespace {

bool same(const FileReading& x, const FileReading& y)
{
    const bool value = x.value == y.value || (std::isnan(x.value) && std::isnan(y.value));
    return value && x.sensor == y.sensor && x.index == y.index && x.type == y.type &&
           x.recordType == y.recordType && x.readingLocation == y.readingLocation &&
           x.unit == y.unit && x.label == y.label;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    ReadingsFile file;
    if (!parseReadings(text, file))
        return 0;
    if (file.passes.empty())
        __builtin_trap();

    for (const FileSensor& s : file.sensors) {
        ReadingsFile back;
        if (!parseReadings(formatSensor(s) + "\n", back) || back.sensors.size() != 1 ||
            back.sensors[0].index != s.index || back.sensors[0].location != s.location ||
            back.sensors[0].name != s.name)
            __builtin_trap();
    }
    for (const auto& block : file.passes) {
        for (const FileReading& r : block) {
            ReadingsFile back;
            if (!parseReadings(formatReading(r) + "\n", back) || back.passes.size() != 1 ||
                back.passes[0].size() != 1 || !same(back.passes[0][0], r))
                __builtin_trap();
        }
    }
    return 0;
}
