#include "monitor/Nvml.h"

#include <dlfcn.h>

namespace zolven::monitor::nvml {
namespace {

template <typename Fn>
void bind(void* handle, const char* symbol, Fn& target)
{
    target = reinterpret_cast<Fn>(::dlsym(handle, symbol));
}

} // namespace

bool hasRequired(const Api& api)
{
    return api.init && api.shutdown && api.deviceCount && api.handleByIndex;
}

Library::~Library()
{
    reset();
}

bool Library::open(const std::string& path, std::string* why)
{
    reset();
    m_handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) {
        if (why)
            *why = ::dlerror();
        return false;
    }
    bind(m_handle, "nvmlInit_v2", m_api.init);
    bind(m_handle, "nvmlShutdown", m_api.shutdown);
    bind(m_handle, "nvmlDeviceGetCount_v2", m_api.deviceCount);
    bind(m_handle, "nvmlDeviceGetHandleByIndex_v2", m_api.handleByIndex);
    bind(m_handle, "nvmlDeviceGetName", m_api.name);
    bind(m_handle, "nvmlDeviceGetPciInfo_v3", m_api.pciInfo);
    bind(m_handle, "nvmlDeviceGetTemperature", m_api.temperature);
    bind(m_handle, "nvmlDeviceGetTemperatureV", m_api.temperatureV);
    bind(m_handle, "nvmlDeviceGetUtilizationRates", m_api.utilization);
    bind(m_handle, "nvmlDeviceGetClockInfo", m_api.clock);
    bind(m_handle, "nvmlDeviceGetFanSpeed", m_api.fanSpeed);
    bind(m_handle, "nvmlDeviceGetFanSpeedRPM", m_api.fanSpeedRpm);
    bind(m_handle, "nvmlDeviceGetMemoryInfo", m_api.memory);
    bind(m_handle, "nvmlDeviceGetMemoryInfo_v2", m_api.memoryV2);
    bind(m_handle, "nvmlDeviceGetPowerUsage", m_api.powerUsage);
    if (!hasRequired(m_api)) {
        if (why)
            *why = "required NVML functions missing";
        reset();
        return false;
    }
    return true;
}

void Library::reset()
{
    m_api = Api{};
    if (m_handle)
        ::dlclose(m_handle);
    m_handle = nullptr;
}

} // namespace zolven::monitor::nvml
