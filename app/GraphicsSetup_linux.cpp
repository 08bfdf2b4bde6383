#include "GraphicsSetup.h"

#include <QByteArray>
#include <QtGlobal>

namespace zolven {
namespace {

bool g_setSanityCheck = false;

} // namespace

void prepareGraphics()
{
    // To choose between its threaded and basic render loops, Qt creates a throwaway OpenGL
    // context when the first window is made, even a hidden one: the whole driver (over 50 MB
    // with Mesa) then stays mapped in a program that mostly sits in the tray. Without the probe
    // Qt takes the threaded loop, its own choice on most drivers and the only one that gives
    // the context back when the window hides. The probe would keep llvmpipe and nouveau off it
    // for bugs of 2013 and 2015; the window draws with one context from one thread at a time.
    // Naming the loop instead would also put the software renderer (no OpenGL: offscreen,
    // VNC) on its threaded loop, which can hang when the window is destroyed.
    if (qEnvironmentVariableIsSet("QSG_RENDER_LOOP") ||
        qEnvironmentVariableIsSet("QT_OPENGL_NO_SANITY_CHECK"))
        return;
    qputenv("QT_OPENGL_NO_SANITY_CHECK", QByteArrayLiteral("1"));
    g_setSanityCheck = true;
}

void restoreGraphicsEnvironment()
{
    // Read when the first window is created, never again.
    if (g_setSanityCheck)
        qunsetenv("QT_OPENGL_NO_SANITY_CHECK");
    g_setSanityCheck = false;
}

} // namespace zolven
