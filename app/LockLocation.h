#pragma once

#include <QString>

namespace zolven {

// The folder that holds the single-instance lock, or empty with the reason in why when there is
// none. Windows: the temporary folder. Linux: the user's runtime folder ($XDG_RUNTIME_DIR), which
// only its owner can enter: each user runs a copy of their own, and no other user can take the
// lock's name. Without one, a folder that belongs to the user alone: runtime-<user> in the
// temporary folder (Qt's choice) unless another user got there first, else the user's cache.
QString lockDirectory(QString* why = nullptr);

} // namespace zolven
