#include "monitor/Recording.h"

#include "monitor/Catalogue.h"

#include <utility>

namespace zolven::monitor {

Recorder::~Recorder()
{
    close();
}

bool Recorder::open(const std::string& path, long long maxPasses, std::string* why)
{
    close();
    std::FILE* file = std::fopen(path.c_str(), "we");
    if (!file) {
        if (why)
            *why = "cannot write " + path;
        return false;
    }
    open(file, maxPasses);
    return true;
}

void Recorder::open(std::FILE* file, long long maxPasses)
{
    close();
    m_file = file;
    m_passes = 0;
    m_maxPasses = maxPasses;
    std::fprintf(m_file,
                 "%s, one block per pass.\n"
                 "# Replay them with \"replay = <this file>\" in monitor.conf.\n",
                 kRecordingMark);
}

void Recorder::writeSensors(const Catalogue& cat)
{
    m_sensorsWritten = 0;
    writeNewSensors(cat);
}

void Recorder::writeNewSensors(const Catalogue& cat)
{
    if (!m_file)
        return;
    for (std::int32_t i = m_sensorsWritten; i < cat.sensorCount(); ++i) {
        abi::FileSensor s{i, cat.sensor(i).location, cat.sensor(i).name};
        std::fprintf(m_file, "%s\n", abi::formatSensor(s).c_str());
    }
    m_sensorsWritten = cat.sensorCount();
    std::fflush(m_file);
}

void Recorder::writePass(const Catalogue& cat)
{
    if (!m_file)
        return;
    if (m_passes > 0)
        std::fputs("P\n", m_file);
    for (int slot = 0; slot < cat.readingCount(); ++slot) {
        if (!cat.isValid(slot))
            continue;
        const ReadingInfo& r = cat.reading(slot);
        abi::FileReading f;
        f.sensor = r.sensor;
        f.index = r.index;
        f.type = r.type;
        f.recordType = r.recordType;
        f.readingLocation = r.readingLocation;
        f.value = cat.value(slot);
        f.unit = r.unit;
        f.label = r.label;
        std::fprintf(m_file, "%s\n", abi::formatReading(f).c_str());
    }
    ++m_passes;
    if (m_maxPasses > 0 && m_passes >= m_maxPasses) {
        std::fprintf(m_file, "# Recording stopped after %lld passes.\n", m_passes);
        close();
        return;
    }
    std::fflush(m_file);
}

void Recorder::close()
{
    if (m_file)
        std::fclose(m_file);
    m_file = nullptr;
}

bool Replay::load(const std::string& path, std::string* why)
{
    abi::ReadingsFile file;
    std::string error;
    if (!abi::loadReadings(path, file, &error)) {
        if (why)
            *why = path + ": " + error;
        return false;
    }
    use(std::move(file));
    return true;
}

bool Replay::parse(const std::string& text, std::string* why)
{
    abi::ReadingsFile file;
    std::string error;
    if (!abi::parseReadings(text, file, &error)) {
        if (why)
            *why = error;
        return false;
    }
    use(std::move(file));
    return true;
}

void Replay::use(abi::ReadingsFile file)
{
    m_file = std::move(file);
    const auto loop = m_file.switches.find("replay");
    m_loop = loop != m_file.switches.end() && loop->second == "loop";
}

void Replay::declare(Catalogue& cat)
{
    cat.clear();
    for (const auto& s : m_file.sensors)
        cat.setSensor(s.index, s.location, s.name);
    m_slots.clear();
    for (const auto& block : m_file.passes) {
        std::vector<int> slots;
        slots.reserve(block.size());
        for (const auto& r : block) {
            ReadingInfo info;
            info.sensor = r.sensor;
            info.index = r.index;
            info.type = r.type;
            info.recordType = r.recordType;
            info.readingLocation = r.readingLocation;
            info.unit = r.unit;
            info.label = r.label;
            // Keep what an earlier block declared; apply() sets this block's texts.
            int slot = cat.find(r.type, r.sensor, r.index);
            if (slot < 0)
                slot = cat.placeReading(info);
            slots.push_back(slot);
        }
        m_slots.push_back(std::move(slots));
    }
}

void Replay::apply(Catalogue& cat, long long pass) const
{
    cat.invalidateAll();
    const long long n = static_cast<long long>(m_file.passes.size());
    if (n == 0 || pass < 0)
        return;
    const long long block = m_loop ? pass % n : (pass < n ? pass : n - 1);
    const auto& readings = m_file.passes[block];
    const auto& slots = m_slots[block];
    for (std::size_t i = 0; i < readings.size(); ++i) {
        const int slot = slots[i];
        if (slot < 0)
            continue; // a reading index outside 0..511 is never asked for
        const auto& r = readings[i];
        ReadingInfo& info = cat.reading(slot);
        info.recordType = r.recordType;
        info.readingLocation = r.readingLocation;
        if (info.unit != r.unit)
            info.unit = r.unit;
        if (info.label != r.label)
            info.label = r.label;
        cat.set(slot, r.value);
    }
}

} // namespace zolven::monitor
