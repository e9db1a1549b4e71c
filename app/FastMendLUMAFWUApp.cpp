#include "app/FastMendLUMAFWUApp.h"

#include <windows.h>
#include <commctrl.h>
#include <gdiplus.h>

#include "app/FastMendLUMAFWUDlg.h"

namespace {

ULONG_PTR g_gdiplusToken = 0;
Gdiplus::GdiplusStartupInput g_gdiplusInput;

}  // namespace

CFastMendLUMAFWUApp::CFastMendLUMAFWUApp() = default;

BOOL CFastMendLUMAFWUApp::InitInstance() {
    Gdiplus::GdiplusStartup(&g_gdiplusToken, &g_gdiplusInput, nullptr);

    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&icc);

    // The agreement viewer's "RichEdit20W" control, from the system folder only.
    ::LoadLibraryExW(L"riched20.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);

    {
        CFastMendLUMAFWUDlg dlg;
        m_pMainWnd = &dlg;
        dlg.DoModal();
        m_pMainWnd = nullptr;
    }
    Gdiplus::GdiplusShutdown(g_gdiplusToken);
    return FALSE;
}
