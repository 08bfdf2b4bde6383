// A hardware-monitor library that answers with nonsense, for the fault tests. It exports the
// seven entry points (ordinal_<N>) and takes its behaviour from the environment variable
// ZOLVEN_GARBAGE, read again by every initialise and every sensorCount call:
//
//   texts          texts that fill their fields with no NUL, invalid UTF-8, "%1" in a label
//   values         NaN, infinities and values outside the 32-bit range on readings the rules use
//   types          usable records whose type or sensor location no rule knows
//   count <n>      sensorCount returns n; no reading is ever filled
//   flood <n>      sensorCount returns n; every call fills a usable record
//   random <seed>  three sensors; every call fills the whole record with pseudo-random bytes
//   partial        every call sets the valid flag and writes nothing else
//
// A trailing "slow" makes beginSensor sleep 1 ms. garbage_calls() counts the calls.

#include "abi/Export.h"
#include "abi/MonitorAbi.h"
#include "abi/ReadingRecord.h"

#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <sstream>
#include <string>
#include <thread>

namespace abi = zolven::abi;

namespace {

enum class Mode
{
    Texts,
    Values,
    Types,
    Count,
    Flood,
    Random,
    Partial
};

struct Config
{
    Mode mode = Mode::Texts;
    long long number = 0;
    bool slow = false;
};

// Set by sensorCount, read by the calls of the same pass on the same thread.
Config g_config;
std::atomic<long> g_sensorCounts{0}, g_beginSensors{0}, g_reads{0};
std::atomic<unsigned> g_pass{0};

Config readConfig()
{
    Config c;
    const char* env = std::getenv("ZOLVEN_GARBAGE");
    std::istringstream in(env ? env : "");
    std::string word;
    in >> word;
    if (word == "values")
        c.mode = Mode::Values;
    else if (word == "types")
        c.mode = Mode::Types;
    else if (word == "count")
        c.mode = Mode::Count;
    else if (word == "flood")
        c.mode = Mode::Flood;
    else if (word == "random")
        c.mode = Mode::Random;
    else if (word == "partial")
        c.mode = Mode::Partial;
    std::string rest;
    while (in >> rest) {
        if (rest == "slow")
            c.slow = true;
        else
            c.number = std::strtoll(rest.c_str(), nullptr, 10);
    }
    return c;
}

void fill(unsigned char* p, std::size_t width, const std::string& text)
{
    // Repeats the text over the whole field: no room is left for a NUL.
    for (std::size_t i = 0; i < width; ++i)
        p[i] = static_cast<unsigned char>(text[i % text.size()]);
}

struct Reading
{
    std::int32_t sensorLocation;
    std::int32_t readingLocation;
    std::int32_t type;
    double value;
    const char* label;
};

// Four sensors: processor, discrete card, system memory, fans.
const Reading* valueReading(std::int32_t sensor, std::int32_t index)
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();
    static const Reading cpu[] = {
        {11, 10, 1, nan, "CPU Package"},
        {11, 10, 7, inf, "CPU Utility"},
        {11, 10, 6, -inf, "Core 0 Clock"},
        {11, 10, 6, 1e300, "Core 1 Clock"},
    };
    static const Reading gpu[] = {
        {13, 0, 1, -2147483648.5, "GPU Temperature"},
        {13, 0, 7, -0.0, "GPU Core Load"},
        {13, 102, 8, 2147483647.9, "GPU Memory Allocated"},
        {13, 102, 8, 1.0, "GPU Memory Available"},
        {13, 0, 6, 4.9e-324, "GPU Clock"},
        {13, 0, 3, -1e-300, "GPU Fan"},
    };
    static const Reading ram[] = {{10, 0, 8, -nan, "Physical Memory Load"}};
    static const Reading fan[] = {{12, 0, 3, 2147483648.0, "CPU Fan"}};
    switch (sensor) {
    case 0:
        return index < 4 ? &cpu[index] : nullptr;
    case 1:
        return index < 6 ? &gpu[index] : nullptr;
    case 2:
        return index < 1 ? &ram[index] : nullptr;
    case 3:
        return index < 1 ? &fan[index] : nullptr;
    default:
        return nullptr;
    }
}

std::uint64_t mix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

bool answer(std::int32_t type, std::int32_t sensor, std::int32_t index, unsigned char* r)
{
    const Config& c = g_config;
    switch (c.mode) {
    case Mode::Texts: {
        // Asked for as type 1 only, so each reading is one item.
        if (sensor != 0 || index > 2 || type != 1)
            return false;
        std::memset(r, 0, abi::kRecordSize);
        r[abi::offs::valid] = 1;
        abi::writeF64(r + abi::offs::value, 61.0 + index);
        fill(r + abi::offs::units, abi::offs::unitsWidth, "\xC2\xB0\xFF");
        abi::writeI32(r + abi::offs::sensorLocation, 11);
        fill(r + abi::offs::sensorName, abi::offs::sensorNameWidth,
             "Garbage \xFF\xFE\xED\xA0\x80 ");
        abi::writeI32(r + abi::offs::readingLocation, 10);
        static const char* const labels[] = {"CPU Package %1 %2 \xC3\x28\xFF",
                                             "CPU Die \xE2\x82 average ", "CPU Package"};
        if (index == 2) {
            // A NUL inside the field ends the text; what follows it is not part of the label.
            abi::writeText(r + abi::offs::label, abi::offs::labelWidth, labels[2]);
            fill(r + abi::offs::label + 12, abi::offs::labelWidth - 12, "Core ");
        } else {
            fill(r + abi::offs::label, abi::offs::labelWidth, labels[index]);
        }
        abi::writeI32(r + abi::offs::type, 1);
        return true;
    }
    case Mode::Values: {
        const Reading* v = valueReading(sensor, index);
        if (!v || v->type != type)
            return false;
        abi::RecordFields f;
        f.valid = true;
        f.value = v->value;
        f.sensorLocation = v->sensorLocation;
        f.sensorName = "Garbage sensor " + std::to_string(sensor);
        f.readingLocation = v->readingLocation;
        f.label = v->label;
        f.type = v->type;
        abi::encodeRecord(f, r);
        return true;
    }
    case Mode::Types: {
        static const std::int32_t oddTypes[] = {0, -1, 2, 4, 5, 9, INT_MAX, INT_MIN};
        static const std::int32_t oddLocations[] = {0, -1, 14, 99, INT_MAX, INT_MIN};
        if (sensor != 0 || index >= 16)
            return false;
        abi::RecordFields f;
        f.valid = true;
        f.value = 42.0;
        f.label = "CPU Package GPU Temperature Core Load Clock Physical Memory Load";
        f.readingLocation = 10;
        if (index < 8) {
            f.sensorLocation = 13; // the discrete card, with a type no rule knows
            f.type = oddTypes[index];
        } else {
            f.sensorLocation = oddLocations[index % 6];
            f.type = type;
        }
        abi::encodeRecord(f, r);
        return true;
    }
    case Mode::Count:
        return false;
    case Mode::Flood:
        abi::encodeRecord({true, 1.0, "-", 11, "Flood", 10, "Flood reading", type}, r);
        return true;
    case Mode::Random: {
        std::uint64_t s = mix(std::uint64_t(c.number) ^ (std::uint64_t(g_pass) << 40) ^
                              (std::uint64_t(std::uint32_t(sensor)) << 20) ^
                              (std::uint64_t(std::uint32_t(index)) << 4) ^ std::uint32_t(type));
        for (std::size_t i = 0; i < abi::kRecordSize; i += 8) {
            s = mix(s);
            std::memcpy(r + i, &s, 8);
        }
        // Known codes now and then, so some records reach the rules.
        if (s & 1) {
            abi::writeI32(r + abi::offs::type, type);
            abi::writeI32(r + abi::offs::sensorLocation, 10 + std::int32_t(s >> 8) % 4);
        }
        return (s >> 1) & 1;
    }
    case Mode::Partial:
        r[abi::offs::valid] = 1;
        return true;
    }
    return false;
}

} // namespace

ZOLVEN_ABI_EXPORT std::int32_t ordinal_590(std::int32_t)
{
    g_config = readConfig();
    return 0;
}

ZOLVEN_ABI_EXPORT void ordinal_906() {}

ZOLVEN_ABI_EXPORT std::int32_t ordinal_883()
{
    ++g_sensorCounts;
    ++g_pass;
    g_config = readConfig();
    switch (g_config.mode) {
    case Mode::Count:
    case Mode::Flood:
        return static_cast<std::int32_t>(g_config.number);
    case Mode::Values:
        return 4;
    case Mode::Random:
        return 3;
    default:
        return 1;
    }
}

ZOLVEN_ABI_EXPORT void ordinal_726() {}

ZOLVEN_ABI_EXPORT void ordinal_749(std::int32_t)
{
    ++g_beginSensors;
    if (g_config.slow)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

ZOLVEN_ABI_EXPORT void ordinal_618() {}

ZOLVEN_ABI_EXPORT std::uint8_t ordinal_106(std::int32_t type, std::int32_t sensor,
                                           std::int32_t index, void* record)
{
    ++g_reads;
    return answer(type, sensor, index, static_cast<unsigned char*>(record)) ? 1 : 0;
}

// 883 sensorCount, 749 beginSensor, 106 readReading.
ZOLVEN_ABI_EXPORT long garbage_calls(int which)
{
    switch (which) {
    case 883:
        return g_sensorCounts;
    case 749:
        return g_beginSensors;
    case 106:
        return g_reads;
    default:
        return -1;
    }
}
