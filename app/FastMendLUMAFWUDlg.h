#pragma once

#include "dialogs/DialogPair.h"

class CLUMAFWUChildDlg;

// The main window: the layered back of the main pair, hosting the main panel.
// It gives the tool its title, icon and taskbar button, the About item of the
// system menu, and starts the exit clean-up when it is destroyed.
class CFastMendLUMAFWUDlg : public CLayeredBackDlg {
public:
    explicit CFastMendLUMAFWUDlg(CWnd* parent = nullptr);
    ~CFastMendLUMAFWUDlg() override;

    // Where the back goes on a screen of the given size: centred.
    static RECT CentredRect(int screenWidth, int screenHeight, float scale);

protected:
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnSysCommand(UINT id, LPARAM lp) override;
    void OnPaint() override;
    void OnDestroy() override;

private:
    bool ShowUnskinnedFailure();

    HICON m_hIcon;
    bool m_bCleanUpAtExit = true;
};

// The plain About box of the system menu.
class CAboutDlg : public CDialog {
public:
    CAboutDlg();
    BOOL PreTranslateMessage(MSG* msg) override;
};
