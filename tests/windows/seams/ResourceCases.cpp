// The resources of the executable, compiled from app/win/ZOLVEN.rc into a stand-in program
// (resources/ZOLVEN.exe) and read back as Windows reads them.

#include "Cases.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstring>

namespace wintest {

namespace {

std::string resourceBytes(HMODULE module, const wchar_t* name, const wchar_t* type)
{
    HRSRC info = FindResourceW(module, name, type);
    HGLOBAL data = info ? LoadResource(module, info) : nullptr;
    const void* bytes = data ? LockResource(data) : nullptr;
    if (!bytes)
        return {};
    return std::string(static_cast<const char*>(bytes), SizeofResource(module, info));
}

BOOL CALLBACK countName(HMODULE, LPCWSTR, LPWSTR, LONG_PTR count)
{
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

unsigned u16(const std::string& b, std::size_t at)
{
    return unsigned(static_cast<unsigned char>(b[at])) |
           unsigned(static_cast<unsigned char>(b[at + 1])) << 8;
}

unsigned long u32(const std::string& b, std::size_t at)
{
    return u16(b, at) | static_cast<unsigned long>(u16(b, at + 2)) << 16;
}

// A string of the version block, or empty when it is absent or empty.
std::wstring versionText(const std::vector<char>& block, const wchar_t* name)
{
    void* value = nullptr;
    UINT len = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
    if (!VerQueryValueW(block.data(), path.c_str(), &value, &len) || !value || len == 0)
        return {};
    return std::wstring(static_cast<const wchar_t*>(value)).substr(0, len);
}

} // namespace

void resourceCases(Runner& runner, const std::wstring& binDir)
{
    const std::wstring exe = binDir + L"\\resources\\ZOLVEN.exe";
    // Read, never run: the manifest asks for administrator rights.
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);

    runner.run("resources: icon group IDI_ICON1 holds one 64x64 image of 32 bits", [&](Case& c) {
        if (!c.expect(module != nullptr, "resources/ZOLVEN.exe opens"))
            return;
        // GRPICONDIR: reserved, type 1, count; then 14-byte entries: width, height, colours,
        // reserved, planes, bit count, byte size, icon id.
        const std::string group = resourceBytes(module, L"IDI_ICON1", RT_GROUP_ICON);
        if (!c.expect(group.size() >= 6 + 14, "icon group IDI_ICON1 present"))
            return;
        c.equal(u16(group, 2), 1u, "resource type (icon)");
        c.equal(u16(group, 4), 1u, "images in the group");
        c.equal(unsigned(static_cast<unsigned char>(group[6])), 64u, "width");
        c.equal(unsigned(static_cast<unsigned char>(group[7])), 64u, "height");
        c.equal(u16(group, 6 + 6), 32u, "bits per pixel");
        const std::string image =
            resourceBytes(module, MAKEINTRESOURCEW(u16(group, 6 + 12)), RT_ICON);
        c.equal(static_cast<unsigned long>(image.size()), u32(group, 6 + 8),
                "image size as the group states");
    });

    runner.run("resources: one manifest, administrator rights and common controls 6", [&](Case& c) {
        if (!c.expect(module != nullptr, "resources/ZOLVEN.exe opens"))
            return;
        int manifests = 0;
        EnumResourceNamesW(module, RT_MANIFEST, countName, reinterpret_cast<LONG_PTR>(&manifests));
        // A second one (a toolchain's default) would make the process manifest ambiguous.
        c.equal(manifests, 1, "manifest resources");
        const std::string manifest =
            resourceBytes(module, CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST);
        if (!c.expect(!manifest.empty(), "process manifest (id 1) present"))
            return;
        for (const char* part : {"level=\"requireAdministrator\"", "uiAccess=\"false\"",
                                 "name=\"Microsoft.Windows.Common-Controls\"",
                                 "version=\"6.0.0.0\"", "publicKeyToken=\"6595b64144ccf1df\""})
            c.expect(manifest.find(part) != std::string::npos,
                     std::string("manifest says ") + part);
    });

    runner.run("resources: version block 0.0.0.0, ZOLVEN, U.S. English in Unicode", [&](Case& c) {
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &ignored);
        if (!c.expect(size > 0, "version block present"))
            return;
        std::vector<char> block(size);
        if (!c.expect(GetFileVersionInfoW(exe.c_str(), 0, size, block.data()) != 0,
                      "version block reads"))
            return;

        void* value = nullptr;
        UINT len = 0;
        if (c.expect(VerQueryValueW(block.data(), L"\\", &value, &len) &&
                         len >= sizeof(VS_FIXEDFILEINFO),
                     "fixed file info")) {
            const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
            c.equal(fixed->dwSignature, DWORD(0xFEEF04BD), "signature");
            c.expect(fixed->dwFileVersionMS == 0 && fixed->dwFileVersionLS == 0,
                     "file version 0.0.0.0");
            c.expect(fixed->dwProductVersionMS == 0 && fixed->dwProductVersionLS == 0,
                     "product version 0.0.0.0");
            c.equal(fixed->dwFileType, DWORD(VFT_APP), "file type");
        }
        if (c.expect(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &len) &&
                         len >= 4,
                     "translation")) {
            const auto* pair = static_cast<const WORD*>(value);
            c.equal(pair[0], WORD(0x0409), "language");
            c.equal(pair[1], WORD(1200), "code page");
        }
        const struct
        {
            const wchar_t* name;
            const wchar_t* value;
        } texts[] = {
            {L"ProductName", L"ZOLVEN"},  {L"OriginalFilename", L"ZOLVEN.exe"},
            {L"FileVersion", L"0.0.0.0"}, {L"ProductVersion", L"0.0.0.0"},
            {L"CompanyName", L""},        {L"FileDescription", L""},
            {L"InternalName", L""},       {L"LegalCopyright", L""},
        };
        for (const auto& t : texts)
            c.equal(utf8(versionText(block, t.name)), utf8(t.value), utf8(t.name));
    });

    if (module)
        FreeLibrary(module);
}

} // namespace wintest
