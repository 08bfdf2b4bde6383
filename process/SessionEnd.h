#pragma once

class QCoreApplication;

namespace zolven {

// Ends the event loop with code 0 when the session asks the process to stop (POSIX: SIGTERM,
// SIGINT, SIGHUP), so the usual teardown runs: lock released, settings written, library shut
// down. A second signal during that teardown ends the process at once. Safe to call again for a
// new application object. Nothing to install on Windows.
void quitOnSessionEnd(QCoreApplication& app);

} // namespace zolven
