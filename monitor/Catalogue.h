#pragma once

// Every sensor and reading the library reports, with the values of the current pass. Readings
// are indexed by (sensor, reading index) so that readReading answers in constant time: the
// program asks 2,560 times per sensor per pass, and almost every question is a miss.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zolven::monitor {

inline constexpr int kSlotsPerSensor = 512;
// Bounds what a hand-edited replay file can make us allocate.
inline constexpr int kMaxSensors = 1024;

struct SensorInfo
{
    std::int32_t location = 0;
    std::string name;
};

// Why a metric comes from where it does (or what was looked for when it is missing): written
// once at discovery, for a user's report.
struct Choice
{
    std::string metric; // "CPU temperature", "CPU fan", "GPU temperature", ...
    std::string sensor; // the sensor it belongs to, or "" when none was found
    std::string file;   // what is read each pass, or "" when none was found
    std::string why;
};

struct ReadingInfo
{
    std::int32_t sensor = 0;
    std::int32_t index = 0;
    std::int32_t type = 0;       // the code it answers
    std::int32_t recordType = 0; // the code written into the record
    std::int32_t readingLocation = 0;
    std::string unit;
    std::string label;
};

class Catalogue
{
public:
    void clear();

    // Returns the new sensor's index.
    std::int32_t addSensor(std::int32_t location, std::string name);
    // Declares a sensor at a given index (replay files may leave gaps).
    void setSensor(std::int32_t index, std::int32_t location, std::string name);
    // Appends a reading at the sensor's next free index; -1 when the sensor is full.
    int addReading(std::int32_t sensor, std::int32_t type, std::int32_t readingLocation,
                   std::string unit, std::string label);
    // A reading at a chosen index; returns the existing slot for a repeated (sensor, index,
    // type), -1 when out of range.
    int placeReading(const ReadingInfo& info);

    // Forgets trailing sensors that got no reading.
    void dropEmptyTail();

    void note(Choice choice) { m_choices.push_back(std::move(choice)); }
    const std::vector<Choice>& choices() const { return m_choices; }

    std::int32_t sensorCount() const { return static_cast<std::int32_t>(m_sensors.size()); }
    int readingCount() const { return static_cast<int>(m_slots.size()); }
    const SensorInfo& sensor(std::int32_t index) const { return m_sensors[index]; }
    const ReadingInfo& reading(int slot) const { return m_slots[slot].info; }
    ReadingInfo& reading(int slot) { return m_slots[slot].info; }

    void set(int slot, double value);
    void invalidate(int slot);
    void invalidateAll();
    bool isValid(int slot) const { return m_slots[slot].valid; }
    double value(int slot) const { return m_slots[slot].value; }

    // False when no reading can sit at (sensor, index): past the sensor's last reading.
    // Inline, so that the program's thousands of questions a pass that miss cost next to
    // nothing.
    bool mayHold(std::int32_t sensor, std::int32_t index) const
    {
        return sensor >= 0 && sensor < sensorCount() && index >= 0 && index < m_nextIndex[sensor];
    }
    // Slot answering (type, sensor, index), or -1.
    int find(std::int32_t type, std::int32_t sensor, std::int32_t index) const;
    // Fills a 464-byte record when the reading exists and has a value this pass.
    bool fill(std::int32_t type, std::int32_t sensor, std::int32_t index,
              unsigned char* record) const;

private:
    struct Slot
    {
        ReadingInfo info;
        double value = 0.0;
        bool valid = false;
        int next = -1; // next slot at the same (sensor, index), other type
    };

    void growTo(std::int32_t sensors);

    std::vector<SensorInfo> m_sensors;
    std::vector<int> m_nextIndex;
    std::vector<int> m_heads; // sensor * kSlotsPerSensor + index -> first slot
    std::vector<Slot> m_slots;
    std::vector<Choice> m_choices;
};

} // namespace zolven::monitor
