// A stand-in for ZOLVEN.exe that carries the real program's resources (app/win/ZOLVEN.rc), so
// the tests can read them back the way Windows does. It is never run.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return 0;
}
