#pragma once
#include "win/App.h"

// The application: starts GDI+ and the common controls, runs the main window
// modally, shuts GDI+ down; InitInstance returns FALSE so that the process ends.
class CFastMendLUMAFWUApp : public CWinApp {
public:
    CFastMendLUMAFWUApp();
    BOOL InitInstance() override;
};
