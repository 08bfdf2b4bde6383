#pragma once

// The library behind the seven entry points: discovery at initialise, one snapshot per pass,
// answers from the snapshot. Plain C++ without Qt, since it runs inside the program's process.

#include "hardware/PciDisplay.h"
#include "monitor/Catalogue.h"
#include "monitor/Config.h"
#include "monitor/Hwmon.h"
#include "monitor/Nvml.h"
#include "monitor/Recording.h"
#include "monitor/Source.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace zolven::monitor {

// initialize() results besides 0 (ready).
inline constexpr std::int32_t kInitReplayFailed = 2;

class Monitor
{
public:
    Monitor() = default;
    ~Monitor();
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    // Tests hand in a fake NVML instead of the library the config names (null: the config's).
    void setNvmlApi(const nvml::Api* api) { m_injectedNvml = api; }

    // Discovers the machine (or loads the replay file); a second call starts over.
    std::int32_t initialize(std::int32_t flags, const MonitorConfig& config);
    void shutdown();
    // Also opens an enumeration pass, which is what record and replay count.
    std::int32_t sensorCount();
    // Takes this pass's snapshot: every chosen file is read once, here.
    void beginPass();
    void beginSensor(std::int32_t sensor);
    // Constant time, from the snapshot; false for anything not reported this pass.
    bool readReading(std::int32_t type, std::int32_t sensor, std::int32_t index,
                     void* record) const;

    // Problems met by the last initialise (unreadable record file, NVML not usable, …).
    std::vector<std::string> messages() const;
    // What passes found since the last call (a GPU whose driver or NVML came late), for the
    // log; cheap when there is nothing.
    std::vector<std::string> takeNews();
    const Catalogue& catalogue() const { return m_catalogue; }

private:
    void discover(const MonitorConfig& config);
    void discoverGpus(const MonitorConfig& config, const std::vector<HwmonChip>& chips,
                      const std::vector<ThermalZone>& zones);
    bool startNvml(const MonitorConfig& config);
    std::unique_ptr<Source> discoverAdapter(const hardware::PciDisplayDevice& adapter,
                                            const MonitorConfig& config, bool pinTemp);
    void lookForLateGpus();
    void closeSources();

    // A display adapter that gave no readings at discovery, and what it looked like then.
    struct Waiting
    {
        hardware::PciDisplayDevice adapter;
        std::string signature;
    };
    static constexpr int kLateGpuPasses = 5;        // passes between looks at waiting adapters
    static constexpr long long kNvmlMaxLooks = 512; // NVML retried at looks 1, 2, 4, … 1024

    mutable std::mutex m_mutex;
    std::atomic<bool> m_ready{false};
    Catalogue m_catalogue;
    std::vector<std::unique_ptr<Source>> m_sources;
    nvml::Library m_nvmlLibrary;
    const nvml::Api* m_injectedNvml = nullptr;
    const nvml::Api* m_nvml = nullptr; // initialised table in use, or null
    bool m_replaying = false;
    Replay m_replay;
    Recorder m_recorder;
    long long m_enumerations = 0; // sensorCount calls since initialise
    long long m_pass = -1;        // the pass the catalogue shows, not yet recorded
    std::vector<std::string> m_messages;
    MonitorConfig m_config;
    int m_nvmlAttempts = 0;
    std::vector<Waiting> m_waiting;
    std::vector<std::string> m_news;
    std::atomic<bool> m_hasNews{false};
    int m_passesSinceLook = 0;
    long long m_looks = 0;
    std::string m_gpuTempPin;
    bool m_tempPinUsed = false;
};

} // namespace zolven::monitor
