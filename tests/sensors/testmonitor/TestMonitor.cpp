// A hardware-monitor library for tests: exports the seven entry points (POSIX: ordinal_<N>,
// Windows: by ordinal through a .def file) and replays a readings file through our Linux
// library's replay code (monitor/Recording.h).
//
// The readings file is read by every initialise call, from the path in the environment
// variable ZOLVEN_READINGS, else from "config.readings" in the current directory (the
// program's directory, beside config.dat). Its syntax is in abi/ReadingsFile.h. Block k
// answers the k-th enumeration pass after initialise (counted by sensorCount calls); the last
// block repeats, whatever "@ replay loop" says. Switches:
//   @ init <status>          initialise returns this status (default 0)
//   @ sensors <n>            sensorCount returns n (default: highest declared sensor + 1)
//   @ valid 0                every readReading returns true with the valid flag left 0
//   @ sensor_delay_ms <n>    beginSensor sleeps n ms, to make a pass slow
//   @ trace 1                every traced call is also written to stderr ("testmonitor: P"), for
//                            tests that watch another process
//   @ hang_from_pass <n>     from the n-th enumeration pass on (0 is the first), beginSensor
//                            never returns: a library call that hangs
// A build with ZOLVEN_OMIT_ORDINAL=<N> lacks that entry point.
//
// For tests, extra C functions count the calls and keep a trace of all but readReading:
// "I<flags>" initialise, "X" shutdown, "C" sensorCount, "P" beginPass, "S<i>" beginSensor.

#include "abi/Export.h"
#include "abi/MonitorAbi.h"
#include "abi/ReadingRecord.h"
#include "abi/ReadingsFile.h"
#include "monitor/Catalogue.h"
#include "monitor/Recording.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#ifndef ZOLVEN_OMIT_ORDINAL
#define ZOLVEN_OMIT_ORDINAL 0
#endif

namespace abi = zolven::abi;
namespace monitor = zolven::monitor;

namespace {

struct State
{
    monitor::Replay replay;
    monitor::Catalogue catalogue;
    bool loaded = false;
    long long shown = -1; // the block the catalogue holds
    std::int32_t initStatus = 0;
    std::int32_t sensorCount = 0;
    bool validZero = false;
    int sensorDelayMs = 0;
    long long hangFromPass = -1;
    long long pass = -1;
    std::int32_t currentSensor = -1;

    void show(long long block)
    {
        if (block != shown)
            replay.apply(catalogue, block);
        shown = block;
    }
};

// Written by initialise and the pass calls, read by readReading: the program calls the library
// from one thread at a time, so only the counters and the trace need to be shared.
State g_state;
std::atomic<long> g_calls[5] = {}; // initialise, shutdown, sensorCount, readReading, outOfTurn
std::atomic<std::int32_t> g_lastFlags{0};
std::mutex g_traceMutex;
std::string g_trace;
std::atomic<bool> g_traceToStderr{false};

void trace(const std::string& token)
{
    std::lock_guard<std::mutex> lock(g_traceMutex);
    if (g_traceToStderr)
        std::fprintf(stderr, "testmonitor: %s\n", token.c_str());
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
    abi::ReadingsFile file;
    if (!abi::loadReadings(path, file, &error)) {
        std::fprintf(stderr, "testmonitor: %s\n", error.c_str());
        return false;
    }
    std::int32_t declared = 0;
    for (const auto& s : file.sensors)
        declared = std::max(declared, s.index + 1);
    st.initStatus = switchInt(file, "init", 0);
    st.sensorCount = switchInt(file, "sensors", declared);
    st.validZero = switchInt(file, "valid", 1) == 0;
    st.sensorDelayMs = switchInt(file, "sensor_delay_ms", 0);
    st.hangFromPass = switchInt(file, "hang_from_pass", -1);
    g_traceToStderr = switchInt(file, "trace", 0) != 0;

    st.replay.use(std::move(file));
    st.replay.declare(st.catalogue);
    st.show(0);
    st.loaded = true;
    return true;
}

} // namespace

ZOLVEN_ABI_EXPORT std::int32_t ordinal_590(std::int32_t flags)
{
    ++g_calls[0];
    g_lastFlags = flags;
    trace("I" + std::to_string(flags));
    if (!load(g_state))
        return -1;
    return g_state.initStatus;
}

#if ZOLVEN_OMIT_ORDINAL != 906
ZOLVEN_ABI_EXPORT void ordinal_906()
{
    ++g_calls[1];
    trace("X");
}
#endif

#if ZOLVEN_OMIT_ORDINAL != 883
ZOLVEN_ABI_EXPORT std::int32_t ordinal_883()
{
    ++g_calls[2];
    trace("C");
    ++g_state.pass;
    g_state.currentSensor = -1;
    // Never past the last block, so that "@ replay loop" changes nothing here.
    if (g_state.loaded)
        g_state.show(std::min(g_state.pass, static_cast<long long>(g_state.replay.blocks()) - 1));
    return g_state.sensorCount;
}
#endif

#if ZOLVEN_OMIT_ORDINAL != 726
ZOLVEN_ABI_EXPORT void ordinal_726()
{
    trace("P");
}
#endif

#if ZOLVEN_OMIT_ORDINAL != 749
ZOLVEN_ABI_EXPORT void ordinal_749(std::int32_t sensor)
{
    trace("S" + std::to_string(sensor));
    g_state.currentSensor = sensor;
    if (g_state.sensorDelayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(g_state.sensorDelayMs));
    if (g_state.hangFromPass >= 0 && g_state.pass >= g_state.hangFromPass) {
        std::fprintf(stderr, "testmonitor: hanging in pass %lld\n", g_state.pass);
        for (;;)
            std::this_thread::sleep_for(std::chrono::seconds(1));
    }
}
#endif

#if ZOLVEN_OMIT_ORDINAL != 618
ZOLVEN_ABI_EXPORT void ordinal_618() {}
#endif

#if ZOLVEN_OMIT_ORDINAL != 106
ZOLVEN_ABI_EXPORT std::uint8_t ordinal_106(std::int32_t type, std::int32_t sensor,
                                           std::int32_t index, void* record)
{
    ++g_calls[3];
    const State& st = g_state;
    if (sensor != st.currentSensor || !st.loaded) {
        ++g_calls[4];
        return 0;
    }
    auto* out = static_cast<unsigned char*>(record);
    if (!st.catalogue.fill(type, sensor, index, out)) {
        if (!st.validZero)
            return 0;
        std::memset(out, 0, abi::kRecordSize);
        return 1;
    }
    if (st.validZero)
        out[abi::offs::valid] = 0;
    return 1;
}
#endif

// Test helpers. which: 590, 906, 883, 106 count those calls; 0 counts readReading calls for a
// sensor other than the one last begun (a contract violation).
ZOLVEN_ABI_EXPORT long zolven_test_calls(int which)
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

ZOLVEN_ABI_EXPORT std::int32_t zolven_test_last_flags()
{
    return g_lastFlags;
}

// Copies the trace (NUL-terminated, cut to size) and returns its full length.
ZOLVEN_ABI_EXPORT int zolven_test_trace(char* buffer, int size)
{
    std::lock_guard<std::mutex> lock(g_traceMutex);
    if (buffer && size > 0) {
        const std::size_t n = std::min<std::size_t>(g_trace.size(), std::size_t(size) - 1);
        std::memcpy(buffer, g_trace.data(), n);
        buffer[n] = '\0';
    }
    return static_cast<int>(g_trace.size());
}

ZOLVEN_ABI_EXPORT void zolven_test_reset()
{
    for (auto& c : g_calls)
        c = 0;
    std::lock_guard<std::mutex> lock(g_traceMutex);
    g_trace.clear();
}
