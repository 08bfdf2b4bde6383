// Binding the hardware-monitor library by ordinal, against test builds of config.dat (see
// testlib/): the full library and one lacking ordinal 618.

#include "Cases.h"

#include "abi/MonitorAbi.h"
#include "abi/ReadingRecord.h"
#include "sensors/platform/LibraryLoader.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <dbghelp.h>

namespace zolven::sensors::platform {
// Windows only, so not in the seam header: whether the loaded module's export table holds the
// ordinal.
bool exportsOrdinal(void* library, int ordinal);
} // namespace zolven::sensors::platform

namespace wintest {

namespace {

namespace abi = zolven::abi;
namespace platform = zolven::sensors::platform;

// As the program loads it: "./config.dat" against the current directory.
void* loadFrom(const std::wstring& dir)
{
    SetCurrentDirectoryW(dir.c_str());
    return platform::openLibrary("./config.dat");
}

template <typename Fn>
Fn entry(void* library, int ordinal)
{
    return reinterpret_cast<Fn>(platform::resolveOrdinal(library, ordinal));
}

struct Entries
{
    abi::InitializeFn initialize = nullptr;
    abi::ShutdownFn shutdown = nullptr;
    abi::SensorCountFn sensorCount = nullptr;
    abi::BeginPassFn beginPass = nullptr;
    abi::BeginSensorFn beginSensor = nullptr;
    abi::ReadReadingFn readReading = nullptr;

    explicit Entries(void* lib)
        : initialize(entry<abi::InitializeFn>(lib, abi::OrdInitialize)),
          shutdown(entry<abi::ShutdownFn>(lib, abi::OrdShutdown)),
          sensorCount(entry<abi::SensorCountFn>(lib, abi::OrdSensorCount)),
          beginPass(entry<abi::BeginPassFn>(lib, abi::OrdBeginPass)),
          beginSensor(entry<abi::BeginSensorFn>(lib, abi::OrdBeginSensor)),
          readReading(entry<abi::ReadReadingFn>(lib, abi::OrdReadReading))
    {}
    bool complete() const
    {
        return initialize && shutdown && sensorCount && beginPass && beginSensor && readReading;
    }
};

// The record the test library writes for (type, sensor, 0); see testlib/TestLibrary.cpp.
abi::RecordFields expectedPlain(std::int32_t type, std::int32_t sensor)
{
    abi::RecordFields f;
    f.valid = true;
    f.value = sensor * 1000.0 + type / 8.0;
    f.units = "\xC2\xB0"
              "C";
    f.sensorLocation = 11 + sensor;
    f.sensorName = "Sensor " + std::to_string(sensor);
    f.readingLocation = 100 + type;
    f.label = "t" + std::to_string(type) + " s" + std::to_string(sensor) + " r0";
    f.type = sensor == 1 && type == 1 ? 7 : type;
    return f;
}

void compareRecord(Case& c, const abi::RecordFields& got, const abi::RecordFields& want,
                   const std::string& where)
{
    c.equal(got.valid, want.valid, where + " valid flag");
    c.equal(got.value, want.value, where + " value");
    c.equal(got.units, want.units, where + " unit text");
    c.equal(got.sensorLocation, want.sensorLocation, where + " sensor location");
    c.equal(got.sensorName, want.sensorName, where + " sensor name");
    c.equal(got.readingLocation, want.readingLocation, where + " reading location");
    c.equal(got.label, want.label, where + " label");
    c.equal(got.type, want.type, where + " type");
}

// The export directory as dbghelp reads it, independently of the loader under test.
const IMAGE_EXPORT_DIRECTORY* exportDirectory(void* library)
{
    ULONG size = 0;
    return static_cast<const IMAGE_EXPORT_DIRECTORY*>(
        ImageDirectoryEntryToData(library, TRUE, IMAGE_DIRECTORY_ENTRY_EXPORT, &size));
}

void writeFile(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

} // namespace

void libraryCases(Runner& runner, const std::wstring& binDir)
{
    void* full = loadFrom(binDir + L"\\full");

    runner.run("library: all seven ordinals bind from ./config.dat", [&](Case& c) {
        if (!c.expect(full != nullptr, "full/config.dat loads"))
            return;
        void* seen[7] = {};
        for (int k = 0; k < 7; ++k) {
            seen[k] = platform::resolveOrdinal(full, abi::kOrdinals[k]);
            c.expect(seen[k] != nullptr, "ordinal " + std::to_string(abi::kOrdinals[k]) + " bound");
            for (int m = 0; m < k; ++m)
                c.expect(seen[k] == nullptr || seen[k] != seen[m],
                         "ordinals " + std::to_string(abi::kOrdinals[m]) + " and " +
                             std::to_string(abi::kOrdinals[k]) + " bound to one address");
        }
    });

    runner.run("library: config.dat exports no names, so only ordinals can bind it", [&](Case& c) {
        if (!c.expect(full != nullptr, "full/config.dat loads"))
            return;
        const IMAGE_EXPORT_DIRECTORY* dir = exportDirectory(full);
        if (!c.expect(dir != nullptr, "export directory present"))
            return;
        c.equal(dir->NumberOfNames, DWORD(0), "exported names");
        c.equal(dir->Base, DWORD(106), "lowest ordinal");
        c.equal(dir->NumberOfFunctions, DWORD(906 - 106 + 1), "ordinal span");
        for (const char* name : {"tl_initialize", "ordinal_590", "initialize"})
            c.expect(GetProcAddress(static_cast<HMODULE>(full), name) == nullptr,
                     std::string("lookup by name \"") + name + "\" fails");
    });

    runner.run(
        "library: ordinals in the gaps of the export table resolve to nothing", [&](Case& c) {
            if (!c.expect(full != nullptr, "full/config.dat loads"))
                return;
            // GetProcAddress may answer a gap with a bogus non-null address on Windows, though Wine
            // does not; the loader has to consult the export table itself.
            for (int ordinal : {0, 1, 105, 107, 617, 619, 905, 907, 65535}) {
                c.expect(!platform::exportsOrdinal(full, ordinal),
                         "export table lacks " + std::to_string(ordinal));
                c.expect(platform::resolveOrdinal(full, ordinal) == nullptr,
                         std::to_string(ordinal) + " resolves to nothing");
            }
            for (int ordinal : abi::kOrdinals)
                c.expect(platform::exportsOrdinal(full, ordinal),
                         "export table holds " + std::to_string(ordinal));
            c.expect(!platform::exportsOrdinal(GetModuleHandleW(nullptr), abi::OrdInitialize),
                     "a module without an export table exports nothing");
            c.expect(!platform::exportsOrdinal(nullptr, abi::OrdInitialize),
                     "no module, no export");
        });

    runner.run("library: results are read at the contract's widths", [&](Case& c) {
        if (!c.expect(full != nullptr, "full/config.dat loads"))
            return;
        const Entries lib(full);
        if (!c.expect(lib.complete(), "entry points bound"))
            return;
        // Each result carries garbage above its width (see the test library).
        c.equal(lib.initialize(abi::kInitializeFlags), 0, "initialize(64) status");
        c.equal(lib.initialize(5), 1005, "initialize(5) status");
        c.equal(lib.sensorCount(), 2, "sensor count");
        lib.beginPass();
        lib.beginSensor(0);
        unsigned char record[abi::kRecordSize];
        c.equal(int(lib.readReading(2, 0, 0, record)), 0, "an unanswered reading is false");
        c.expect(lib.readReading(1, 0, 0, record) != 0, "an answered reading is true");
        lib.shutdown();
    });

    runner.run("library: records decode at the contract's offsets", [&](Case& c) {
        if (!c.expect(full != nullptr, "full/config.dat loads"))
            return;
        const Entries lib(full);
        if (!c.expect(lib.complete(), "entry points bound"))
            return;
        lib.initialize(abi::kInitializeFlags);
        lib.sensorCount();
        lib.beginPass();
        // Unaligned on purpose: the caller's buffer is plain bytes.
        unsigned char storage[abi::kRecordSize + 1];
        unsigned char* record = storage + 1;
        for (std::int32_t sensor = 0; sensor < 2; ++sensor) {
            lib.beginSensor(sensor);
            for (std::int32_t type : abi::kReadingTypes) {
                const std::string where =
                    "type " + std::to_string(type) + " sensor " + std::to_string(sensor) + ":";
                if (!c.expect(lib.readReading(type, sensor, 0, record) != 0, where + " answered"))
                    continue;
                compareRecord(c, abi::decodeRecord(record), expectedPlain(type, sensor), where);
            }
        }

        lib.beginSensor(1);
        c.expect(lib.readReading(8, 1, 1, record) != 0, "invalid reading answered");
        c.expect(!abi::decodeRecord(record).valid, "a record with flag 0 decodes as invalid");

        c.expect(lib.readReading(6, 1, 511, record) != 0, "full-width reading answered");
        const abi::RecordFields wide = abi::decodeRecord(record);
        c.equal(wide.units, std::string(32, 'u'), "unit text bounded by 32 bytes");
        c.equal(wide.sensorName, std::string(256, 's'), "sensor name bounded by 256 bytes");
        c.equal(wide.label, std::string(128, 'l'), "label bounded by 128 bytes");
        c.equal(wide.value, 1000.0 + 511 + 6 / 8.0, "value beside full-width texts");
        lib.shutdown();
    });

    runner.run("library: a config.dat lacking ordinal 618 is refused", [&](Case& c) {
        void* partial = loadFrom(binDir + L"\\no618");
        if (!c.expect(partial != nullptr, "no618/config.dat loads"))
            return;
        c.expect(partial != full, "a second module, not the full library again");
        int bound = 0;
        for (int ordinal : abi::kOrdinals)
            bound += platform::resolveOrdinal(partial, ordinal) != nullptr;
        c.equal(bound, 6, "ordinals bound");
        c.expect(platform::resolveOrdinal(partial, abi::OrdReserved) == nullptr, "618 unbound");
        c.expect(!platform::exportsOrdinal(partial, abi::OrdReserved), "618 not in the table");
    });

    runner.run("library: a missing or foreign config.dat gives no handle", [&](Case& c) {
        wchar_t temp[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH, temp);
        const std::wstring dir = std::wstring(temp) + L"zolven-win-tests";
        CreateDirectoryW(dir.c_str(), nullptr);
        DeleteFileW((dir + L"\\config.dat").c_str());
        c.expect(loadFrom(dir) == nullptr, "missing config.dat: no handle");

        writeFile(dir + L"\\config.dat", "not a library\r\n");
        c.expect(loadFrom(dir) == nullptr, "text file named config.dat: no handle");
        DeleteFileW((dir + L"\\config.dat").c_str());
        RemoveDirectoryW(dir.c_str());
    });

    SetCurrentDirectoryW(binDir.c_str());
}

} // namespace wintest
