#pragma once

#include <QtGlobal>

// The service manager's notification socket (sd_notify): readiness, watchdog pings, status.
// Without a manager listening (no NOTIFY_SOCKET, or Windows) every call does nothing.
namespace zolven::systemd {

// One or more "KEY=value" lines, as sd_notify takes them.
void notify(const char* state);

// The watchdog interval the manager asks of this process in microseconds; 0 for none.
quint64 watchdogIntervalUsec();

} // namespace zolven::systemd
