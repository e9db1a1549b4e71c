#pragma once
#include <windows.h>
#include <gdiplus.h>

#include <optional>
#include <string>

#include "win/Gdi.h"

// What every skinned control shares: the layout rules and state machine as pure
// functions, and one paint helper that draws through the off-screen buffer.
namespace skin {

// Button states as the controls and their owners count them.
constexpr int kStateNormal = 1;
constexpr int kStateHover = 2;
constexpr int kStatePressed = 3;

enum class ButtonEvent { Hover, LButtonDown, LButtonUp, Leave };

// The state after `event`. A disabled button keeps its state; hover, button-down
// and button-up count only when their point lies inside the button.
int NextButtonState(int state, ButtonEvent event, bool enabled, bool pointInside);

enum class ButtonImage { Normal = 0, Hover = 1, Pressed = 2, Disabled = 3 };

// The picture a button shows: the disabled one whenever the window is disabled.
ButtonImage ChooseButtonImage(int state, bool enabled);

// The clickable part of a client rectangle: each edge moved in by its margin.
RECT HitRect(const RECT& client, int left, int top, int right, int bottom);

// The part of a button picture that a small button draws: one pixel narrower and
// shorter when scaled up, which keeps the stretched edge from smearing its last row.
RECT PngButtonSource(UINT width, UINT height, float scale);

// DrawTextW flags per alignment mode of the status line (never empty).
UINT StateInfoTextFormat(int mode);
// DrawTextW flags per alignment mode of a drawn text; nothing for the modes that
// show only the background.
std::optional<UINT> DrawTextFormat(int mode);

// The status line's dots: 0 to 3, one more each second, then none again.
int NextDotCount(int dots);
std::wstring DotSuffix(int dots);

// Check box: the square cell at the left, vertically centred, and the caption
// after it.
struct CheckBoxLayout {
    RECT cell;
    RECT text;
};
CheckBoxLayout LayoutCheckBox(const RECT& client, float scale);
// The cell of the check-box picture for a check state (1 checked).
RECT CheckCellSource(int checkState);

// A copy of the font a window uses (WM_GETFONT), or of the stock GUI font when it
// has none.
win::Font CopyFontOf(HWND window);

// Whether the dialog of a control shows focus cues: it hides them until the user
// works with the keyboard (DialogShowsFocusCues).
bool FocusCuesShown(HWND control);
// Whether a control that has the keyboard focus shows it now.
bool ShowsFocusCue(HWND control);
// Where a focus cue goes in `r`: each edge moved in by `inset`, less where `r` is too
// small for it; empty for an empty `r`.
RECT FocusCueRect(const RECT& r, int inset);

// Draws the source rectangle `src` (left, top, right, bottom in image pixels) of
// `image` stretched into `dst`. Nothing happens for a null image.
bool DrawImageRect(Gdiplus::Graphics& graphics, Gdiplus::Image* image, const RECT& dst, const RECT& src);
// The whole image stretched into `dst`.
bool DrawWholeImage(Gdiplus::Graphics& graphics, Gdiplus::Image* image, const RECT& dst);

// One paint of a skinned control or dialog into the off-screen buffer: the buffer
// of the client size, filled with `fill` (when given), in transparent text mode;
// GDI+ and GDI text draw into it, and Present() copies it to the target in one
// BitBlt. Nothing touches the target before Present().
class SkinCanvas {
public:
    SkinCanvas(HDC target, const RECT& client, HBRUSH fill);
    SkinCanvas(const SkinCanvas&) = delete;
    SkinCanvas& operator=(const SkinCanvas&) = delete;

    bool ok() const { return buffer_.ok(); }
    HDC dc() const { return buffer_.dc(); }
    const RECT& client() const { return client_; }

    // A GDI+ surface on the buffer, made at the first call; smoothing mode high
    // quality when `smooth`.
    Gdiplus::Graphics& Graphics(bool smooth = true);
    // GDI text in the given font and colour (GDI+ drawing is finished first).
    void Text(HFONT font, COLORREF colour, const std::wstring& text, RECT rect, UINT format);
    // The system's dotted focus rectangle, which shows on any picture behind it.
    void FocusRect(const RECT& rect);
    void Present();

private:
    void EndGraphics();

    RECT client_;
    win::OffscreenBuffer buffer_;
    std::optional<Gdiplus::Graphics> graphics_;
};

}  // namespace skin
