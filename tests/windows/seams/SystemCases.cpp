// The processor's brand text, the display adapters, and the readings text of the shared ABI
// code, on Windows.

#include "Cases.h"

#include "abi/ReadingsFile.h"
#include "sensors/platform/CpuBrand.h"
#include "sensors/platform/DisplayAdapters.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace wintest {

namespace {

namespace abi = zolven::abi;
namespace platform = zolven::sensors::platform;

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") + 1 - first);
}

// What Windows (and Wine) record as the processor's name, or empty.
std::string registryProcessorName()
{
    wchar_t name[256] = {};
    DWORD size = sizeof name;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0",
                     L"ProcessorNameString", RRF_RT_REG_SZ, nullptr, name, &size) != ERROR_SUCCESS)
        return {};
    return utf8(name);
}

bool validUtf8(const std::string& text)
{
    return text.empty() || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                               static_cast<int>(text.size()), nullptr, 0) > 0;
}

} // namespace

void systemCases(Runner& runner)
{
    runner.run("cpu: 48 bytes of brand text from CPUID, then 16 zero bytes", [](Case& c) {
        const std::string raw = platform::cpuBrandBytes();
        if (!c.equal(raw.size(), std::size_t(64), "brand bytes"))
            return;
        bool tailZero = true;
        for (std::size_t i = 48; i < 64; ++i)
            tailZero = tailZero && raw[i] == '\0';
        c.expect(tailZero, "bytes 48..63 are zero");
        const std::string text = raw.substr(0, raw.find('\0'));
        bool printable = true;
        for (unsigned char ch : text)
            printable = printable && ch >= 0x20 && ch < 0x7F;
        c.expect(printable, "brand text is printable ASCII");
        c.expect(!trimmed(text).empty(), "brand text present");
        c.note("brand: \"" + text + "\"");

        const std::string recorded = registryProcessorName();
        if (recorded.empty())
            c.note("no ProcessorNameString in the registry to compare with");
        else
            c.equal(trimmed(text), trimmed(recorded), "brand against ProcessorNameString");
    });

    runner.run("adapters: EnumDisplayDevicesW with the 840-byte record", [](Case& c) {
        c.equal(sizeof(DISPLAY_DEVICEW), std::size_t(840), "record size");
        const std::vector<std::string> names = platform::displayAdapterNames();
        // Windows always lists one at least (the basic display driver), and so does Wine.
        c.expect(!names.empty(), "at least one adapter");
        for (std::size_t i = 0; i < names.size(); ++i) {
            c.expect(!names[i].empty(), "adapter " + std::to_string(i) + " has a description");
            c.expect(validUtf8(names[i]), "adapter " + std::to_string(i) + " text is UTF-8");
            c.note("adapter " + std::to_string(i) + ": \"" + names[i] + "\"");
        }
    });

    runner.run("abi: readings text reads the same with CRLF line ends", [](Case& c) {
        // Files checked out on Windows may carry CRLF; numbers must not follow the C locale.
        const std::string lf = "# machine\n"
                               "S 0 11 CPU [#0]: Test Processor\n"
                               "R 0 0 1 10 -12.75 \xC2\xB0"
                               "C CPU Package\n"
                               "R 0 1 6/7 10 0.001 MHz Core #0 Clock\n";
        std::string crlf;
        for (char ch : lf)
            crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);

        abi::ReadingsFile a, b;
        std::string error;
        c.expect(abi::parseReadings(lf, a, &error), "LF text parses: " + error);
        c.expect(abi::parseReadings(crlf, b, &error), "CRLF text parses: " + error);
        if (!c.equal(a.passes.size(), std::size_t(1), "passes") ||
            !c.equal(b.passes.size(), std::size_t(1), "CRLF passes") ||
            !c.equal(b.passes[0].size(), std::size_t(2), "CRLF readings") ||
            !c.equal(b.sensors.size(), std::size_t(1), "CRLF sensors"))
            return;
        c.equal(b.sensors[0].name, std::string("CPU [#0]: Test Processor"), "sensor name");
        const abi::FileReading& r = b.passes[0][1];
        c.equal(r.label, std::string("Core #0 Clock"), "label without CR");
        c.equal(r.type, 6, "requested type");
        c.equal(r.recordType, 7, "record type");
        c.equal(r.value, 0.001, "value");
        c.equal(b.passes[0][0].unit,
                std::string("\xC2\xB0"
                            "C"),
                "unit bytes");
        c.equal(abi::formatReading(b.passes[0][0]), abi::formatReading(a.passes[0][0]),
                "formatted alike");
        c.equal(abi::formatReading(a.passes[0][0]),
                std::string("R 0 0 1 10 -12.75 \xC2\xB0"
                            "C CPU Package"),
                "formatted line");
    });
}

} // namespace wintest
