#pragma once

class QQuickWindow;

namespace zolven {

// Makes the window give back what it holds for drawing each time it is hidden, however it is
// hidden: the scene graph, its textures and glyph caches, the graphics context and the render
// thread, then the heap they leave free. The next show builds them again.
void releaseGraphicsWhenHidden(QQuickWindow& window);

} // namespace zolven
