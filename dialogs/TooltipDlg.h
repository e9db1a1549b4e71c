#pragma once
#include <windows.h>

#include "dialogs/DialogPair.h"
#include "win/Controls.h"
#include "win/Gdi.h"

// The agreement viewer: a modeless layered pair that drops the user agreement
// down over the main panel, in a read-only rich edit with skinned scroll bars.

// Where the viewer lies over a panel with window rectangle `panel`: 2 px in from
// its left edge, 108 px below its top, 2 px narrower and 128 px shorter (design
// pixels times the scale).
RECT ViewerRectOverPanel(const RECT& panel, float scale);

class CTooltipChildDlg : public CLayeredChildDlg {
public:
    CTooltipChildDlg();
    ~CTooltipChildDlg() override;

    // Places the rich edit 8 design pixels inside the client area; the first time
    // also skins its scroll bars and sets the agreement text.
    void SetUp(bool first);

    CRichEditCtrl m_edit;

    // Tab and Shift+Tab leave the viewer: its owner is told (WM_VIEWER_LEAVE) and
    // gives the keyboard back where the viewer came from. The text box takes every
    // other key, so that the text can be read and scrolled.
    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    void OnSize(UINT type, int cx, int cy) override;
    BOOL OnEraseBkgnd(HDC dc) override;
    void OnDestroy() override;

private:
    // The skinned bars draw from it until the rich edit is gone.
    win::Bitmap m_bmpScroll;
    bool m_bSetUp = false;
};

class CTooltipDlg : public CLayeredBackDlg {
public:
    explicit CTooltipDlg(CWnd* parent = nullptr);

    // Shows (non-zero) or hides the child; nothing when there is none.
    void ShowChild(int show);
    // Makes the shown viewer the active window with the keyboard in its text.
    void TakeFocus();
    // Whether the viewer is the active window of its thread.
    bool IsActive() const;
    CTooltipChildDlg* Child() const { return static_cast<CTooltipChildDlg*>(m_pChild); }

protected:
    BOOL OnInitDialog() override;
    void OnSize(UINT type, int cx, int cy) override;

private:
    SIZE m_drawn{0, 0};
};
