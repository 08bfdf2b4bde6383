// libFuzzer target: bytes stand for what a hardware-monitor library answers. They go through the
// program's enumeration pass into reading items, and through the metric rules in discovery and
// then refresh mode, as the bridge runs them.
//
// Input: one byte for the sensor count (0xFF: the largest count; else -4..4), then, for each
// readReading call for reading indices 0..7 in call order, a byte whose low bit is the call's
// result, followed when set by the 464-byte record it fills (a short last one is padded with
// zeros). Calls for later indices, or past the input, return false. make_corpus.py writes seeds.

#include "abi/ReadingRecord.h"
#include "sensors/MetricRules.h"
#include "sensors/MonitorLibrary.h"

#include <QCoreApplication>

#include <climits>
#include <cstdint>
#include <cstring>

namespace {

namespace abi = zolven::abi;
namespace sensors = zolven::sensors;

constexpr std::int32_t kAnsweredIndices = 8;

const std::uint8_t* g_data = nullptr;
std::size_t g_size = 0;
std::size_t g_pos = 0;

std::int32_t sensorCount()
{
    if (g_size == 0)
        return 0;
    const std::uint8_t b = g_data[0];
    return b == 0xFF ? INT_MAX : std::int32_t(b % 9) - 4;
}
void nothing() {}
void beginSensor(std::int32_t) {}
std::int32_t initialize(std::int32_t)
{
    return 0;
}

std::uint8_t readReading(std::int32_t, std::int32_t, std::int32_t index, void* record)
{
    if (index >= kAnsweredIndices || g_pos >= g_size)
        return 0;
    if (!(g_data[g_pos++] & 1))
        return 0;
    const std::size_t n = std::min(abi::kRecordSize, g_size - g_pos);
    auto* out = static_cast<unsigned char*>(record);
    std::memcpy(out, g_data + g_pos, n);
    std::memset(out + n, 0, abi::kRecordSize - n);
    g_pos += n;
    return 1;
}

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    qInstallMessageHandler(quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    g_data = data;
    g_size = size;
    g_pos = 1;

    sensors::MonitorEntryPoints lib;
    lib.initialize = initialize;
    lib.shutdown = nothing;
    lib.sensorCount = sensorCount;
    lib.beginPass = nothing;
    lib.beginSensor = beginSensor;
    lib.reserved = nothing;
    lib.readReading = readReading;

    QVector<qint32> types;
    for (std::int32_t t : abi::kReadingTypes)
        types.append(t);

    // Discovery: dump and rules that only log. Then a refresh pass over the same answers.
    ReadingItems items;
    sensors::enumerateReadings(lib, types, items, true);
    const sensors::PassResult discovery =
        sensors::runPass(items, sensors::RuleMode::Discovery, sensors::MetricState{});
    // Discovery only logs, at most two rules match one reading.
    if (!discovery.writes.isEmpty() || discovery.log.size() > 2 * items.size())
        __builtin_trap();

    g_pos = 1;
    items.clear();
    sensors::enumerateReadings(lib, types, items, false);
    const sensors::PassResult refresh =
        sensors::runPass(items, sensors::RuleMode::Refresh, discovery.state);
    if (refresh.log.size() > 2 * items.size() || refresh.writes.size() > refresh.log.size() + 2)
        __builtin_trap();
    if (items.size() > sensors::kMaxItemsPerPass)
        __builtin_trap();
    for (const ReadingItem& it : items) {
        // Texts never longer than their fields.
        if (it.label.size() > qsizetype(abi::offs::labelWidth) ||
            it.sensorName.size() > qsizetype(abi::offs::sensorNameWidth))
            __builtin_trap();
    }
    return 0;
}
