// Keeps a Wine prefix's desktop in use for a whole test run (scripts/wine-run.sh starts
// it once per prefix, with no output of a test's). Wine closes a desktop, and ends its
// explorer.exe, once no program uses it; the next program to need one would start
// explorer.exe again, handing it that program's output, which ctest then waits on.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Opening the desktop starts its explorer.exe from here if none runs yet.
    ::GetDesktopWindow();
    ::Sleep(INFINITE);
    return 0;
}
