#pragma once
#include "skin/SkinButton.h"

// A small button (title-bar buttons, the prompt's answers): its picture over the
// borrowed background or white.
class CPngButton : public CSkinButton {
public:
    CPngButton() = default;

    void DrawItem(LPDRAWITEMSTRUCT dis) override;

    // The owner's scale factor, written before the first paint.
    float m_fScale = 1.0f;
};
