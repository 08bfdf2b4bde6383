#include "HeapTrim.h"

#include <windows.h>

namespace zolven {

void trimHeap()
{
    // The C runtime allocates from the process heap; this decommits its large free blocks.
    HeapCompact(GetProcessHeap(), 0);
}

} // namespace zolven
