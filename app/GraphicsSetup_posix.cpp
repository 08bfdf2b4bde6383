#include "GraphicsSetup.h"

#include <QByteArray>
#include <QtGlobal>

namespace zolven {
namespace {

bool g_setRenderLoop = false;
bool g_setSanityCheck = false;

} // namespace

void prepareGraphics()
{
    // To choose between its threaded and basic render loops, Qt creates a throwaway OpenGL
    // context when the first window is made, even a hidden one: the whole driver (over 50 MB
    // with Mesa) then stays mapped in a program that mostly sits in the tray. Chosen here, the
    // loop leaves the probe nothing to decide. The threaded one, Qt's own choice on most
    // drivers, is the only one that gives the context back when the window hides. The probe
    // would keep llvmpipe and nouveau off it for bugs of 2013 and 2015; the window draws with
    // one context from one thread at a time.
    if (qEnvironmentVariableIsSet("QSG_RENDER_LOOP"))
        return;
    qputenv("QSG_RENDER_LOOP", QByteArrayLiteral("threaded"));
    g_setRenderLoop = true;
    if (!qEnvironmentVariableIsSet("QT_OPENGL_NO_SANITY_CHECK")) {
        qputenv("QT_OPENGL_NO_SANITY_CHECK", QByteArrayLiteral("1"));
        g_setSanityCheck = true;
    }
}

void restoreGraphicsEnvironment()
{
    // Both are read when the first window is created, never again.
    if (g_setRenderLoop)
        qunsetenv("QSG_RENDER_LOOP");
    if (g_setSanityCheck)
        qunsetenv("QT_OPENGL_NO_SANITY_CHECK");
    g_setRenderLoop = g_setSanityCheck = false;
}

} // namespace zolven
