// Calls one function of a delay-loaded library through its import slot, as every
// caller of a function declared dllimport does.
#include <windows.h>
#include <commctrl.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_STANDARD_CLASSES};
    return ::InitCommonControlsEx(&icc) ? 0 : 1;
}
