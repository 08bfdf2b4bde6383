#pragma once

// One enumeration pass the way the program makes it (sensorCount, beginPass, then sensors,
// reading indices 0..511, types 1, 7, 6, 3, 8); keeps the decoded records in that order.

#include "abi/MonitorAbi.h"
#include "abi/ReadingRecord.h"
#include "monitor/Monitor.h"

#include <string>
#include <vector>

struct Seen
{
    std::int32_t sensor = 0;
    std::int32_t index = 0;
    zolven::abi::RecordFields fields;
};

inline std::vector<Seen> enumerate(zolven::monitor::Monitor& m)
{
    std::vector<Seen> out;
    unsigned char record[zolven::abi::kRecordSize];
    const std::int32_t count = m.sensorCount();
    m.beginPass();
    for (std::int32_t i = 0; i < count; ++i)
        for (std::int32_t j = 0; j < zolven::abi::kMaxReadingsPerSensor; ++j)
            for (std::int32_t t : zolven::abi::kReadingTypes)
                if (m.readReading(t, i, j, record) && record[0])
                    out.push_back({i, j, zolven::abi::decodeRecord(record)});
    return out;
}

// The first reading with this label (in the sensor whose name starts with sensorPrefix, when
// given); null when there is none.
inline const Seen* findLabel(const std::vector<Seen>& seen, const std::string& label,
                             const std::string& sensorPrefix = {})
{
    for (const auto& s : seen)
        if (s.fields.label == label &&
            s.fields.sensorName.compare(0, sensorPrefix.size(), sensorPrefix) == 0)
            return &s;
    return nullptr;
}
