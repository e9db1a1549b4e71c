#pragma once
#include "skin/SkinButton.h"

// A large action button: draws the owner's skin behind its picture and can leave
// a transparent rim of the art out of the clickable area.
class CImageButton : public CSkinButton {
public:
    CImageButton() = default;

    // Insets of the clickable area from the client edges.
    void SetHitMargins(int left, int top, int right, int bottom);
    // Whether the cursor is inside the clickable area; owners ignore BN_CLICKED
    // when it is not.
    BOOL IsCursorInButton();

    void DrawItem(LPDRAWITEMSTRUCT dis) override;

protected:
    BOOL OnEraseBkgnd(HDC dc) override;

private:
    void Paint(HDC target);

    RECT m_rcClient{};
    int m_nHitLeft = 0;
    int m_nHitTop = 0;
    int m_nHitRight = 0;
    int m_nHitBottom = 0;
};
