#include "WindowMemory.h"

#include "app/HeapTrim.h"

#include <QQuickWindow>
#include <QTimer>

namespace zolven {

void releaseGraphicsWhenHidden(QQuickWindow& window)
{
    // Honoured by the threaded render loop, which then drops everything, context included,
    // when the window hides; the basic loop keeps its context for the program's life.
    window.setPersistentGraphics(false);
    window.setPersistentSceneGraph(false);
    QObject::connect(&window, &QWindow::visibleChanged, &window, [w = &window](bool visible) {
        if (visible)
            return;
        // After the hide has run to its end: the render loop has let go by then.
        QTimer::singleShot(0, w, [w] {
            if (w->isVisible())
                return;
            // What the render loop keeps regardless: cached images and shaders.
            w->releaseResources();
            trimHeap();
        });
    });
}

} // namespace zolven
