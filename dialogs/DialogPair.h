#pragma once
#include <windows.h>
#include <gdiplus.h>

#include "win/Dialog.h"

// Every window of the tool is a pair: a borderless layered "back" that shows a PNG
// with per-pixel alpha, and a "child" popup owned by it, laid over it with an
// inset, that carries the controls. Whichever of the two drives the pair moves the
// other along.

// Set on a back once its child is reliably stacked above it after it was shown or
// raised; GUI tests wait for it before they click.
constexpr wchar_t kPairSettledProp[] = L"Orvane.PairSettled";

// The child's inset in the back, in design pixels.
struct PairInsets {
    int left, top, right, bottom;
};

// The child's place for a back window rectangle: offsets int(inset * scale) each.
RECT ChildRectInBack(const RECT& back, const PairInsets& in, float scale);
// The back's place around a child window rectangle (the surround operation).
RECT BackRectAroundChild(const RECT& child, const PairInsets& in, float scale);
// Whether a screen point lies in a draggable child's caption strip: `height`
// pixels from the top of the client area, less `excludeRight` at the right.
bool InCaptionStrip(const RECT& clientOnScreen, int height, int excludeRight, POINT screenPoint);

class CLayeredBackDlg : public CDialog {
public:
    CLayeredBackDlg(UINT templateId, CWnd* parent, const PairInsets& insets, int follow);
    ~CLayeredBackDlg() override;

    // The surround operation: stops following and moves the back around the
    // child's window rectangle. Returns 0.
    int Surround(const RECT& childRect);

    BOOL PreTranslateMessage(MSG* msg) override;

    float m_fScale = 1.0f;
    int m_nFollow;

protected:
    // Makes the window layered and shows `pngId` stretched to width x height at the
    // window's current top-left. False (nothing drawn) when the PNG cannot be loaded.
    bool DrawLayeredBack(UINT pngId, int width, int height);
    // Creates the child (already constructed, scale and payload set) from its
    // template with this back as owner, places it by the insets and shows it.
    bool CreateChild(CDialog* child, UINT childTemplate);
    // Moves the child to this window's rectangle shrunk by the insets.
    void PlaceChild();

    void OnMove(int x, int y) override;
    void OnDestroy() override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

    PairInsets m_insets;
    Gdiplus::Image* m_pBkImage = nullptr;
    CDialog* m_pChild = nullptr;

private:
    void RaiseChild();
    void ActivateChild();
    int m_raiseTicks = 0;
};

class CLayeredChildDlg : public CDialog {
public:
    // stripHeight 0: the child cannot be dragged.
    CLayeredChildDlg(UINT templateId, CWnd* parent, int stripHeight = 0, int stripExcludeRight = 0,
                     bool scaleStrip = false);
    ~CLayeredChildDlg() override;

    BOOL PreTranslateMessage(MSG* msg) override;

    float m_fScale = 1.0f;
    int m_nDrag = 0;

protected:
    // The child's background picture, and the layout of its controls: run the
    // first time once the picture has loaded, then on every size change.
    virtual UINT BackgroundPng() const { return 0; }
    virtual void Layout(bool first) {}

    BOOL OnInitDialog() override;
    // A close request of the system (Alt+F4, the system menu) reaches the active
    // window of the pair, the child; the back decides how the pair closes.
    void OnCancel() override;
    void OnSize(UINT type, int cx, int cy) override;
    BOOL OnEraseBkgnd(HDC dc) override;

    // Loads the child's PNG once into m_pBkImage.
    bool EnsureBkImage(UINT pngId);
    // Paints m_pBkImage stretched over the client area through an off-screen buffer.
    BOOL PaintBkImage(HDC dc, const RECT* source = nullptr);
    CLayeredBackDlg* Back() const;

    LRESULT OnNcHitTest(POINT pt) override;
    void OnMove(int x, int y) override;
    void OnDestroy() override;

    Gdiplus::Image* m_pBkImage = nullptr;
    bool m_bInitialized = false;

private:
    int m_stripHeight, m_stripExcludeRight;
    bool m_scaleStrip;
};
