#include "monitor/Catalogue.h"

#include "abi/ReadingRecord.h"

#include <cstring>

namespace zolven::monitor {

void Catalogue::clear()
{
    m_sensors.clear();
    m_nextIndex.clear();
    m_heads.clear();
    m_slots.clear();
    m_choices.clear();
}

void Catalogue::growTo(std::int32_t sensors)
{
    if (sensors <= sensorCount())
        return;
    m_sensors.resize(sensors);
    m_nextIndex.resize(sensors, 0);
    m_heads.resize(static_cast<std::size_t>(sensors) * kSlotsPerSensor, -1);
}

std::int32_t Catalogue::addSensor(std::int32_t location, std::string name)
{
    const std::int32_t index = sensorCount();
    if (index >= kMaxSensors)
        return -1;
    setSensor(index, location, std::move(name));
    return index;
}

void Catalogue::setSensor(std::int32_t index, std::int32_t location, std::string name)
{
    if (index < 0 || index >= kMaxSensors)
        return;
    growTo(index + 1);
    m_sensors[index] = SensorInfo{location, std::move(name)};
}

void Catalogue::dropEmptyTail()
{
    while (!m_sensors.empty() && m_nextIndex.back() == 0) {
        m_sensors.pop_back();
        m_nextIndex.pop_back();
        m_heads.resize(m_sensors.size() * kSlotsPerSensor);
    }
}

int Catalogue::addReading(std::int32_t sensor, std::int32_t type, std::int32_t readingLocation,
                          std::string unit, std::string label)
{
    if (sensor < 0 || sensor >= sensorCount() || m_nextIndex[sensor] >= kSlotsPerSensor)
        return -1;
    ReadingInfo info;
    info.sensor = sensor;
    info.index = m_nextIndex[sensor];
    info.type = info.recordType = type;
    info.readingLocation = readingLocation;
    info.unit = std::move(unit);
    info.label = std::move(label);
    return placeReading(info);
}

int Catalogue::placeReading(const ReadingInfo& info)
{
    if (info.sensor < 0 || info.sensor >= kMaxSensors || info.index < 0 ||
        info.index >= kSlotsPerSensor)
        return -1;
    growTo(info.sensor + 1);
    if (const int existing = find(info.type, info.sensor, info.index); existing >= 0) {
        m_slots[existing].info = info;
        return existing;
    }
    int& head = m_heads[static_cast<std::size_t>(info.sensor) * kSlotsPerSensor + info.index];
    Slot slot;
    slot.info = info;
    slot.next = head;
    head = static_cast<int>(m_slots.size());
    m_slots.push_back(std::move(slot));
    if (info.index >= m_nextIndex[info.sensor])
        m_nextIndex[info.sensor] = info.index + 1;
    return head;
}

void Catalogue::set(int slot, double value)
{
    m_slots[slot].value = value;
    m_slots[slot].valid = true;
}

void Catalogue::invalidate(int slot)
{
    m_slots[slot].valid = false;
}

void Catalogue::invalidateAll()
{
    for (auto& s : m_slots)
        s.valid = false;
}

int Catalogue::find(std::int32_t type, std::int32_t sensor, std::int32_t index) const
{
    if (!mayHold(sensor, index))
        return -1;
    for (int s = m_heads[static_cast<std::size_t>(sensor) * kSlotsPerSensor + index]; s >= 0;
         s = m_slots[s].next)
        if (m_slots[s].info.type == type)
            return s;
    return -1;
}

bool Catalogue::fill(std::int32_t type, std::int32_t sensor, std::int32_t index,
                     unsigned char* record) const
{
    const int s = find(type, sensor, index);
    if (s < 0 || !m_slots[s].valid)
        return false;
    const Slot& slot = m_slots[s];
    const SensorInfo& owner = m_sensors[sensor];
    using namespace abi;
    std::memset(record, 0, kRecordSize);
    record[offs::valid] = 1;
    writeF64(record + offs::value, slot.value);
    writeText(record + offs::units, offs::unitsWidth, slot.info.unit);
    writeI32(record + offs::sensorLocation, owner.location);
    writeText(record + offs::sensorName, offs::sensorNameWidth, owner.name);
    writeI32(record + offs::readingLocation, slot.info.readingLocation);
    writeText(record + offs::label, offs::labelWidth, slot.info.label);
    writeI32(record + offs::type, slot.info.recordType);
    return true;
}

} // namespace zolven::monitor
