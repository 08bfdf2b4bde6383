#include "monitor/Monitor.h"

#include "abi/ReadingRecord.h"
#include "monitor/CpuSource.h"
#include "monitor/FanSource.h"
#include "monitor/GpuSource.h"
#include "monitor/Hwmon.h"
#include "monitor/MemorySource.h"

#include "userfiles/Trust.h"

#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace zolven::monitor {

double monotonicMs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

Monitor::~Monitor()
{
    shutdown();
}

std::int32_t Monitor::initialize(std::int32_t, const MonitorConfig& config)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ready = false;
    closeSources();
    m_catalogue.clear();
    m_messages.clear();
    m_enumerations = 0;

    m_replaying = !config.replayPath.empty();
    if (m_replaying) {
        std::string why;
        if (!m_replay.load(config.replayPath, &why)) {
            m_messages.push_back("cannot replay " + why);
            return kInitReplayFailed;
        }
        m_replay.declare(m_catalogue);
    } else {
        discover(config);
    }

    if (!config.recordPath.empty()) {
        std::string why;
        // Monitoring goes on without the recording: it is a side task. It never follows a link
        // and replaces only a recording of ours.
        const int fd = userfiles::createOwnFile(config.recordPath, kRecordingMark, &why);
        std::FILE* file = fd >= 0 ? ::fdopen(fd, "w") : nullptr;
        if (file) {
            m_recorder.open(file, config.recordPasses);
            m_recorder.writeSensors(m_catalogue);
        } else {
            if (fd >= 0)
                ::close(fd);
            m_messages.push_back("record: " + why);
        }
    }
    m_ready = true;
    return 0;
}

void Monitor::discover(const MonitorConfig& config)
{
    Roots roots{config.sysRoot, config.procRoot};
    const auto chips = listHwmonChips(roots);
    m_sources.push_back(discoverCpu(roots, chips, m_catalogue));
    if (auto memory = discoverMemory(roots, m_catalogue))
        m_sources.push_back(std::move(memory));
    for (auto& fan : discoverFans(chips, config.cpuFan, m_catalogue))
        m_sources.push_back(std::move(fan));
    discoverGpus(config);
}

namespace {

// NVIDIA's cards under their own driver; nouveau is read through sysfs like the others.
bool usesNvml(const hardware::PciDisplayDevice& a)
{
    return a.vendor == hardware::kVendorNvidia && a.driver != "nouveau";
}

} // namespace

void Monitor::discoverGpus(const MonitorConfig& config)
{
    using hardware::PciDisplayDevice;
    const auto adapters = hardware::pciDisplayDevices(config.sysRoot);
    std::vector<const PciDisplayDevice*> discrete, integrated;
    bool anyNvidia = false;
    for (const auto& a : adapters) {
        (isIntegrated(a) ? integrated : discrete).push_back(&a);
        anyNvidia = anyNvidia || usesNvml(a);
    }

    // NVML only for NVIDIA cards the tree shows, so that a fixture tree never meets the
    // machine's real cards; initialised once here, shut down with the library.
    if (anyNvidia) {
        const nvml::Api* api = m_injectedNvml;
        std::string why;
        if (!api && !config.nvmlLibrary.empty() && m_nvmlLibrary.open(config.nvmlLibrary, &why))
            api = &m_nvmlLibrary.api();
        if (api && nvml::hasRequired(*api)) {
            const nvml::Return r = api->init();
            if (r == nvml::kSuccess)
                m_nvml = api;
            else
                m_messages.push_back("NVML did not start (" + std::to_string(r) + ")");
        } else if (!config.nvmlLibrary.empty() || m_injectedNvml) {
            m_messages.push_back("NVIDIA card without a usable NVML: " + why);
        }
        if (!m_nvml)
            m_nvmlLibrary.reset();
    }

    unsigned nvmlCount = 0;
    if (m_nvml && m_nvml->deviceCount(&nvmlCount) != nvml::kSuccess)
        nvmlCount = 0;
    auto nvmlDeviceFor = [&](const PciDisplayDevice& a) -> nvml::Device {
        hardware::PciAddress want;
        if (!m_nvml || !m_nvml->pciInfo || !hardware::parsePciAddress(a.address, want))
            return nullptr;
        for (unsigned i = 0; i < nvmlCount; ++i) {
            nvml::Device d = nullptr;
            nvml::PciInfo pci{};
            if (m_nvml->handleByIndex(i, &d) == nvml::kSuccess &&
                m_nvml->pciInfo(d, &pci) == nvml::kSuccess && pci.domain == want.domain &&
                pci.bus == want.bus && pci.device == want.device)
                return d;
        }
        return nullptr;
    };

    // Discrete cards first: the program stops using integrated-graphics readings once it has
    // met a discrete card's, so even the first pass then shows the discrete card.
    for (const auto* list : {&discrete, &integrated}) {
        for (const PciDisplayDevice* a : *list) {
            std::unique_ptr<Source> src;
            if (usesNvml(*a)) {
                if (nvml::Device d = nvmlDeviceFor(*a))
                    src = discoverNvmlGpu(*m_nvml, d, a, m_catalogue);
            } else {
                src = discoverSysfsGpu(
                    *a, hardware::adapterName(config.pciIds, a->vendor, a->device), m_catalogue);
            }
            if (src)
                m_sources.push_back(std::move(src));
            else if (usesNvml(*a))
                m_catalogue.note(
                    {"GPU",
                     {},
                     {},
                     "NVIDIA card at " + a->address + " not answered by NVML (" +
                         (config.nvmlLibrary.empty() ? "nvml = off" : config.nvmlLibrary) + ")"});
        }
    }
    if (adapters.empty())
        m_catalogue.note({"GPU",
                          {},
                          {},
                          "no PCI display-class device in " + config.sysRoot + "/bus/pci/devices"});
}

void Monitor::closeSources()
{
    if (m_pass >= 0)
        m_recorder.writePass(m_catalogue);
    m_pass = -1;
    m_sources.clear();
    m_recorder.close();
    if (m_nvml)
        m_nvml->shutdown();
    m_nvml = nullptr;
    m_nvmlLibrary.reset();
    m_replaying = false;
}

void Monitor::shutdown()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // The catalogue stays allocated: a caller that still asks gets "no reading", not a crash.
    m_ready = false;
    closeSources();
}

std::int32_t Monitor::sensorCount()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_ready)
        return 0;
    ++m_enumerations;
    return m_catalogue.sensorCount();
}

void Monitor::beginPass()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_ready)
        return;
    // Passes are numbered by the sensorCount call that opens each enumeration, as the test
    // library numbers its blocks: the program's start-up calls beginPass once more before its
    // first enumeration, and both belong to pass 0.
    const long long pass = m_enumerations > 0 ? m_enumerations - 1 : 0;
    // A pass is recorded as its enumeration saw it: when the next one begins.
    if (pass != m_pass) {
        if (m_pass >= 0)
            m_recorder.writePass(m_catalogue);
        m_pass = pass;
    }
    if (m_replaying) {
        m_replay.apply(m_catalogue, pass);
    } else {
        PassContext context{monotonicMs()};
        for (auto& s : m_sources)
            s->sample(m_catalogue, context);
    }
}

void Monitor::beginSensor(std::int32_t) {}

bool Monitor::readReading(std::int32_t type, std::int32_t sensor, std::int32_t index,
                          void* record) const
{
    if (!record)
        return false;
    auto* r = static_cast<unsigned char*>(record);
    if (m_ready.load(std::memory_order_acquire) && m_catalogue.mayHold(sensor, index) &&
        m_catalogue.fill(type, sensor, index, r))
        return true;
    r[abi::offs::valid] = 0;
    return false;
}

std::vector<std::string> Monitor::messages() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages;
}

} // namespace zolven::monitor
