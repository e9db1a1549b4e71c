#pragma once
#include <windows.h>

class CWnd;

// The application object: one per process, started by wWinMain through RunApp.
class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance() { return FALSE; }
    // Runs the message loop when InitInstance returned TRUE; returns the exit code.
    virtual int Run();

    static CWinApp* Get();
    CWnd* m_pMainWnd = nullptr;
};

// The main window of the application, or null.
CWnd* AfxGetMainWnd();
// Calls the application's InitInstance (and Run when it returns TRUE).
int RunApp();
