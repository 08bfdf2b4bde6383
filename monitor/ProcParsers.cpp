#include "monitor/ProcParsers.h"

#include <cstdlib>
#include <cstring>
#include <sstream>

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

std::string valueAfterColon(const std::string& line)
{
    const auto colon = line.find(':');
    if (colon == std::string::npos)
        return {};
    const auto b = line.find_first_not_of(" \t", colon + 1);
    if (b == std::string::npos)
        return {};
    const auto e = line.find_last_not_of(" \t\r");
    return line.substr(b, e + 1 - b);
}

std::string keyBeforeColon(const std::string& line)
{
    const auto colon = line.find(':');
    if (colon == std::string::npos)
        return {};
    const auto e = line.find_last_not_of(" \t", colon == 0 ? 0 : colon - 1);
    return e == std::string::npos || colon == 0 ? std::string() : line.substr(0, e + 1);
}

double parseDouble(const std::string& s, bool& ok)
{
    // Plain C parsing would follow the process locale (a comma decimal point under some
    // locales); procfs always writes a dot.
    std::istringstream in(s);
    in.imbue(std::locale::classic());
    double v = 0.0;
    in >> v;
    ok = !in.fail();
    return v;
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
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const std::string key = keyBeforeColon(line);
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
            *target = std::atoll(valueAfterColon(line).c_str());
    }
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
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const std::string key = keyBeforeColon(line);
        if (key == "processor") {
            CpuInfoEntry e;
            e.processor = std::atoi(valueAfterColon(line).c_str());
            out.push_back(e);
        } else if (key == "cpu MHz" && !out.empty()) {
            bool ok = false;
            const double v = parseDouble(valueAfterColon(line), ok);
            if (ok)
                out.back().mhz = v;
        }
    }
    return out;
}

std::string cpuModelName(const std::string& text)
{
    std::istringstream in(text);
    std::string line;
    // x86 says "model name"; many ARM kernels only "Hardware" or "Processor".
    std::string fallback;
    while (std::getline(in, line)) {
        const std::string key = keyBeforeColon(line);
        if (key == "model name")
            return valueAfterColon(line);
        if ((key == "Hardware" || key == "Processor") && fallback.empty())
            fallback = valueAfterColon(line);
    }
    return fallback;
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
