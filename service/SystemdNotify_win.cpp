#include "SystemdNotify.h"

namespace zolven::systemd {

void notify(const char*) {}

quint64 watchdogIntervalUsec()
{
    return 0;
}

} // namespace zolven::systemd
