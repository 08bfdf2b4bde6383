#pragma once

// The 464-byte reading record the library fills. Fields are read and written byte by byte at
// fixed offsets, never through a struct whose padding the compiler would choose. Integers are
// little-endian; texts are 8-bit UTF-8, NUL-terminated when they fit, bounded by their width
// when they do not.
//
//  off  width  field
//    0      1  valid flag (0 = skip)
//    8      8  value (IEEE-754 double)
//   16     32  unit text
//   48      4  sensor location code
//   60    256  sensor name
//  316      4  reading location code
//  328    128  reading label
//  456      4  reading type code
//  464         end

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zolven::abi {

inline constexpr std::size_t kRecordSize = 464;

namespace offs {
inline constexpr std::size_t valid = 0;
inline constexpr std::size_t value = 8;
inline constexpr std::size_t units = 16, unitsWidth = 32;
inline constexpr std::size_t sensorLocation = 48;
inline constexpr std::size_t sensorName = 60, sensorNameWidth = 256;
inline constexpr std::size_t readingLocation = 316;
inline constexpr std::size_t label = 328, labelWidth = 128;
inline constexpr std::size_t type = 456;
} // namespace offs

// A decoded record, with texts as std::string.
struct RecordFields
{
    bool valid = false;
    double value = 0.0;
    std::string units;
    std::int32_t sensorLocation = 0;
    std::string sensorName;
    std::int32_t readingLocation = 0;
    std::string label;
    std::int32_t type = 0;
};

// Decodes a record of kRecordSize bytes.
RecordFields decodeRecord(const unsigned char* record);

// Fills a record of kRecordSize bytes (zeroing it first). Texts longer than their field are cut
// to the field's width, leaving no room for a NUL: readers must bound them by width.
void encodeRecord(const RecordFields& fields, unsigned char* record);

// Helpers shared by the reader and the writer.
std::int32_t readI32(const unsigned char* p);
double readF64(const unsigned char* p);
std::string readText(const unsigned char* p, std::size_t width);
void writeI32(unsigned char* p, std::int32_t v);
void writeF64(unsigned char* p, double v);
void writeText(unsigned char* p, std::size_t width, std::string_view text);

} // namespace zolven::abi
