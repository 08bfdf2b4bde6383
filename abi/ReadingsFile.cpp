#include "ReadingsFile.h"

#include <cerrno>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace zolven::abi {
namespace {

// Splits off the next blank-separated token of line, starting at pos.
bool nextToken(const std::string& line, std::size_t& pos, std::string& token)
{
    pos = line.find_first_not_of(" \t", pos);
    if (pos == std::string::npos)
        return false;
    const std::size_t end = line.find_first_of(" \t", pos);
    token = line.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    pos = end == std::string::npos ? line.size() : end;
    return true;
}

std::string restOfLine(const std::string& line, std::size_t pos)
{
    // Skips what the end trims too: a rest of carriage returns alone is empty, not kept whole.
    pos = line.find_first_not_of(" \t\r", pos);
    if (pos == std::string::npos)
        return {};
    std::size_t end = line.find_last_not_of(" \t\r");
    return line.substr(pos, end + 1 - pos);
}

bool toInt(const std::string& s, std::int32_t& v)
{
    const char* b = s.data();
    const char* e = b + s.size();
    auto r = std::from_chars(b, e, v);
    return r.ec == std::errc() && r.ptr == e;
}

bool toDouble(const std::string& s, double& v)
{
    if (s == "nan" || s == "-nan") {
        v = std::nan("");
        return true;
    }
    if (s == "inf" || s == "+inf") {
        v = HUGE_VAL;
        return true;
    }
    if (s == "-inf") {
        v = -HUGE_VAL;
        return true;
    }
    // istringstream with the classic locale: immune to the process's LC_NUMERIC.
    std::istringstream in(s);
    in.imbue(std::locale::classic());
    in >> v;
    return !in.fail() && in.peek() == std::char_traits<char>::eof();
}

std::string formatDouble(double v)
{
    if (std::isnan(v))
        return "nan";
    if (std::isinf(v))
        return v > 0 ? "inf" : "-inf";
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out.precision(17);
    out << v;
    // Prefer the shortest text that reads back to the same double.
    for (int p = 1; p <= 17; ++p) {
        std::ostringstream t;
        t.imbue(std::locale::classic());
        t.precision(p);
        t << v;
        double back;
        if (toDouble(t.str(), back) && back == v)
            return t.str();
    }
    return out.str();
}

} // namespace

const FileSensor* ReadingsFile::sensor(std::int32_t index) const
{
    for (const auto& s : sensors)
        if (s.index == index)
            return &s;
    return nullptr;
}

bool parseReadings(const std::string& text, ReadingsFile& out, std::string* error)
{
    out = ReadingsFile{};
    out.passes.emplace_back();
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    auto fail = [&](const char* why) {
        if (error)
            *error = "line " + std::to_string(lineNo) + ": " + why;
        return false;
    };
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::size_t pos = 0;
        std::string kind;
        if (!nextToken(line, pos, kind) || kind[0] == '#')
            continue;
        if (kind == "@") {
            std::string key;
            if (!nextToken(line, pos, key))
                return fail("switch without a key");
            out.switches[key] = restOfLine(line, pos);
        } else if (kind == "S") {
            FileSensor s;
            std::string a, b;
            if (!nextToken(line, pos, a) || !nextToken(line, pos, b) || !toInt(a, s.index) ||
                !toInt(b, s.location))
                return fail("sensor line needs: S <sensor> <location> <name>");
            s.name = restOfLine(line, pos);
            out.sensors.push_back(std::move(s));
        } else if (kind == "R") {
            FileReading r;
            std::string f[6];
            for (auto& t : f)
                if (!nextToken(line, pos, t))
                    return fail("reading line needs: R <sensor> <index> <type> <location> "
                                "<value> <unit> <label>");
            std::string type = f[2], recordType = f[2];
            if (auto slash = f[2].find('/'); slash != std::string::npos) {
                type = f[2].substr(0, slash);
                recordType = f[2].substr(slash + 1);
            }
            if (!toInt(f[0], r.sensor) || !toInt(f[1], r.index) || !toInt(type, r.type) ||
                !toInt(recordType, r.recordType) || !toInt(f[3], r.readingLocation) ||
                !toDouble(f[4], r.value))
                return fail("reading line has a malformed number");
            r.unit = f[5] == "-" ? std::string() : f[5];
            r.label = restOfLine(line, pos);
            out.passes.back().push_back(std::move(r));
        } else if (kind == "P") {
            out.passes.emplace_back();
        } else {
            return fail("unknown line kind");
        }
    }
    // A trailing "P" leaves an empty block that nobody meant.
    if (out.passes.size() > 1 && out.passes.back().empty())
        out.passes.pop_back();
    return true;
}

bool loadReadings(const std::string& path, ReadingsFile& out, std::string* error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error)
            *error = "cannot open " + path;
        return false;
    }
    std::ostringstream buf;
    buf << in.rdbuf();
    return parseReadings(buf.str(), out, error);
}

std::string formatSensor(const FileSensor& s)
{
    return "S " + std::to_string(s.index) + " " + std::to_string(s.location) + " " + s.name;
}

std::string formatReading(const FileReading& r)
{
    std::string type = std::to_string(r.type);
    if (r.recordType != r.type)
        type += "/" + std::to_string(r.recordType);
    return "R " + std::to_string(r.sensor) + " " + std::to_string(r.index) + " " + type + " " +
           std::to_string(r.readingLocation) + " " + formatDouble(r.value) + " " +
           (r.unit.empty() ? std::string("-") : r.unit) + " " + r.label;
}

} // namespace zolven::abi
