#pragma once
#include "skin/SkinStatic.h"

// A drawn text (labels, links, the prompt's message). It has no mouse handling of
// its own: the owner feeds it pointer positions with UpdateHover and decides what
// a click on it does with HitTest. A link that Tab reaches (WS_TABSTOP) shows the
// focus cue, and Space on it sends its owner STN_CLICKED, as a button sends BN_CLICKED.
class CDrawTextStatic : public CSkinStatic {
public:
    CDrawTextStatic() = default;

    void SetTextColors(COLORREF normal, COLORREF hover);
    // Counts only before the first paint: the fill brush is made from it then.
    void SetBkColor(COLORREF colour) { m_crBk = colour; }
    // Hover follows a screen point; repaints only when the hover flag changes.
    void UpdateHover(int x, int y);
    // Whether a screen point lies on the control.
    BOOL HitTest(int x, int y);

    BOOL IsHover() const { return m_bHover; }

protected:
    void OnPaint() override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    win::Brush m_brFill;
    COLORREF m_crNormal = RGB(0, 0, 0);
    COLORREF m_crHover = RGB(0, 0, 255);
    COLORREF m_crBk = RGB(255, 255, 255);
    BOOL m_bHover = FALSE;
    bool m_bSpaceDown = false;  // Space went down while the text had the focus
};
