#include "MonitorLibrary.h"

#include "abi/ReadingRecord.h"
#include "platform/LibraryLoader.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <mutex>

namespace zolven::sensors {

namespace {

std::mutex g_tableMutex;
MonitorEntryPoints g_table;
bool g_tableBound = false;

template <typename Fn>
Fn entry(void* library, int ordinal)
{
    return reinterpret_cast<Fn>(platform::resolveOrdinal(library, ordinal));
}

void dumpRecord(const abi::RecordFields& f)
{
    qDebug().nospace() << "tSensorLocation.szLocationName: "
                       << QString::fromStdString(f.sensorName);
    qDebug().nospace() << "tSensorLocation.eSensorLocation: " << f.sensorLocation;
    qDebug().nospace() << "tReadingLocation.eSensorLocation: " << QString::fromStdString(f.label);
    qDebug().nospace() << "tReadingLocation.eReadingLocation: " << f.readingLocation;
    qDebug().nospace() << "tReadingType.eType: " << f.type;
    qDebug().nospace() << "value: " << f.value;
    qDebug().nospace() << "szUnits: " << QString::fromStdString(f.units);
}

} // namespace

bool bindEntryPoints(void* library, MonitorEntryPoints& out)
{
    out.initialize = entry<abi::InitializeFn>(library, abi::OrdInitialize);
    out.shutdown = entry<abi::ShutdownFn>(library, abi::OrdShutdown);
    out.sensorCount = entry<abi::SensorCountFn>(library, abi::OrdSensorCount);
    out.beginPass = entry<abi::BeginPassFn>(library, abi::OrdBeginPass);
    out.beginSensor = entry<abi::BeginSensorFn>(library, abi::OrdBeginSensor);
    out.reserved = entry<abi::ReservedFn>(library, abi::OrdReserved);
    out.readReading = entry<abi::ReadReadingFn>(library, abi::OrdReadReading);
    return out.initialize && out.shutdown && out.sensorCount && out.beginPass && out.beginSensor &&
           out.reserved && out.readReading;
}

const MonitorEntryPoints* loadMonitorLibrary()
{
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    void* library = platform::openLibrary(QStringLiteral("./config.dat").toLocal8Bit().constData());

    // Only decides the log line: the load above has been tried either way.
    const QString path = QDir::currentPath() + QStringLiteral("/config.dat");
    if (QFileInfo::exists(path))
        qDebug().noquote() << "[RunHwinfo] DLL Exist";
    else
        qDebug().noquote() << "[RunHwinfo] DLL Doesn't exist";
    qDebug() << "[RunHwinfo] DLL path:" << path;

    MonitorEntryPoints bound;
    if (!library || !bindEntryPoints(library, bound)) {
        qDebug().noquote() << "[RunHwinfo] CANNOT LOAD DLL\n";
        return nullptr;
    }

    // Every bridge shares one table; the library is never unloaded, so the first complete
    // binding stays valid for the rest of the process.
    std::lock_guard<std::mutex> lock(g_tableMutex);
    if (!g_tableBound) {
        g_table = bound;
        g_tableBound = true;
    }
    return &g_table;
}

ReadingItem readingItemFromFields(const abi::RecordFields& f, qint32 sensorIndex,
                                  qint32 readingIndex)
{
    ReadingItem item;
    item.sensorName = QString::fromStdString(f.sensorName);
    item.label = QString::fromStdString(f.label);
    item.sensorLocation = f.sensorLocation;
    item.readingLocation = f.readingLocation;
    item.readingType = f.type;
    item.value = f.value;
    item.sensorIndex = sensorIndex;
    item.readingIndex = readingIndex;
    return item;
}

ReadingItem readingItemFromRecord(const unsigned char* record, qint32 sensorIndex,
                                  qint32 readingIndex)
{
    return readingItemFromFields(abi::decodeRecord(record), sensorIndex, readingIndex);
}

void enumerateReadings(const MonitorEntryPoints& lib, const QVector<qint32>& types,
                       ReadingItems& items, bool dump)
{
    // Zeroed once per pass: a library that fills a record only in part leaves known bytes
    // behind, never the stack's.
    unsigned char record[abi::kRecordSize] = {};

    const qint32 reported = lib.sensorCount();
    const qint32 count = std::min(reported, kMaxSensors);
    // Said once per odd value, not every second.
    static std::atomic<qint32> s_reportedOdd{0};
    if (reported > kMaxSensors && s_reportedOdd.exchange(reported) != reported)
        qDebug().noquote() << QStringLiteral(
                                  "[Refresh data] Sensor count %1 out of range, reading %2")
                                  .arg(reported)
                                  .arg(kMaxSensors);
    static std::atomic<bool> s_itemsCapped{false};
    int taken = 0;

    lib.beginPass();
    for (qint32 i = 0; i < count; ++i) {
        lib.beginSensor(i);
        for (qint32 j = 0; j < abi::kMaxReadingsPerSensor; ++j) {
            for (qint32 type : types) {
                if (!lib.readReading(type, i, j, record) || record[abi::offs::valid] == 0)
                    continue;
                if (taken == kMaxItemsPerPass) {
                    if (!s_itemsCapped.exchange(true))
                        qDebug().noquote()
                            << QStringLiteral("[Refresh data] More than %1 readings in one pass, "
                                              "the rest is skipped")
                                   .arg(kMaxItemsPerPass);
                    return;
                }
                const abi::RecordFields fields = abi::decodeRecord(record);
                if (dump)
                    dumpRecord(fields);
                items.append(readingItemFromFields(fields, i, j));
                ++taken;
            }
        }
    }
    s_itemsCapped = false;
}

} // namespace zolven::sensors
