#include "skin/PngButton.h"

namespace {
// Small buttons keep their cue close to the edge.
constexpr int kFocusCueInset = 2;
}  // namespace

void CPngButton::DrawItem(LPDRAWITEMSTRUCT dis) {
    if (!dis || !HasAllImages()) return;
    const RECT item = dis->rcItem;
    // Without the background the buffer starts white.
    skin::SkinCanvas canvas(dis->hDC, item, m_pBkImage ? nullptr : m_brFill.get());
    if (!canvas.ok()) return;
    Gdiplus::Graphics& graphics = canvas.Graphics();
    DrawBackground(graphics, item);
    Gdiplus::Image* image = CurrentImage();
    skin::DrawImageRect(graphics, image, item, skin::PngButtonSource(image->GetWidth(), image->GetHeight(), m_fScale));
    if ((dis->itemState & ODS_FOCUS) && skin::FocusCuesShown(m_hWnd)) {
        canvas.FocusRect(skin::FocusCueRect(item, kFocusCueInset));
    }
    canvas.Present();
}
