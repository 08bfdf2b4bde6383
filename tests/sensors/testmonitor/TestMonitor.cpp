// A hardware-monitor library for tests: exports the seven entry points (POSIX: ordinal_<N>,
// Windows: by ordinal through a .def file) and replays a readings file.
//
// The readings file is read by every initialise call, from the path in the environment
// variable ZOLVEN_READINGS, else from "config.readings" in the current directory (the
// program's directory, beside config.dat). Its syntax is in sensors/abi/ReadingsFile.h. Block k
// answers the k-th enumeration pass after initialise (counted by sensorCount calls); the last
// block repeats. Switches:
//   @ init <status>          initialise returns this status (default 0)
//   @ sensors <n>            sensorCount returns n (default: highest declared sensor + 1)
//   @ valid 0                every readReading returns true with the valid flag left 0
//   @ sensor_delay_ms <n>    beginSensor sleeps n ms, to make a pass slow
// A build with ZOLVEN_OMIT_ORDINAL=<N> lacks that entry point.
//
// For tests, extra C functions count the calls and keep a trace of all but readReading:
// "I<flags>" initialise, "X" shutdown, "C" sensorCount, "P" beginPass, "S<i>" beginSensor.

#include "MonitorAbi.h"
#include "ReadingRecord.h"
#include "ReadingsFile.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#ifndef ZOLVEN_OMIT_ORDINAL
#define ZOLVEN_OMIT_ORDINAL 0
#endif

#if defined(_WIN32)
#define TM_EXPORT extern "C"
#else
#define TM_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace abi = zolven::abi;

namespace {

// Readings of one block, looked up in constant time: most calls of a pass ask for nothing.
struct Block
{
    std::int32_t sensors = 0;
    std::vector<const abi::FileReading*> table;                     // [sensor][index][type slot]
    std::unordered_map<std::string, const abi::FileReading*> other; // unusual codes and indices

    static int typeSlot(std::int32_t type)
    {
        for (int s = 0; s < 5; ++s)
            if (abi::kReadingTypes[s] == type)
                return s;
        return -1;
    }
    static std::string key(std::int32_t t, std::int32_t s, std::int32_t i)
    {
        return std::to_string(t) + ":" + std::to_string(s) + ":" + std::to_string(i);
    }
    const abi::FileReading* find(std::int32_t t, std::int32_t s, std::int32_t i) const
    {
        const int slot = typeSlot(t);
        if (slot >= 0 && s >= 0 && s < sensors && i >= 0 && i < abi::kMaxReadingsPerSensor)
            return table[(std::size_t(s) * abi::kMaxReadingsPerSensor + i) * 5 + slot];
        if (other.empty())
            return nullptr;
        auto it = other.find(key(t, s, i));
        return it == other.end() ? nullptr : it->second;
    }
};

struct State
{
    abi::ReadingsFile file;
    std::vector<Block> blocks;
    std::int32_t initStatus = 0;
    std::int32_t sensorCount = 0;
    bool validZero = false;
    int sensorDelayMs = 0;
    int pass = -1;
    std::int32_t currentSensor = -1;
};

// Written by initialise and the pass calls, read by readReading: the program calls the library
// from one thread at a time, so only the counters and the trace need to be shared.
State g_state;
std::atomic<long> g_calls[5] = {}; // initialise, shutdown, sensorCount, readReading, outOfTurn
std::atomic<std::int32_t> g_lastFlags{0};
std::mutex g_traceMutex;
std::string g_trace;

void trace(const std::string& token)
{
    std::lock_guard<std::mutex> lock(g_traceMutex);
    if (!g_trace.empty())
        g_trace += ' ';
    g_trace += token;
}

std::int32_t switchInt(const abi::ReadingsFile& f, const char* key, std::int32_t fallback)
{
    auto it = f.switches.find(key);
    return it == f.switches.end() ? fallback : std::atoi(it->second.c_str());
}

bool load(State& st)
{
    const char* env = std::getenv("ZOLVEN_READINGS");
    const std::string path = env && *env ? env : "config.readings";
    std::string error;
    st = State{};
    if (!abi::loadReadings(path, st.file, &error)) {
        std::fprintf(stderr, "testmonitor: %s\n", error.c_str());
        return false;
    }
    std::int32_t declared = 0;
    for (const auto& s : st.file.sensors)
        declared = std::max(declared, s.index + 1);
    st.initStatus = switchInt(st.file, "init", 0);
    st.sensorCount = switchInt(st.file, "sensors", declared);
    st.validZero = switchInt(st.file, "valid", 1) == 0;
    st.sensorDelayMs = switchInt(st.file, "sensor_delay_ms", 0);

    for (const auto& readings : st.file.passes) {
        Block b;
        b.sensors = declared;
        b.table.assign(std::size_t(declared) * abi::kMaxReadingsPerSensor * 5, nullptr);
        for (const auto& r : readings) {
            const int slot = Block::typeSlot(r.type);
            if (slot >= 0 && r.sensor >= 0 && r.sensor < declared && r.index >= 0 &&
                r.index < abi::kMaxReadingsPerSensor)
                b.table[(std::size_t(r.sensor) * abi::kMaxReadingsPerSensor + r.index) * 5 + slot] =
                    &r;
            else
                b.other[Block::key(r.type, r.sensor, r.index)] = &r;
        }
        st.blocks.push_back(std::move(b));
    }
    return true;
}

} // namespace

TM_EXPORT std::int32_t ordinal_590(std::int32_t flags)
{
    ++g_calls[0];
    g_lastFlags = flags;
    trace("I" + std::to_string(flags));
    if (!load(g_state))
        return -1;
    return g_state.initStatus;
}

#if ZOLVEN_OMIT_ORDINAL != 906
TM_EXPORT void ordinal_906()
{
    ++g_calls[1];
    trace("X");
}
#endif

#if ZOLVEN_OMIT_ORDINAL != 883
TM_EXPORT std::int32_t ordinal_883()
{
    ++g_calls[2];
    trace("C");
    ++g_state.pass;
    g_state.currentSensor = -1;
    return g_state.sensorCount;
}
#endif

#if ZOLVEN_OMIT_ORDINAL != 726
TM_EXPORT void ordinal_726()
{
    trace("P");
}
#endif

#if ZOLVEN_OMIT_ORDINAL != 749
TM_EXPORT void ordinal_749(std::int32_t sensor)
{
    trace("S" + std::to_string(sensor));
    g_state.currentSensor = sensor;
    if (g_state.sensorDelayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(g_state.sensorDelayMs));
}
#endif

#if ZOLVEN_OMIT_ORDINAL != 618
TM_EXPORT void ordinal_618() {}
#endif

#if ZOLVEN_OMIT_ORDINAL != 106
TM_EXPORT std::uint8_t ordinal_106(std::int32_t type, std::int32_t sensor, std::int32_t index,
                                   void* record)
{
    ++g_calls[3];
    const State& st = g_state;
    if (sensor != st.currentSensor || st.blocks.empty()) {
        ++g_calls[4];
        return 0;
    }
    const Block& block =
        st.blocks[std::min<std::size_t>(st.pass < 0 ? 0 : st.pass, st.blocks.size() - 1)];
    const abi::FileReading* r = block.find(type, sensor, index);
    auto* out = static_cast<unsigned char*>(record);
    if (!r) {
        if (!st.validZero)
            return 0;
        std::memset(out, 0, abi::kRecordSize);
        return 1;
    }
    abi::RecordFields f;
    f.valid = !st.validZero;
    f.value = r->value;
    f.units = r->unit;
    f.readingLocation = r->readingLocation;
    f.label = r->label;
    f.type = r->recordType;
    if (const abi::FileSensor* s = st.file.sensor(sensor)) {
        f.sensorLocation = s->location;
        f.sensorName = s->name;
    }
    abi::encodeRecord(f, out);
    return 1;
}
#endif

// Test helpers. which: 590, 906, 883, 106 count those calls; 0 counts readReading calls for a
// sensor other than the one last begun (a contract violation).
TM_EXPORT long zolven_test_calls(int which)
{
    switch (which) {
    case 590:
        return g_calls[0];
    case 906:
        return g_calls[1];
    case 883:
        return g_calls[2];
    case 106:
        return g_calls[3];
    case 0:
        return g_calls[4];
    default:
        return -1;
    }
}

TM_EXPORT std::int32_t zolven_test_last_flags()
{
    return g_lastFlags;
}

// Copies the trace (NUL-terminated, cut to size) and returns its full length.
TM_EXPORT int zolven_test_trace(char* buffer, int size)
{
    std::lock_guard<std::mutex> lock(g_traceMutex);
    if (buffer && size > 0) {
        const std::size_t n = std::min<std::size_t>(g_trace.size(), std::size_t(size) - 1);
        std::memcpy(buffer, g_trace.data(), n);
        buffer[n] = '\0';
    }
    return static_cast<int>(g_trace.size());
}

TM_EXPORT void zolven_test_reset()
{
    for (auto& c : g_calls)
        c = 0;
    std::lock_guard<std::mutex> lock(g_traceMutex);
    g_trace.clear();
}
