#pragma once
#include <windows.h>
#include <gdiplus.h>

#include "skin/Drawing.h"
#include "win/Controls.h"
#include "win/Gdi.h"

// The state model both image buttons share: four owned state pictures, a
// borrowed background, hover after a short rest, pressed, and back to normal on
// leaving. Bound to an owner-drawn template button with SubclassDlgItem; the
// system button behaviour (capture, BN_CLICKED) stays underneath.
class CSkinButton : public CButton {
public:
    ~CSkinButton() override;

    // Loads the four state pictures (normal, hover, pressed, disabled); returns the
    // result of the last load.
    BOOL SetImages(UINT normal, UINT hover, UINT pressed, UINT disabled);
    // Borrows the owner's skin as background; the button never deletes it.
    void SetBkImage(Gdiplus::Image* image) { m_pBkImage = image; }
    // The part of the background image behind the button, in image pixels.
    void SetBkImageRect(int left, int top, int right, int bottom);
    // Deletes the state pictures; the owner calls it when it is destroyed.
    void ReleaseImages();

    int GetState() const { return m_nState; }
    // Whether a leave notification is awaited.
    BOOL IsTracking() const { return m_bTracking; }

protected:
    CSkinButton();

    bool HasAllImages() const;
    Gdiplus::Image* CurrentImage() const;
    void DrawBackground(Gdiplus::Graphics& graphics, const RECT& dst) const;

    void OnMouseMove(UINT flags, POINT point) override;
    void OnMouseHover(UINT flags, POINT point) override;
    void OnMouseLeave() override;
    void OnLButtonDown(UINT flags, POINT point) override;
    void OnLButtonUp(UINT flags, POINT point) override;

    Gdiplus::Image* m_pBkImage = nullptr;
    RECT m_rcBkImage{};
    win::Brush m_brFill;
    Gdiplus::Image* m_pImages[4] = {};
    int m_nState = skin::kStateNormal;
    int m_bTracking = 0;

private:
    bool InClient(POINT client) const;
    void Apply(skin::ButtonEvent event, bool pointInside);
};
