#include "win/App.h"

#include "win/Wnd.h"

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp() { g_app = this; }

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

CWinApp* CWinApp::Get() { return g_app; }

int CWinApp::Run() {
    bool never = false;
    PumpMessagesUntil(&never);
    return 0;
}

CWnd* AfxGetMainWnd() { return g_app ? g_app->m_pMainWnd : nullptr; }

int RunApp() {
    if (!g_app) return 0;
    int code = 0;
    try {
        if (g_app->InitInstance()) code = g_app->Run();
    } catch (...) {
        code = 1;
    }
    return code;
}
