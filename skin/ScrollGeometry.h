#pragma once
#include <windows.h>

#include <algorithm>
#include <vector>

#include "win/Scale.h"

// Geometry of the skinned scroll bar and its frame, as pure functions. Lengths
// along a bar are pixels from its top (vertical) or left (horizontal) end; parts
// are the system's scroll codes (SB_LINEUP ... SB_THUMBTRACK), -1 for none.
namespace skin::scroll {

constexpr int kNoPart = -1;
// Fixed length of the thumb's end caps, in pixels of the bitmap and the screen.
constexpr int kThumbCap = 3;
constexpr int kMinThumb = 6;

// The scroll information a bar keeps; nTrackPos is -1 while no drag is running.
struct State {
    int nMin = 0;
    int nMax = 0;
    int nPage = 0;
    int nPos = 0;
    int nTrackPos = -1;
};

// The free range D: how far the first visible unit can move.
inline int FreeRange(const State& s) { return s.nMax - s.nMin + 1 - s.nPage; }

// The last position a host can scroll to (a page of 0 counts as 1).
inline int MaxPos(const State& s) { return std::max(s.nMin, s.nMax - std::max(s.nPage - 1, 0)); }

inline bool IsArrow(int part) { return part == SB_LINEUP || part == SB_LINEDOWN; }
inline bool IsTrack(int part) { return part == SB_PAGEUP || part == SB_PAGEDOWN; }

// Hit testing and the drag step see the thumb the bar works with; drawing hides it
// when there is nothing to scroll, and a disabled bar shows none.
enum class Use { HitTest, Draw, DrawDisabled };

struct Layout {
    int thickness = 0;  // across the bar: int(cell x scale)
    int length = 0;     // L
    int track = 0;      // H
    int thumb = 0;      // T
    int freeRange = 0;  // D
    int arrow = 0;      // A
    int offset = 0;     // O
};

inline Layout ComputeLayout(int cell, float scale, int length, const State& s, Use use) {
    Layout g;
    g.thickness = win::Scaled(static_cast<float>(cell), scale);
    g.length = length;
    g.track = std::max(0, length - win::Scaled(static_cast<float>(2 * cell), scale));
    g.freeRange = FreeRange(s);

    const long long range = static_cast<long long>(s.nMax) - s.nMin + 1;
    if (g.track > 5 && range > 0) {
        long long t = static_cast<long long>(std::max(s.nPage, 0)) * g.track / range;
        if (t <= 5) t = kMinThumb;
        // A page larger than the range would give a thumb longer than its track.
        g.thumb = static_cast<int>(std::min<long long>(t, g.track));
    }
    if ((use == Use::Draw && g.freeRange <= 0) || use == Use::DrawDisabled) g.thumb = 0;

    g.arrow = g.track > 0 ? g.thickness : length / 2;

    const int p = s.nTrackPos != -1 ? s.nTrackPos : s.nPos;
    if (g.freeRange > 0) {
        const long long along = std::clamp<long long>(static_cast<long long>(p) - s.nMin, 0, g.freeRange);
        g.offset = static_cast<int>(static_cast<long long>(g.track - g.thumb) * along / g.freeRange);
    } else {
        g.offset = (g.track - g.thumb) / 2;
    }
    return g;
}

struct Span {
    int start = 0;
    int end = 0;
};

inline Span PartSpan(const Layout& g, int part) {
    const int a = g.arrow, o = g.offset, t = g.thumb, l = g.length;
    switch (part) {
    case SB_LINEUP: return {0, a};
    case SB_PAGEUP: return {a, a + o};
    case SB_THUMBTRACK: return {a + o, a + o + t};
    case SB_PAGEDOWN: return {a + o + t, l - a};
    case SB_LINEDOWN: return {l - a, l};
    default: return {0, 0};
    }
}

inline RECT SpanRect(Span s, int thickness, bool vertical) {
    return vertical ? RECT{0, s.start, thickness, s.end} : RECT{s.start, 0, s.end, thickness};
}

inline RECT PartRect(const Layout& g, int part, bool vertical) {
    return SpanRect(PartSpan(g, part), g.thickness, vertical);
}

// v: the y of a vertical bar's client point, the x of a horizontal one's.
inline int HitTest(const Layout& g, int v) {
    if (v < 0) return kNoPart;
    if (v < g.arrow) return SB_LINEUP;
    if (v < g.arrow + g.offset) return SB_PAGEUP;
    if (v < g.arrow + g.offset + g.thumb) return SB_THUMBTRACK;
    if (v < g.length - g.arrow) return SB_PAGEDOWN;
    return SB_LINEDOWN;
}

// The cell of the skin bitmap for a part in a state row (0 normal, 1 hot, 2 pressed).
inline RECT SkinCell(int part, int row, bool vertical, int cell) {
    int column = 0;
    switch (part) {
    case SB_LINEDOWN: column = 1; break;
    case SB_THUMBTRACK: column = 2; break;
    case SB_PAGEUP:
    case SB_PAGEDOWN: column = 3; break;
    default: column = 0; break;
    }
    if (!vertical) column += 4;
    return RECT{column * cell, row * cell, (column + 1) * cell, (row + 1) * cell};
}

// The size-grip cell: row 0 for bars on the right, row 1 for bars on the left.
inline RECT GripCell(int cornerType, int cell) {
    const int row = cornerType == 1 ? 1 : 0;
    return RECT{8 * cell, row * cell, 9 * cell, (row + 1) * cell};
}

// The position a thumb drag has reached after moving `delta` pixels from where it
// started at `startPos`; layout `g` is the hit-test layout.
inline int DragPosition(const Layout& g, const State& s, int startPos, int delta) {
    const int free = g.track - g.thumb;
    const long long step = free != 0 ? static_cast<long long>(g.freeRange) * delta / free : 0;
    const long long pos = static_cast<long long>(startPos) + step;
    return static_cast<int>(std::clamp<long long>(pos, s.nMin, std::max(s.nMin, MaxPos(s))));
}

// The strip the thumb uncovers when it moves from `before` to `after`.
inline RECT UncoveredStrip(const RECT& before, const RECT& after, bool vertical, int thickness) {
    if (vertical) {
        return after.top > before.top ? RECT{0, before.top, thickness, after.top}
                                       : RECT{0, after.bottom, thickness, before.bottom};
    }
    return after.left > before.left ? RECT{before.left, 0, after.left, thickness}
                                     : RECT{after.right, 0, before.right, thickness};
}

// Whether a held arrow has nothing left to scroll.
inline bool ArrowRepeatDone(int part, const State& s) {
    if (part == SB_LINEUP) return s.nPos <= s.nMin;
    if (part == SB_LINEDOWN) return s.nPos >= MaxPos(s);
    return true;
}

// Whether a held track part has paged the thumb up to the pointer at `v`: the
// pointer is on the thumb or the thumb has moved past it.
inline bool TrackRepeatDone(int part, const Layout& drawn, int v) {
    const Span thumb = PartSpan(drawn, SB_THUMBTRACK);
    if (part == SB_PAGEUP) return v >= thumb.start;
    if (part == SB_PAGEDOWN) return v < thumb.end;
    return true;
}

// Tiles of tileW x tileH from the destination's top-left corner, the last column
// and row cut at its right and bottom edges.
inline std::vector<RECT> TileRects(const RECT& dest, int tileW, int tileH) {
    std::vector<RECT> tiles;
    if (tileW <= 0 || tileH <= 0) return tiles;
    for (LONG y = dest.top; y < dest.bottom; y += tileH) {
        for (LONG x = dest.left; x < dest.right; x += tileW) {
            tiles.push_back(RECT{x, y, std::min<LONG>(x + tileW, dest.right), std::min<LONG>(y + tileH, dest.bottom)});
        }
    }
    return tiles;
}

struct Blit {
    RECT dst;
    RECT src;
};

// The thumb: two end caps copied as they are and the middle of the cell, which
// the caller tiles over `middle.dst`. Nothing for an empty destination.
struct ThumbPieces {
    bool empty = true;
    Blit firstCap{};
    Blit lastCap{};
    Blit middle{};
};

inline ThumbPieces LayoutThumb(const RECT& dest, const RECT& cellSrc, int thickness, bool vertical) {
    ThumbPieces p;
    if (dest.right <= dest.left || dest.bottom <= dest.top) return p;
    p.empty = false;
    const int c = kThumbCap;
    if (vertical) {
        p.firstCap = {{dest.left, dest.top, dest.left + thickness, dest.top + c},
                      {cellSrc.left, cellSrc.top, cellSrc.right, cellSrc.top + c}};
        p.lastCap = {{dest.left, dest.bottom - c, dest.left + thickness, dest.bottom},
                     {cellSrc.left, cellSrc.bottom - c, cellSrc.right, cellSrc.bottom}};
        p.middle = {{dest.left, dest.top + c, dest.right, dest.bottom - c},
                    {cellSrc.left, cellSrc.top + c, cellSrc.right, cellSrc.bottom - c}};
    } else {
        p.firstCap = {{dest.left, dest.top, dest.left + c, dest.top + thickness},
                      {cellSrc.left, cellSrc.top, cellSrc.left + c, cellSrc.bottom}};
        p.lastCap = {{dest.right - c, dest.top, dest.right, dest.top + thickness},
                     {cellSrc.right - c, cellSrc.top, cellSrc.right, cellSrc.bottom}};
        p.middle = {{dest.left + c, dest.top, dest.right - c, dest.bottom},
                    {cellSrc.left + c, cellSrc.top, cellSrc.right - c, cellSrc.bottom}};
    }
    return p;
}

// How the frame takes the host's place: its styles, the host's styles after
// skinning, the host's size inside it.
struct FramePlan {
    DWORD frameStyle = 0;
    DWORD frameExStyle = 0;
    DWORD hostStyle = 0;
    DWORD hostExStyle = 0;
    SIZE inner{};     // F: the host's rectangle less the border it gives up
    SIZE hostSize{};  // what the host is sized to inside the limit window
};

inline FramePlan PlanFrame(DWORD hostStyle, DWORD hostExStyle, SIZE outer, float scale, int cxBorder, int cxEdge) {
    FramePlan p;
    p.frameStyle = WS_CHILD | 0x100;
    p.hostStyle = hostStyle;
    p.hostExStyle = hostExStyle;
    p.inner = outer;
    if (hostExStyle & WS_EX_TOOLWINDOW) p.frameExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    if (hostStyle & WS_VISIBLE) p.frameStyle |= WS_VISIBLE;
    if (hostStyle & WS_BORDER) {
        p.frameStyle |= WS_BORDER;
        p.hostStyle &= ~static_cast<DWORD>(WS_BORDER);
        p.inner.cx -= 2 * cxBorder;
        p.inner.cy -= 2 * cxBorder;
    }
    if (hostExStyle & WS_EX_CLIENTEDGE) {
        p.hostExStyle &= ~static_cast<DWORD>(WS_EX_CLIENTEDGE);
        const int edge = win::Scaled(static_cast<float>(2 * cxEdge), scale);
        p.inner.cx -= edge;
        p.inner.cy -= edge;
    }
    p.hostSize = SIZE{p.inner.cx + win::Scaled(4.0f, scale), p.inner.cy};
    return p;
}

// The host's client rectangle after its own scroll bars shrank to the skin's
// thickness t (from the system's width w), and where the skin bars go, in the
// frame's client coordinates. Corner: 1 both bars with the vertical one on the
// left, 2 both on the right, 0 otherwise.
struct NonClientLayout {
    RECT client{};
    RECT vertBar{};
    RECT horzBar{};
    int corner = 0;
};

inline NonClientLayout LayoutNonClient(RECT r, int t, int w, bool hasVert, bool hasHorz, bool left) {
    NonClientLayout n;
    if (hasVert) {
        if (left) r.left += t - w;
        else r.right += w - t;
    }
    if (hasHorz) r.bottom += w - t;
    n.client = r;
    n.vertBar = left ? RECT{r.left - t, 0, r.left, r.bottom} : RECT{r.right, 0, r.right + t, r.bottom};
    n.horzBar = left ? RECT{r.left, r.bottom, r.right, r.bottom + t} : RECT{0, r.bottom, r.right, r.bottom + t};
    n.corner = hasVert && hasHorz ? (left ? 1 : 2) : 0;
    return n;
}

// The clipping window inside the frame and the host's x inside it: the bars are
// cut off, a left bar by shifting the host left under the clip.
struct LimitLayout {
    RECT limit{};
    int hostX = 0;
};

inline LimitLayout LayoutLimit(const RECT& frameClient, int t, bool horzVisible, bool vertPresent, bool left) {
    LimitLayout l{frameClient, 0};
    if (horzVisible) l.limit.bottom -= t;
    if (vertPresent) {
        if (left) {
            l.limit.left += t;
            l.hostX = -t;
        } else {
            l.limit.right -= t;
        }
    }
    return l;
}

// The t x t square of the frame's client area that shows the size grip.
inline RECT CornerRect(const RECT& frameClient, int t, int cornerType) {
    if (cornerType == 1) return RECT{frameClient.left, frameClient.bottom - t, frameClient.left + t, frameClient.bottom};
    if (cornerType == 2) return RECT{frameClient.right - t, frameClient.bottom - t, frameClient.right, frameClient.bottom};
    return RECT{0, 0, 0, 0};
}

}  // namespace skin::scroll
