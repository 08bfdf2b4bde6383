// A hardware-monitor library for the Windows tests, loaded by the test program as config.dat.
// It exports the seven entry points by ordinal only (a .def file that cmake/Abi.cmake writes);
// every answer is a function of the call's arguments, so the test program can predict each record
// byte for byte.
//
// The record is written at literal offsets, not through the program's encoder, so a wrong
// offset on either side shows up as a mismatch:
//    0 valid flag, 8 value (double), 16 unit text (32), 48 sensor location (int32),
//   60 sensor name (256), 316 reading location (int32), 328 label (128), 456 type (int32).
// Bytes the program must not read are filled with kFill.
//
// Some results are declared wider than the contract says, with garbage in the bits above it:
// a caller that reads more than the contract's width gets a wrong answer.

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr unsigned char kFill = 0xA5;
constexpr std::uint64_t kGarbageHigh = 0xDEADBEEF00000000ull;
constexpr std::int32_t kSensors = 2;

std::int32_t g_currentSensor = -1;

void putI32(unsigned char* r, std::size_t at, std::int32_t v)
{
    const auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        r[at + i] = static_cast<unsigned char>(u >> (8 * i));
}

void putText(unsigned char* r, std::size_t at, std::size_t width, const char* text)
{
    const std::size_t n = std::strlen(text);
    std::memcpy(r + at, text, n < width ? n + 1 : width);
}

// The same character repeated over the whole field, no NUL: readers must stop at the width.
void putFullText(unsigned char* r, std::size_t at, std::size_t width, char c)
{
    std::memset(r + at, c, width);
}

} // namespace

extern "C" {

// Status 0 only for the flags the program passes.
std::uint64_t ordinal_590(std::int32_t flags)
{
    return kGarbageHigh | static_cast<std::uint32_t>(flags == 64 ? 0 : 1000 + flags);
}

void ordinal_906()
{
    g_currentSensor = -1;
}

std::uint64_t ordinal_883()
{
    return kGarbageHigh | static_cast<std::uint32_t>(kSensors);
}

void ordinal_726() {}

void ordinal_749(std::int32_t sensor)
{
    g_currentSensor = sensor;
}

void ordinal_618() {}

// Answers, for each sensor:
//   reading 0, every type t: value sensor*1000 + t/8, type t (sensor 1 answers type 1 with a
//     record of type 7), sensor location 11 + sensor, reading location 100 + t
//   reading 1, type 8: true, but the valid flag is 0
//   reading 511, type 6: every text fills its field without a NUL
// Anything else, and any call for a sensor other than the one begun: false.
// The result is one byte; the bits above it are garbage.
std::uint32_t ordinal_106(std::int32_t type, std::int32_t sensor, std::int32_t reading,
                          void* record)
{
    constexpr std::uint32_t kFalse = 0xABCD00, kTrue = 0xABCD01;
    if (!record || sensor != g_currentSensor || sensor < 0 || sensor >= kSensors)
        return kFalse;
    auto* r = static_cast<unsigned char*>(record);

    const bool plain =
        reading == 0 && (type == 1 || type == 3 || type == 6 || type == 7 || type == 8);
    const bool invalid = reading == 1 && type == 8;
    const bool full = reading == 511 && type == 6;
    if (!plain && !invalid && !full)
        return kFalse;

    std::memset(r, kFill, 464);
    r[0] = invalid ? 0 : 1;
    const double value = sensor * 1000.0 + reading + type / 8.0;
    std::memcpy(r + 8, &value, sizeof value); // x86-64 is little-endian, as the record is
    putI32(r, 48, 11 + sensor);
    putI32(r, 316, 100 + type);
    putI32(r, 456, sensor == 1 && type == 1 ? 7 : type);

    if (full) {
        putFullText(r, 16, 32, 'u');
        putFullText(r, 60, 256, 's');
        putFullText(r, 328, 128, 'l');
    } else {
        char name[32], label[64];
        std::snprintf(name, sizeof name, "Sensor %d", static_cast<int>(sensor));
        std::snprintf(label, sizeof label, "t%d s%d r%d", static_cast<int>(type),
                      static_cast<int>(sensor), static_cast<int>(reading));
        putText(r, 16, 32,
                "\xC2\xB0"
                "C"); // "°C" in UTF-8: bytes pass through untouched
        putText(r, 60, 256, name);
        putText(r, 328, 128, label);
    }
    return kTrue;
}

} // extern "C"
