// The Win32 pieces of ZOLVEN that need no Qt, run on Windows or under Wine.
//   zolven_win_tests [library|system|resources]...    no section: all of them
// Prints one line per case and "N passed, N failed"; exits 1 on any failure.

#include "Cases.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::wstring programDirectory()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0)
            return L".";
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L"\\/"));
}

void printWineVersion()
{
    // Present only under Wine; worth a line in the log when a result differs from Windows.
    using VersionFn = const char* (*)();
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    FARPROC proc = ntdll ? GetProcAddress(ntdll, "wine_get_version") : nullptr;
    if (proc)
        std::printf("Wine %s\n", reinterpret_cast<VersionFn>(reinterpret_cast<void*>(proc))());
}

} // namespace

int main(int argc, char** argv)
{
    printWineVersion();
    const std::wstring binDir = programDirectory();
    std::vector<std::string> sections(argv + 1, argv + argc);
    if (sections.empty())
        sections = {"library", "system", "resources"};

    wintest::Runner runner;
    for (const std::string& section : sections) {
        if (section == "library") {
            wintest::libraryCases(runner, binDir);
        } else if (section == "system") {
            wintest::systemCases(runner);
        } else if (section == "resources") {
            wintest::resourceCases(runner, binDir);
        } else {
            std::fprintf(stderr, "unknown section: %s\n", section.c_str());
            return 2;
        }
    }
    return runner.finish();
}
