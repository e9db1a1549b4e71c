#include "app/FastMendLUMAFWUApp.h"

#include <windows.h>
#include <commctrl.h>
#include <gdiplus.h>

#include "app/FastMendLUMAFWUDlg.h"
#include "dialogs/RichEdit.h"

namespace {

ULONG_PTR g_gdiplusToken = 0;
Gdiplus::GdiplusStartupInput g_gdiplusInput;

}  // namespace

CFastMendLUMAFWUApp::CFastMendLUMAFWUApp() = default;

BOOL CFastMendLUMAFWUApp::InitInstance() {
    Gdiplus::GdiplusStartup(&g_gdiplusToken, &g_gdiplusInput, nullptr);
    {
        INITCOMMONCONTROLSEX icc{};
        icc.dwSize = sizeof(icc);
        icc.dwICC = ICC_WIN95_CLASSES;
        ::InitCommonControlsEx(&icc);
        InitRichEdit();

        CFastMendLUMAFWUDlg dlg;
        m_pMainWnd = &dlg;
        dlg.DoModal();
        m_pMainWnd = nullptr;
    }
    Gdiplus::GdiplusShutdown(g_gdiplusToken);
    return FALSE;
}
