#pragma once

#include <QString>

// Starting the program at log-in. Windows: a value of the per-user Run key. Elsewhere: an XDG
// autostart desktop entry. Failures are silent; the setting still applies for this run.
namespace zolven {

// The entry's name for this executable.
QString autostartEntryName(const QString& executablePath);

// Writes the entry for executablePath (replacing one of the same name) or removes it.
void applyAutostart(const QString& executablePath, bool enable);

} // namespace zolven
