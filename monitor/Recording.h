#pragma once

// Record and replay in the readings file format (abi/ReadingsFile.h): a recording of
// this library is a fixture the test library can replay, and the other way round.

#include "abi/ReadingsFile.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace zolven::monitor {

class Catalogue;

// Writes the sensors once, then one block of valid readings per pass, flushed at once so that
// a crash or a kill loses at most the last pass.
// The first line of every recording; a file that does not begin so was not written here.
inline constexpr const char* kRecordingMark = "# Readings recorded by config.dat";

class Recorder
{
public:
    Recorder() = default;
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // maxPasses 0: no limit.
    bool open(const std::string& path, long long maxPasses, std::string* why = nullptr);
    // The same on a file the caller opened for writing; takes it over.
    void open(std::FILE* file, long long maxPasses);
    bool isOpen() const { return m_file != nullptr; }
    void writeSensors(const Catalogue& catalogue);
    // Sensors declared after the first ones (a GPU found at a later pass); the file format
    // takes sensor lines anywhere.
    void writeNewSensors(const Catalogue& catalogue);
    void writePass(const Catalogue& catalogue);
    void close();
    long long passes() const { return m_passes; }

private:
    std::FILE* m_file = nullptr;
    std::int32_t m_sensorsWritten = 0;
    long long m_passes = 0;
    long long m_maxPasses = 0;
};

// Serves a readings file: pass k shows block k; the last block repeats, unless the file's
// "@ replay loop" switch starts it over. The test library serves its files through it too.
class Replay
{
public:
    bool load(const std::string& path, std::string* why = nullptr);
    bool parse(const std::string& text, std::string* why = nullptr);
    // A file read elsewhere.
    void use(abi::ReadingsFile file);
    // Declares the sensors and every reading any block holds.
    void declare(Catalogue& catalogue);
    // Shows block number pass (0-based count of passes since initialise).
    void apply(Catalogue& catalogue, long long pass) const;
    std::size_t blocks() const { return m_file.passes.size(); }

private:
    abi::ReadingsFile m_file;
    std::vector<std::vector<int>> m_slots; // per block, per reading
    bool m_loop = false;
};

} // namespace zolven::monitor
