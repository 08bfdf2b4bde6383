#pragma once

// Readings file: what a hardware-monitor library reports, as text a person can read and edit.
// The test library replays these files, and our Linux library records and replays them.
//
//   # comment (also after blank lines)
//   @ <key> <value…>                               a switch for the library that reads the file
//   S <sensor> <sensor-location> <name…>           declares a sensor; the name is the rest of the
//   line R <sensor> <index> <type>[/<record-type>] <reading-location> <value> <unit> <label…> P
//   ends one pass's block and starts the next
//
// A reading answers readReading(type, sensor, index); its record carries <record-type> when
// given (a library may answer one code with a record of another), else <type>. <value> is any
// number strtod reads, including nan and inf; <unit> is "-" when empty; the label is the rest of
// the line. Sensors are declared once, before or between blocks. Block k holds the readings of
// the k-th pass; a file with one block serves every pass the same readings.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace zolven::abi {

struct FileReading
{
    std::int32_t sensor = 0;
    std::int32_t index = 0;
    std::int32_t type = 0;       // the code it answers
    std::int32_t recordType = 0; // the code written into the record
    std::int32_t readingLocation = 0;
    double value = 0.0;
    std::string unit;
    std::string label;
};

struct FileSensor
{
    std::int32_t index = 0;
    std::int32_t location = 0;
    std::string name;
};

struct ReadingsFile
{
    std::map<std::string, std::string> switches;
    std::vector<FileSensor> sensors;
    std::vector<std::vector<FileReading>> passes; // at least one block once parsed

    const FileSensor* sensor(std::int32_t index) const;
};

// Parses the text; on a malformed line returns false and names the line in *error.
bool parseReadings(const std::string& text, ReadingsFile& out, std::string* error = nullptr);
bool loadReadings(const std::string& path, ReadingsFile& out, std::string* error = nullptr);

// Writes one line in the file's syntax (no trailing line feed).
std::string formatSensor(const FileSensor& s);
std::string formatReading(const FileReading& r);

} // namespace zolven::abi
