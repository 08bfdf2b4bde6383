#include "HeapTrim.h"

#include <malloc.h>

namespace zolven {

void trimHeap()
{
#if defined(__GLIBC__)
    // Every arena, the render thread's too; glibc otherwise only gives back the top of the
    // main heap, and only past 128 kB.
    malloc_trim(0);
#endif
}

} // namespace zolven
