#pragma once
#include "skin/SkinButton.h"

// A large action button: draws the owner's skin behind its picture and can leave
// a transparent rim of the art out of the clickable area.
class CImageButton : public CSkinButton {
public:
    CImageButton() = default;

    // Insets of the clickable area from the client edges.
    void SetHitMargins(int left, int top, int right, int bottom);
    // Whether the cursor is inside the clickable area.
    BOOL IsCursorInButton();
    // Whether the BN_CLICKED being handled counts: a click with the pointer inside the
    // clickable area, or the Space key on the focused button (the key has no rim).
    BOOL IsClickInside();

    void DrawItem(LPDRAWITEMSTRUCT dis) override;

protected:
    BOOL OnEraseBkgnd(HDC dc) override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void Paint(HDC target, bool focused);

    RECT m_rcClient{};
    int m_nHitLeft = 0;
    int m_nHitTop = 0;
    int m_nHitRight = 0;
    int m_nHitBottom = 0;
    bool m_bKeyClick = false;  // the system button is handling a Space release
};
