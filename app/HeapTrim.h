#pragma once

namespace zolven {

// Hands the memory the heap holds free back to the system, where the allocator keeps it
// otherwise: the graphics released when the window hides leave tens of megabytes free in it.
void trimHeap();

} // namespace zolven
