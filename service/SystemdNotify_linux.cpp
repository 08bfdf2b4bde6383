#include "SystemdNotify.h"

#include <systemd/sd-daemon.h>

namespace zolven::systemd {

void notify(const char* state)
{
    // The environment stays: WATCHDOG_USEC is read again by later calls.
    sd_notify(0, state);
}

quint64 watchdogIntervalUsec()
{
    uint64_t usec = 0;
    // Also checks WATCHDOG_PID, so a child that inherited the variables does not ping.
    return sd_watchdog_enabled(0, &usec) > 0 ? usec : 0;
}

} // namespace zolven::systemd
