#include "ReadingRecord.h"

#include <cstring>

namespace zolven::abi {

std::int32_t readI32(const unsigned char* p)
{
    const std::uint32_t u = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 |
                            std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
    return static_cast<std::int32_t>(u);
}

double readF64(const unsigned char* p)
{
    std::uint64_t u = 0;
    for (int i = 7; i >= 0; --i)
        u = (u << 8) | p[i];
    double d;
    std::memcpy(&d, &u, sizeof d);
    return d;
}

std::string readText(const unsigned char* p, std::size_t width)
{
    const void* nul = std::memchr(p, 0, width);
    const std::size_t len = nul ? static_cast<const unsigned char*>(nul) - p : width;
    return std::string(reinterpret_cast<const char*>(p), len);
}

void writeI32(unsigned char* p, std::int32_t v)
{
    const auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(u >> (8 * i));
}

void writeF64(unsigned char* p, double v)
{
    std::uint64_t u;
    std::memcpy(&u, &v, sizeof u);
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<unsigned char>(u >> (8 * i));
}

void writeText(unsigned char* p, std::size_t width, std::string_view text)
{
    const std::size_t n = text.size() < width ? text.size() : width;
    std::memcpy(p, text.data(), n);
    if (n < width)
        p[n] = 0;
}

RecordFields decodeRecord(const unsigned char* r)
{
    RecordFields f;
    f.valid = r[offs::valid] != 0;
    f.value = readF64(r + offs::value);
    f.units = readText(r + offs::units, offs::unitsWidth);
    f.sensorLocation = readI32(r + offs::sensorLocation);
    f.sensorName = readText(r + offs::sensorName, offs::sensorNameWidth);
    f.readingLocation = readI32(r + offs::readingLocation);
    f.label = readText(r + offs::label, offs::labelWidth);
    f.type = readI32(r + offs::type);
    return f;
}

void encodeRecord(const RecordFields& f, unsigned char* r)
{
    std::memset(r, 0, kRecordSize);
    r[offs::valid] = f.valid ? 1 : 0;
    writeF64(r + offs::value, f.value);
    writeText(r + offs::units, offs::unitsWidth, f.units);
    writeI32(r + offs::sensorLocation, f.sensorLocation);
    writeText(r + offs::sensorName, offs::sensorNameWidth, f.sensorName);
    writeI32(r + offs::readingLocation, f.readingLocation);
    writeText(r + offs::label, offs::labelWidth, f.label);
    writeI32(r + offs::type, f.type);
}

} // namespace zolven::abi
