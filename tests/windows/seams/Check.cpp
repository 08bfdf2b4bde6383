#include "Check.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>

namespace wintest {

bool Case::expect(bool ok, const std::string& what)
{
    if (!ok)
        m_failures.push_back(what);
    return ok;
}

void Runner::run(const std::string& name, const std::function<void(Case&)>& body)
{
    Case c;
    body(c);
    const bool ok = c.failures().empty();
    (ok ? m_passed : m_failed)++;
    std::printf("%s  %s\n", ok ? "PASS" : "FAIL", name.c_str());
    for (const std::string& f : c.failures())
        std::printf("        failed: %s\n", f.c_str());
    for (const std::string& n : c.notes())
        std::printf("        %s\n", n.c_str());
    std::fflush(stdout);
}

int Runner::finish() const
{
    std::printf("%d passed, %d failed\n", m_passed, m_failed);
    std::fflush(stdout);
    return m_failed == 0 && m_passed > 0 ? 0 : 1;
}

std::string utf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int len = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                        nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(len > 0 ? len : 0), '\0');
    if (len > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], len,
                            nullptr, nullptr);
    return out;
}

} // namespace wintest
