// Linked the way the tool once was: it imports SetDefaultDllDirectories statically and
// calls one function of a delay-loaded library through its import slot, as every caller
// of a function declared dllimport does.
#include <windows.h>
#include <commctrl.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_STANDARD_CLASSES};
    return ::InitCommonControlsEx(&icc) ? 0 : 1;
}
