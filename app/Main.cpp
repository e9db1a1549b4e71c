#include <windows.h>
#include <delayimp.h>

#include <string>

#include "app/FastMendLUMAFWUApp.h"
#include "app/Unattended.h"
#include "win/SystemLibrary.h"

// The one application object.
CFastMendLUMAFWUApp theApp;

namespace {

// GDI+ and the common controls are delay-loaded (the build links them so); whenever
// their first use comes, they are taken from the system folder and nowhere else.
FARPROC WINAPI LoadDelayedFromSystemFolder(unsigned notify, PDelayLoadInfo info) {
    if (notify != dliNotePreLoadLibrary || !info || !info->szDll) return nullptr;
    try {
        const std::string name = info->szDll;
        return reinterpret_cast<FARPROC>(win::LoadSystemLibrary(std::wstring(name.begin(), name.end())));
    } catch (...) {
        return nullptr;
    }
}

}  // namespace

PfnDliHook __pfnDliNotifyHook2 = LoadDelayedFromSystemFolder;

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // The tool runs elevated from a downloaded folder: no library may be loaded
    // from there but the feedback library, which is loaded by its full path.
    win::RestrictLibrarySearch();
    // Deployment tools start the tool with no user and judge it by its exit code.
    if (IsUnattendedCommandLine(::GetCommandLineW())) return RunUnattended();
    RunApp();
    return 0;
}
