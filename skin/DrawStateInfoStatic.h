#pragma once
#include <string>

#include "skin/SkinStatic.h"

// The progress prompt's status line: the window text followed by one to three
// dots that grow once a second while the animation runs.
class CDrawStateInfoStatic : public CSkinStatic {
public:
    static constexpr UINT_PTR kDotTimer = 36;

    CDrawStateInfoStatic();

    // Sets the text colour and repaints.
    void SetFontColor(COLORREF colour);
    void StartDotAnimation();
    // Stops the dots and shows the text without them.
    void StopDotAnimation();

    int GetDotCount() const { return m_nDots; }
    // The text as it is drawn now, dots included.
    std::wstring GetDisplayText() const;

protected:
    void OnPaint() override;
    void OnTimer(UINT_PTR id) override;

private:
    win::Brush m_brFill;
    COLORREF m_crText = RGB(0, 0, 0);
    int m_nDots = 0;
};
