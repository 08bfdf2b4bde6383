#pragma once

namespace zolven {

// The program's own lines are written for a person at a terminal, one for every matched
// reading (5 to 25 a second). Started from a menu entry or at log-in, with no terminal
// anywhere, they would land in the user's journal: there the debug lines are turned off.
// QT_LOGGING_RULES still decides over this, and QT_FORCE_STDERR_LOGGING or
// QT_ASSUME_STDERR_HAS_CONSOLE keep every line, as they make Qt write to stderr. Windows keeps
// every line. Call before the application object is made.
void quietLogWithoutTerminal();

} // namespace zolven
