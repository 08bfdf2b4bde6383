#include "SessionEnd.h"

namespace zolven {

// Windows ends a session with window messages, which Qt receives itself; there are no stop
// signals to catch.
void quitOnSessionEnd(QCoreApplication&) {}

} // namespace zolven
