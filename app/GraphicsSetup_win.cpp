#include "GraphicsSetup.h"

namespace zolven {

// Direct3D, Qt Quick's default here, chooses its render loop without a probe context.
void prepareGraphics() {}

void restoreGraphicsEnvironment() {}

} // namespace zolven
