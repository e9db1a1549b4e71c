#include <windows.h>

#include "app/FastMendLUMAFWUApp.h"

// The one application object.
CFastMendLUMAFWUApp theApp;

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // The tool runs elevated from a downloaded folder: no library may be loaded
    // from there but the feedback library, which is loaded by its full path.
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    ::SetDllDirectoryW(L"");
    RunApp();
    return 0;
}
