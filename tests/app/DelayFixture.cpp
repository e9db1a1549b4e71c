// Linked the way the tool once was: it imports SetDefaultDllDirectories statically and
// calls one function of a delay-loaded library through its import slot, as every caller
// of a function declared dllimport does. It also imports a library Windows 7 lacks.
#include <windows.h>
#include <commctrl.h>
#include <shellscalingapi.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    UINT dpiX = 0, dpiY = 0;
    ::GetDpiForMonitor(::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), MDT_EFFECTIVE_DPI, &dpiX, &dpiY);
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_STANDARD_CLASSES};
    return ::InitCommonControlsEx(&icc) ? 0 : 1;
}
