#include "monitor/Monitor.h"

#include "abi/ReadingRecord.h"
#include "monitor/CpuSource.h"
#include "monitor/FanSource.h"
#include "monitor/GpuSource.h"
#include "monitor/Hwmon.h"
#include "monitor/MemorySource.h"

#include "userfiles/Trust.h"

#include <cctype>
#include <cstdio>
#include <ctime>
#include <unistd.h>
#include <utility>

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
        m_config = config;
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
    const auto zones = listThermalZones(roots);
    m_sources.push_back(discoverCpu(roots, chips, zones, config.cpuTemp, m_catalogue, m_messages));
    if (auto memory = discoverMemory(roots, m_catalogue))
        m_sources.push_back(std::move(memory));
    for (auto& fan : discoverFans(chips, config.cpuFan, m_catalogue, m_messages))
        m_sources.push_back(std::move(fan));
    discoverGpus(config, chips, zones);
}

namespace {

// NVIDIA's cards under their own driver; nouveau is read through sysfs like the others.
bool usesNvml(const hardware::PciDisplayDevice& a)
{
    return a.vendor == hardware::kVendorNvidia && a.driver != "nouveau";
}

} // namespace

namespace {

std::string lower(std::string s)
{
    for (auto& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// monitor.conf's gpu = names a PCI address (with or without its domain) or part of the name.
bool gpuNamed(const std::string& want, const std::string& address, const std::string& name)
{
    if (want == address || (address.size() > 5 && want == address.substr(5)))
        return true;
    return !name.empty() && lower(name).find(lower(want)) != std::string::npos;
}

// What says that an adapter's driver or its sensors may have come since the last look: the
// driver bound (uevent's DRIVER=), its hwmon and drm folders. Three small reads.
std::string adapterSignature(const std::string& dir)
{
    std::string uevent;
    readFile(dir + "/uevent", uevent);
    return uevent + "\n" + (exists(dir + "/hwmon") ? "hwmon" : "-") + " " +
           (exists(dir + "/drm") ? "drm" : "-");
}

std::string driverIn(const std::string& uevent)
{
    const auto at = uevent.find("DRIVER=");
    if (at == std::string::npos)
        return {};
    const auto end = uevent.find('\n', at);
    return trim(uevent.substr(at + 7, end == std::string::npos ? std::string::npos : end - at - 7));
}

} // namespace

bool Monitor::startNvml(const MonitorConfig& config)
{
    if (m_nvml)
        return true;
    const nvml::Api* api = m_injectedNvml;
    std::string why;
    if (!api && !config.nvmlLibrary.empty() && m_nvmlLibrary.open(config.nvmlLibrary, &why))
        api = &m_nvmlLibrary.api();
    if (api && nvml::hasRequired(*api)) {
        const nvml::Return r = api->init();
        if (r == nvml::kSuccess)
            m_nvml = api;
        else
            why = "NVML did not start (" + std::to_string(r) + ")";
    } else if (!config.nvmlLibrary.empty() || m_injectedNvml) {
        why = "NVIDIA card without a usable NVML: " + why;
    }
    if (!m_nvml) {
        m_nvmlLibrary.reset();
        if (!why.empty() && m_nvmlAttempts == 0)
            m_messages.push_back(why);
    }
    ++m_nvmlAttempts;
    return m_nvml != nullptr;
}

std::unique_ptr<Source> Monitor::discoverAdapter(const hardware::PciDisplayDevice& a,
                                                 const MonitorConfig& config, bool pinTemp)
{
    const std::string tempPin = pinTemp ? m_gpuTempPin : std::string();
    const std::string tempWhy = "gpu_temp = " + config.gpuTemp + " in monitor.conf";
    if (!usesNvml(a))
        return discoverSysfsGpu(a, hardware::adapterName(config.pciIds, a.vendor, a.device),
                                m_catalogue, tempPin, tempWhy);
    if (!m_nvml)
        return nullptr;
    if (!tempPin.empty())
        m_messages.push_back("gpu_temp = " + config.gpuTemp + " in monitor.conf is not used for " +
                             a.address +
                             ", an NVIDIA card read through NVML, which gives one "
                             "temperature");
    hardware::PciAddress want;
    unsigned count = 0;
    if (!m_nvml->pciInfo || !hardware::parsePciAddress(a.address, want) ||
        m_nvml->deviceCount(&count) != nvml::kSuccess)
        return nullptr;
    for (unsigned i = 0; i < count; ++i) {
        nvml::Device d = nullptr;
        nvml::PciInfo pci{};
        if (m_nvml->handleByIndex(i, &d) == nvml::kSuccess &&
            m_nvml->pciInfo(d, &pci) == nvml::kSuccess && pci.domain == want.domain &&
            pci.bus == want.bus && pci.device == want.device)
            return discoverNvmlGpu(*m_nvml, d, &a, m_catalogue);
    }
    return nullptr;
}

void Monitor::discoverGpus(const MonitorConfig& config, const std::vector<HwmonChip>& chips,
                           const std::vector<ThermalZone>& zones)
{
    using hardware::PciDisplayDevice;
    const auto adapters = hardware::pciDisplayDevices(config.sysRoot);
    const auto socs = socGpus(Roots{config.sysRoot, config.procRoot}, zones);

    // The user's choice among several GPUs; the others are left out so that the display shows
    // the chosen one whatever the program's rules prefer.
    std::vector<bool> adapterChosen(adapters.size(), true), socChosen(socs.size(), true);
    if (!config.gpu.empty()) {
        bool any = false;
        std::string known;
        for (std::size_t i = 0; i < adapters.size(); ++i) {
            const auto& a = adapters[i];
            const std::string name = hardware::adapterName(config.pciIds, a.vendor, a.device);
            adapterChosen[i] = gpuNamed(config.gpu, a.address, name);
            any = any || adapterChosen[i];
            known += (known.empty() ? "" : ", ") + a.address + " " + name;
        }
        for (std::size_t i = 0; i < socs.size(); ++i) {
            socChosen[i] = gpuNamed(config.gpu, {}, socs[i].name);
            any = any || socChosen[i];
            known += (known.empty() ? "" : ", ") + socs[i].name;
        }
        if (!any) {
            m_messages.push_back("gpu = " + config.gpu + " in monitor.conf names no GPU here (" +
                                 (known.empty() ? std::string("none found") : known) +
                                 "); every GPU is reported");
            adapterChosen.assign(adapters.size(), true);
            socChosen.assign(socs.size(), true);
        }
    }
    if (!config.gpuTemp.empty()) {
        m_gpuTempPin = resolveTemperature(config.gpuTemp, zones, chips);
        if (m_gpuTempPin.empty())
            m_messages.push_back("gpu_temp = " + config.gpuTemp +
                                 " in monitor.conf names no temperature here (\"<chip>/temp<N>\" "
                                 "of a hwmon chip, or a thermal zone's type); the GPU's own is "
                                 "used");
    }

    std::vector<const PciDisplayDevice*> discrete, integrated;
    bool anyNvidia = false;
    for (std::size_t i = 0; i < adapters.size(); ++i) {
        const auto& a = adapters[i];
        if (!adapterChosen[i]) {
            m_catalogue.note({"GPU", {}, {}, a.address + " left out: gpu = " + config.gpu});
            continue;
        }
        (isIntegrated(a) ? integrated : discrete).push_back(&a);
        anyNvidia = anyNvidia || usesNvml(a);
    }

    // NVML only for NVIDIA cards the tree shows, so that a fixture tree never meets the
    // machine's real cards; initialised once, shut down with the library.
    if (anyNvidia)
        startNvml(config);

    // Discrete cards first: the program stops using integrated-graphics readings once it has
    // met a discrete card's, so even the first pass then shows the discrete card. The first
    // GPU reported is the one the display shows, and the one gpu_temp applies to.
    bool tempPinUsed = false;
    for (const auto* list : {&discrete, &integrated}) {
        for (const PciDisplayDevice* a : *list) {
            std::unique_ptr<Source> src = discoverAdapter(*a, config, !tempPinUsed);
            if (src) {
                tempPinUsed = true;
                m_sources.push_back(std::move(src));
                continue;
            }
            // Its driver or NVML may come later (boot, resume, a module loaded by hand).
            m_waiting.push_back({*a, adapterSignature(a->dir)});
            if (usesNvml(*a))
                m_catalogue.note(
                    {"GPU",
                     {},
                     {},
                     "NVIDIA card at " + a->address + " not answered by NVML (" +
                         (config.nvmlLibrary.empty() ? "nvml = off" : config.nvmlLibrary) + ")"});
        }
    }
    for (std::size_t i = 0; i < socs.size(); ++i) {
        if (!socChosen[i])
            continue;
        auto src = discoverSocGpu(socs[i], m_catalogue, tempPinUsed ? std::string() : m_gpuTempPin,
                                  "gpu_temp = " + config.gpuTemp + " in monitor.conf");
        if (src) {
            tempPinUsed = true;
            m_sources.push_back(std::move(src));
        }
    }
    m_tempPinUsed = tempPinUsed;
    if (adapters.empty() && socs.empty())
        m_catalogue.note({"GPU",
                          {},
                          {},
                          "no PCI display-class device in " + config.sysRoot +
                              "/bus/pci/devices, no devfreq GPU and no GPU thermal zone"});
}

// Cheap between finds: only adapters that gave nothing are looked at, every few passes, and
// only a changed signature (or NVML's turn, backing off) costs a discovery.
void Monitor::lookForLateGpus()
{
    if (m_waiting.empty() || ++m_passesSinceLook < kLateGpuPasses)
        return;
    m_passesSinceLook = 0;
    ++m_looks;
    const bool nvmlTurn = (m_looks & (m_looks - 1)) == 0 && m_looks <= kNvmlMaxLooks * 2;
    bool changed = false;
    for (auto it = m_waiting.begin(); it != m_waiting.end();) {
        const std::string signature = adapterSignature(it->adapter.dir);
        const bool moved = signature != it->signature;
        const bool nvmlCard =
            usesNvml(it->adapter) || it->adapter.vendor == hardware::kVendorNvidia;
        if (!moved && !(nvmlCard && nvmlTurn)) {
            ++it;
            continue;
        }
        it->signature = signature;
        it->adapter.driver = driverIn(signature);
        if (usesNvml(it->adapter) && !m_nvml && (nvmlTurn || moved))
            startNvml(m_config);
        if (!changed) {
            m_ready = false;
            changed = true;
        }
        auto src = discoverAdapter(it->adapter, m_config, !m_tempPinUsed);
        if (!src) {
            ++it;
            continue;
        }
        m_tempPinUsed = true;
        const std::string found = "GPU at " + it->adapter.address + " (" + it->adapter.driver +
                                  ") found at a later pass: its driver or NVML became ready";
        m_catalogue.note({"GPU", {}, {}, found});
        m_news.push_back(found);
        m_hasNews = true;
        m_sources.push_back(std::move(src));
        it = m_waiting.erase(it);
    }
    if (changed) {
        m_recorder.writeNewSensors(m_catalogue);
        m_ready = true;
    }
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
    m_nvmlAttempts = 0;
    m_waiting.clear();
    m_news.clear();
    m_hasNews = false;
    m_passesSinceLook = 0;
    m_looks = 0;
    m_gpuTempPin.clear();
    m_tempPinUsed = false;
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
        lookForLateGpus();
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

std::vector<std::string> Monitor::takeNews()
{
    if (!m_hasNews.load(std::memory_order_relaxed))
        return {};
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hasNews = false;
    return std::exchange(m_news, {});
}

std::vector<std::string> Monitor::messages() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages;
}

} // namespace zolven::monitor
