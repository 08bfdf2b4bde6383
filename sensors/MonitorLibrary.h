#pragma once

// The bound hardware-monitor library ("config.dat" beside the executable) and the enumeration
// pass over its readings.

#include "abi/MonitorAbi.h"
#include "abi/ReadingRecord.h"
#include "sensors/ReadingItem.h"

namespace zolven::sensors {

// The seven entry points; usable only when all are bound.
struct MonitorEntryPoints
{
    abi::InitializeFn initialize = nullptr;
    abi::ShutdownFn shutdown = nullptr;
    abi::SensorCountFn sensorCount = nullptr;
    abi::BeginPassFn beginPass = nullptr;
    abi::BeginSensorFn beginSensor = nullptr;
    abi::ReservedFn reserved = nullptr;
    abi::ReadReadingFn readReading = nullptr;
};

// Binds the seven ordinals of a loaded library into out; true only when all seven are there.
bool bindEntryPoints(void* library, MonitorEntryPoints& out);

// Makes the application directory current, loads "./config.dat" and binds the seven ordinals,
// logging as it goes. Returns the process-wide table, or null when the library is unusable.
// The table stays valid until the process ends.
const MonitorEntryPoints* loadMonitorLibrary();

// What one pass reads at most, against a library that reports nonsense: sensors beyond the
// first kMaxSensors are not asked, and the pass ends once it holds kMaxItemsPerPass items.
inline constexpr qint32 kMaxSensors = 1024;
inline constexpr int kMaxItemsPerPass = 16384;

// One enumeration pass: every sensor, reading indices 0..511, every code of types in order.
// Appends one item per usable record; with dump set, also logs each record.
void enumerateReadings(const MonitorEntryPoints& lib, const QVector<qint32>& types,
                       ReadingItems& items, bool dump);

// Builds the item from a record's fields, or from a filled 464-byte record.
ReadingItem readingItemFromFields(const abi::RecordFields& fields, qint32 sensorIndex,
                                  qint32 readingIndex);
ReadingItem readingItemFromRecord(const unsigned char* record, qint32 sensorIndex,
                                  qint32 readingIndex);

} // namespace zolven::sensors
