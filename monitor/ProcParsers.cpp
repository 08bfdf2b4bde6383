#include "monitor/ProcParsers.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

namespace zolven::monitor {
namespace {

// Reads the unsigned decimal at p, advancing it; false when none.
bool nextNumber(const char*& p, const char* end, std::uint64_t& v)
{
    while (p < end && (*p == ' ' || *p == '\t'))
        ++p;
    if (p >= end || *p < '0' || *p > '9')
        return false;
    v = 0;
    while (p < end && *p >= '0' && *p <= '9')
        v = v * 10 + static_cast<std::uint64_t>(*p++ - '0');
    return true;
}

// procfs always writes a dot, whatever the process locale: from_chars never looks at it.
bool parseDouble(std::string_view s, double& v)
{
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && std::isfinite(v);
}

// The whole number at the start of value (0 when there is none), as atoll reads it.
long long leadingInteger(std::string_view value)
{
    if (!value.empty() && value.front() == '+')
        value.remove_prefix(1);
    long long v = 0;
    if (std::from_chars(value.data(), value.data() + value.size(), v).ec != std::errc())
        return 0;
    return v;
}

// Calls f(key, value) for each "key : value" line of a procfs text, blanks around the colon
// and at the end of the line left out. Runs every pass: no copies, no streams.
template <typename F>
void forEachField(const std::string& text, F&& f)
{
    const char* p = text.data();
    const char* const end = p + text.size();
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (p < end) {
        const char* eol = static_cast<const char*>(std::memchr(p, '\n', end - p));
        if (!eol)
            eol = end;
        const char* colon = static_cast<const char*>(std::memchr(p, ':', eol - p));
        if (colon) {
            const char* keyEnd = colon;
            while (keyEnd > p && blank(keyEnd[-1]))
                --keyEnd;
            const char* value = colon + 1;
            while (value < eol && blank(*value))
                ++value;
            const char* valueEnd = eol;
            while (valueEnd > value && (blank(valueEnd[-1]) || valueEnd[-1] == '\r'))
                --valueEnd;
            f(std::string_view(p, keyEnd - p), std::string_view(value, valueEnd - value));
        }
        p = eol + 1;
    }
}

} // namespace

std::vector<CpuTimes> parseProcStat(const std::string& text)
{
    std::vector<CpuTimes> out;
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        const char* eol = static_cast<const char*>(std::memchr(p, '\n', end - p));
        if (!eol)
            eol = end;
        if (eol - p > 3 && std::memcmp(p, "cpu", 3) == 0) {
            const char* q = p + 3;
            CpuTimes t;
            if (q < eol && *q >= '0' && *q <= '9') {
                std::uint64_t n = 0;
                nextNumber(q, eol, n);
                t.cpu = static_cast<int>(n);
            }
            // user nice system idle iowait irq softirq steal; guest and guest_nice are
            // already inside user and nice.
            std::uint64_t f[8] = {};
            int count = 0;
            while (count < 8 && nextNumber(q, eol, f[count]))
                ++count;
            if (count >= 4) {
                for (int i = 0; i < count; ++i)
                    t.total += f[i];
                const std::uint64_t idle = f[3] + (count > 4 ? f[4] : 0);
                t.busy = t.total - idle;
                out.push_back(t);
            }
        } else if (!out.empty()) {
            break; // the cpu lines come first and together
        }
        p = eol + 1;
    }
    return out;
}

MemInfo parseMemInfo(const std::string& text)
{
    MemInfo m;
    forEachField(text, [&m](std::string_view key, std::string_view value) {
        long long* target = nullptr;
        if (key == "MemTotal")
            target = &m.totalKb;
        else if (key == "MemAvailable")
            target = &m.availableKb;
        else if (key == "MemFree")
            target = &m.freeKb;
        else if (key == "Buffers")
            target = &m.buffersKb;
        else if (key == "Cached")
            target = &m.cachedKb;
        if (target)
            *target = leadingInteger(value);
    });
    return m;
}

bool memoryLoad(const MemInfo& m, double& percent, double& usedMb, double& availableMb)
{
    if (m.totalKb <= 0)
        return false;
    long long available = m.availableKb;
    if (available < 0) {
        if (m.freeKb < 0)
            return false;
        available =
            m.freeKb + (m.buffersKb > 0 ? m.buffersKb : 0) + (m.cachedKb > 0 ? m.cachedKb : 0);
    }
    if (available > m.totalKb)
        available = m.totalKb;
    const long long used = m.totalKb - available;
    percent = 100.0 * static_cast<double>(used) / static_cast<double>(m.totalKb);
    usedMb = static_cast<double>(used) / 1024.0;
    availableMb = static_cast<double>(available) / 1024.0;
    return true;
}

std::vector<CpuInfoEntry> parseCpuInfo(const std::string& text)
{
    std::vector<CpuInfoEntry> out;
    forEachField(text, [&out](std::string_view key, std::string_view value) {
        if (key == "processor") {
            CpuInfoEntry e;
            e.processor = static_cast<int>(leadingInteger(value));
            out.push_back(e);
        } else if (key == "cpu MHz" && !out.empty()) {
            double v = 0.0;
            if (parseDouble(value, v))
                out.back().mhz = v;
        }
    });
    return out;
}

void LoadMeter::baseline(std::uint64_t busy, std::uint64_t total)
{
    m_busy = busy;
    m_total = total;
    m_hasBaseline = true;
}

bool LoadMeter::sample(std::uint64_t busy, std::uint64_t total, double& percent)
{
    if (!m_hasBaseline) {
        baseline(busy, total);
        return false;
    }
    const std::uint64_t dTotal = total > m_total ? total - m_total : 0;
    const std::uint64_t dBusy = busy > m_busy ? busy - m_busy : 0;
    if (dTotal < m_minTicks || dTotal == 0) {
        // Keep the old baseline so that the window grows until it is long enough.
        if (total < m_total)
            baseline(busy, total);
        if (m_hasValue)
            percent = m_last;
        return m_hasValue;
    }
    double p = 100.0 * static_cast<double>(dBusy) / static_cast<double>(dTotal);
    if (p > 100.0)
        p = 100.0;
    m_last = p;
    m_hasValue = true;
    baseline(busy, total);
    percent = p;
    return true;
}

} // namespace zolven::monitor
