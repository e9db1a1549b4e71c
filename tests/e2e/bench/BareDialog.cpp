// The smallest program of the window layer: an application object that runs one
// dialog from a template modally. The benchmark compares the tool's start-up with it.
#include <windows.h>

#include "win/App.h"
#include "win/Dialog.h"

namespace {

class CBareApp : public CWinApp {
public:
    BOOL InitInstance() override {
        CDialog dlg(9100);
        m_pMainWnd = &dlg;
        dlg.DoModal();
        m_pMainWnd = nullptr;
        return FALSE;
    }
};

CBareApp theApp;

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return RunApp(); }
