#pragma once

#include <QString>

namespace zolven {

// The folder that holds the single-instance lock, or empty when there is none. Windows: the
// temporary folder. Linux: the user's runtime folder ($XDG_RUNTIME_DIR), which only its owner
// can enter: each user runs a copy of their own, and no other user can take the lock's name.
QString lockDirectory();

} // namespace zolven
