#include <gtest/gtest.h>

#include <vector>

#include "skin/ScrollGeometry.h"
#include "tests/support/Rects.h"

namespace sc = skin::scroll;

namespace {

constexpr int kCell = 13;

sc::State Info(int nMin, int nMax, int nPage, int nPos, int nTrackPos = -1) {
    return sc::State{nMin, nMax, nPage, nPos, nTrackPos};
}

#define EXPECT_RECT(a, b) EXPECT_TRUE(support::SameRect((a), (b))) << support::ShowRect(a) << " vs " << support::ShowRect(b)

}  // namespace

TEST(ScrollGeometry, LayoutAlongTheBar) {
    struct Case {
        const char* name;
        float scale;
        int length;
        sc::State info;
        sc::Use use;
        // thickness, H, T, D, A, O
        int thickness, track, thumb, freeRange, arrow, offset;
    };
    const Case cases[] = {
        {"top", 1.0f, 200, Info(0, 99, 10, 0), sc::Use::Draw, 13, 174, 17, 90, 13, 0},
        {"middle", 1.0f, 200, Info(0, 99, 10, 45), sc::Use::Draw, 13, 174, 17, 90, 13, 78},
        {"end", 1.0f, 200, Info(0, 99, 10, 90), sc::Use::Draw, 13, 174, 17, 90, 13, 157},
        {"drag position wins over nPos", 1.0f, 200, Info(0, 99, 10, 0, 90), sc::Use::Draw, 13, 174, 17, 90, 13, 157},
        {"position beyond the range stays on the track", 1.0f, 200, Info(0, 99, 10, 500), sc::Use::Draw, 13, 174, 17, 90, 13, 157},
        {"range not starting at 0, at nMin", 1.0f, 200, Info(10, 109, 10, 10), sc::Use::Draw, 13, 174, 17, 90, 13, 0},
        {"range not starting at 0, at the end", 1.0f, 200, Info(10, 109, 10, 100), sc::Use::Draw, 13, 174, 17, 90, 13, 157},
        {"shorter than two arrows", 1.0f, 20, Info(0, 99, 10, 50), sc::Use::Draw, 13, 0, 0, 90, 10, 0},
        {"exactly two arrows", 1.0f, 26, Info(0, 99, 10, 50), sc::Use::HitTest, 13, 0, 0, 90, 13, 0},
        {"track of 5: no thumb", 1.0f, 31, Info(0, 99, 10, 90), sc::Use::HitTest, 13, 5, 0, 90, 13, 5},
        {"track of 6: minimum thumb", 1.0f, 32, Info(0, 999, 1, 0), sc::Use::HitTest, 13, 6, 6, 999, 13, 0},
        {"long track, tiny page: minimum thumb", 1.0f, 226, Info(0, 9999, 10, 9990), sc::Use::Draw, 13, 200, 6, 9990, 13, 194},
        {"page of 0: minimum thumb", 1.0f, 200, Info(0, 99, 0, 0), sc::Use::HitTest, 13, 174, 6, 100, 13, 0},
        {"D = 0, hit testing: thumb fills the track", 1.0f, 200, Info(0, 9, 10, 0), sc::Use::HitTest, 13, 174, 174, 0, 13, 0},
        {"D = 0, drawing: no thumb, track split", 1.0f, 200, Info(0, 9, 10, 0), sc::Use::Draw, 13, 174, 0, 0, 13, 87},
        {"page larger than range, hit testing", 1.0f, 200, Info(0, 5, 10, 0), sc::Use::HitTest, 13, 174, 174, -4, 13, 0},
        {"page larger than range, drawing", 1.0f, 200, Info(0, 5, 10, 0), sc::Use::Draw, 13, 174, 0, -4, 13, 87},
        {"empty range", 1.0f, 200, Info(0, -1, 0, 0), sc::Use::Draw, 13, 174, 0, 0, 13, 87},
        {"scale 1.5", 1.5f, 300, Info(0, 99, 20, 40), sc::Use::Draw, 19, 261, 52, 80, 19, 104},
        {"scale 1.2: 2 x 13 x 1.2 truncated once", 1.2f, 100, Info(0, 99, 50, 0), sc::Use::Draw, 15, 69, 34, 50, 15, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const sc::Layout g = sc::ComputeLayout(kCell, c.scale, c.length, c.info, c.use);
        EXPECT_EQ(g.thickness, c.thickness);
        EXPECT_EQ(g.length, c.length);
        EXPECT_EQ(g.track, c.track);
        EXPECT_EQ(g.thumb, c.thumb);
        EXPECT_EQ(g.freeRange, c.freeRange);
        EXPECT_EQ(g.arrow, c.arrow);
        EXPECT_EQ(g.offset, c.offset);
    }
}

TEST(ScrollGeometry, PartRectanglesVerticalAndHorizontal) {
    const sc::Layout g = sc::ComputeLayout(kCell, 1.0f, 200, Info(0, 99, 10, 45), sc::Use::Draw);
    struct Case {
        int part;
        RECT vertical, horizontal;
    };
    const Case cases[] = {
        {SB_LINEUP, {0, 0, 13, 13}, {0, 0, 13, 13}},
        {SB_PAGEUP, {0, 13, 13, 91}, {13, 0, 91, 13}},
        {SB_THUMBTRACK, {0, 91, 13, 108}, {91, 0, 108, 13}},
        {SB_PAGEDOWN, {0, 108, 13, 187}, {108, 0, 187, 13}},
        {SB_LINEDOWN, {0, 187, 13, 200}, {187, 0, 200, 13}},
        {SB_TOP, {0, 0, 13, 0}, {0, 0, 0, 13}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.part);
        EXPECT_RECT(sc::PartRect(g, c.part, true), c.vertical);
        EXPECT_RECT(sc::PartRect(g, c.part, false), c.horizontal);
    }

    // Too short for a track: two half-length arrows meet in the middle.
    const sc::Layout small = sc::ComputeLayout(kCell, 1.0f, 21, Info(0, 99, 10, 50), sc::Use::Draw);
    EXPECT_RECT(sc::PartRect(small, SB_LINEUP, true), (RECT{0, 0, 13, 10}));
    EXPECT_RECT(sc::PartRect(small, SB_LINEDOWN, true), (RECT{0, 11, 13, 21}));
    EXPECT_RECT(sc::PartRect(small, SB_THUMBTRACK, true), (RECT{0, 10, 13, 10}));
}

TEST(ScrollGeometry, HitTestAlongTheBar) {
    const sc::Layout g = sc::ComputeLayout(kCell, 1.0f, 200, Info(0, 99, 10, 45), sc::Use::HitTest);
    const std::vector<std::pair<int, int>> cases = {
        {-1, sc::kNoPart}, {0, SB_LINEUP},      {12, SB_LINEUP},     {13, SB_PAGEUP},   {90, SB_PAGEUP},
        {91, SB_THUMBTRACK}, {107, SB_THUMBTRACK}, {108, SB_PAGEDOWN}, {186, SB_PAGEDOWN}, {187, SB_LINEDOWN},
        {199, SB_LINEDOWN}, {500, SB_LINEDOWN},
    };
    for (const auto& c : cases) EXPECT_EQ(sc::HitTest(g, c.first), c.second) << "at " << c.first;

    const sc::Layout small = sc::ComputeLayout(kCell, 1.0f, 20, Info(0, 99, 10, 50), sc::Use::HitTest);
    EXPECT_EQ(sc::HitTest(small, 9), SB_LINEUP);
    EXPECT_EQ(sc::HitTest(small, 10), SB_LINEDOWN);

    // With nothing to scroll the hit-test thumb covers the track.
    const sc::Layout full = sc::ComputeLayout(kCell, 1.0f, 200, Info(0, 9, 10, 0), sc::Use::HitTest);
    EXPECT_EQ(sc::HitTest(full, 13), SB_THUMBTRACK);
    EXPECT_EQ(sc::HitTest(full, 186), SB_THUMBTRACK);
}

TEST(ScrollGeometry, SkinCellsByPartRowAndDirection) {
    struct Case {
        int part, row;
        bool vertical;
        RECT cell;
    };
    const Case cases[] = {
        {SB_LINEUP, 0, true, {0, 0, 13, 13}},      {SB_LINEDOWN, 2, true, {13, 26, 26, 39}},
        {SB_THUMBTRACK, 1, true, {26, 13, 39, 26}}, {SB_PAGEUP, 0, true, {39, 0, 52, 13}},
        {SB_PAGEDOWN, 2, true, {39, 26, 52, 39}},   {SB_LINEUP, 1, false, {52, 13, 65, 26}},
        {SB_LINEDOWN, 0, false, {65, 0, 78, 13}},  {SB_THUMBTRACK, 2, false, {78, 26, 91, 39}},
        {SB_PAGEDOWN, 0, false, {91, 0, 104, 13}}, {SB_TOP, 0, true, {0, 0, 13, 13}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.part);
        EXPECT_RECT(sc::SkinCell(c.part, c.row, c.vertical, kCell), c.cell);
    }
    EXPECT_RECT(sc::GripCell(2, kCell), (RECT{104, 0, 117, 13}));
    EXPECT_RECT(sc::GripCell(1, kCell), (RECT{104, 13, 117, 26}));
}

TEST(ScrollGeometry, DragStepIsScaledAndClamped) {
    struct Case {
        const char* name;
        int length;
        sc::State info;
        int start, delta, expected;
    };
    const Case cases[] = {
        // H 174, T 17: 157 free pixels carry 90 positions.
        {"whole free track", 200, Info(0, 99, 10, 0), 0, 157, 90},
        {"small step truncates", 200, Info(0, 99, 10, 45), 45, 10, 50},
        {"up a little", 200, Info(0, 99, 10, 45), 45, -10, 40},
        {"past the bottom clamps at the last position", 200, Info(0, 99, 10, 45), 45, 1000, 90},
        {"past the top clamps at nMin", 200, Info(0, 99, 10, 45), 45, -1000, 0},
        {"range not starting at 0 clamps at nMax - nPage + 1", 200, Info(10, 109, 10, 50), 50, 1000, 100},
        {"range not starting at 0 clamps at nMin", 200, Info(10, 109, 10, 50), 50, -1000, 10},
        {"no free track: no step", 200, Info(0, 9, 10, 0), 0, 50, 0},
        {"no track at all", 20, Info(0, 99, 10, 30), 30, 50, 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const sc::Layout g = sc::ComputeLayout(kCell, 1.0f, c.length, c.info, sc::Use::HitTest);
        EXPECT_EQ(sc::DragPosition(g, c.info, c.start, c.delta), c.expected);
    }
}

TEST(ScrollGeometry, RepeatStopsAtTheEndsAndAtThePointer) {
    struct ArrowCase {
        int part;
        sc::State info;
        bool done;
    };
    const ArrowCase arrows[] = {
        {SB_LINEDOWN, Info(0, 99, 10, 89), false}, {SB_LINEDOWN, Info(0, 99, 10, 90), true},
        {SB_LINEDOWN, Info(0, 99, 0, 98), false},  {SB_LINEDOWN, Info(0, 99, 0, 99), true},
        {SB_LINEUP, Info(0, 99, 10, 1), false},    {SB_LINEUP, Info(0, 99, 10, 0), true},
        {SB_LINEUP, Info(5, 99, 10, 5), true},
    };
    for (const ArrowCase& c : arrows) {
        EXPECT_EQ(sc::ArrowRepeatDone(c.part, c.info), c.done) << c.part << " at " << c.info.nPos;
    }

    // Thumb at [91, 108).
    const sc::Layout g = sc::ComputeLayout(kCell, 1.0f, 200, Info(0, 99, 10, 45), sc::Use::Draw);
    const std::vector<std::tuple<int, int, bool>> track = {
        {SB_PAGEDOWN, 150, false}, {SB_PAGEDOWN, 108, false}, {SB_PAGEDOWN, 107, true}, {SB_PAGEDOWN, 50, true},
        {SB_PAGEUP, 50, false},    {SB_PAGEUP, 90, false},    {SB_PAGEUP, 91, true},    {SB_PAGEUP, 150, true},
    };
    for (const auto& [part, v, done] : track) {
        EXPECT_EQ(sc::TrackRepeatDone(part, g, v), done) << part << " at " << v;
    }
}

TEST(ScrollGeometry, TilesAreLaidFromTheTopLeftAndCut) {
    struct Case {
        RECT dest;
        int w, h;
        std::vector<RECT> tiles;
    };
    const std::vector<Case> cases = {
        {{0, 13, 13, 40}, 13, 13, {{0, 13, 13, 26}, {0, 26, 13, 39}, {0, 39, 13, 40}}},
        {{5, 0, 35, 13}, 13, 13, {{5, 0, 18, 13}, {18, 0, 31, 13}, {31, 0, 35, 13}}},
        {{0, 0, 20, 20}, 13, 13, {{0, 0, 13, 13}, {13, 0, 20, 13}, {0, 13, 13, 20}, {13, 13, 20, 20}}},
        {{0, 0, 13, 13}, 19, 19, {{0, 0, 13, 13}}},
        {{0, 30, 13, 30}, 13, 13, {}},
        {{0, 0, 13, 13}, 0, 13, {}},
    };
    for (const Case& c : cases) {
        const std::vector<RECT> got = sc::TileRects(c.dest, c.w, c.h);
        ASSERT_EQ(got.size(), c.tiles.size()) << support::ShowRect(c.dest);
        for (size_t i = 0; i < got.size(); ++i) EXPECT_RECT(got[i], c.tiles[i]);
    }
}

TEST(ScrollGeometry, ThumbIsTwoCapsAndATiledMiddle) {
    struct Case {
        RECT dest, cell;
        int thickness;
        bool vertical;
        sc::Blit firstCap, lastCap, middle;
    };
    const Case cases[] = {
        {{0, 30, 13, 60}, {26, 0, 39, 13}, 13, true,
         {{0, 30, 13, 33}, {26, 0, 39, 3}}, {{0, 57, 13, 60}, {26, 10, 39, 13}}, {{0, 33, 13, 57}, {26, 3, 39, 10}}},
        {{40, 0, 70, 19}, {78, 13, 91, 26}, 19, false,
         {{40, 0, 43, 19}, {78, 13, 81, 26}}, {{67, 0, 70, 19}, {88, 13, 91, 26}}, {{43, 0, 67, 19}, {81, 13, 88, 26}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.vertical);
        const sc::ThumbPieces p = sc::LayoutThumb(c.dest, c.cell, c.thickness, c.vertical);
        ASSERT_FALSE(p.empty);
        const std::pair<sc::Blit, sc::Blit> pieces[] = {{p.firstCap, c.firstCap}, {p.lastCap, c.lastCap}, {p.middle, c.middle}};
        for (const auto& [got, want] : pieces) {
            EXPECT_RECT(got.dst, want.dst);
            EXPECT_RECT(got.src, want.src);
        }
    }
    EXPECT_TRUE(sc::LayoutThumb(RECT{0, 40, 13, 40}, RECT{26, 0, 39, 13}, 13, true).empty);
}

TEST(ScrollGeometry, DragUncoversTheStripBehindTheThumb) {
    EXPECT_RECT(sc::UncoveredStrip(RECT{0, 30, 13, 47}, RECT{0, 40, 13, 57}, true, 13), (RECT{0, 30, 13, 40}));
    EXPECT_RECT(sc::UncoveredStrip(RECT{0, 30, 13, 47}, RECT{0, 20, 13, 37}, true, 13), (RECT{0, 37, 13, 47}));
    EXPECT_RECT(sc::UncoveredStrip(RECT{0, 30, 13, 47}, RECT{0, 100, 13, 117}, true, 13), (RECT{0, 30, 13, 100}));
    EXPECT_RECT(sc::UncoveredStrip(RECT{30, 0, 47, 13}, RECT{40, 0, 57, 13}, false, 13), (RECT{30, 0, 40, 13}));
    EXPECT_RECT(sc::UncoveredStrip(RECT{30, 0, 47, 13}, RECT{20, 0, 37, 13}, false, 13), (RECT{37, 0, 47, 13}));
}

TEST(ScrollGeometry, FrameTakesTheHostsBorder) {
    struct Case {
        const char* name;
        DWORD style, exStyle;
        float scale;
        DWORD frameStyle, frameEx, hostStyle, hostEx;
        SIZE inner, host;
    };
    const DWORD base = WS_CHILD | WS_VSCROLL | ES_MULTILINE;
    const Case cases[] = {
        {"border", base | WS_VISIBLE | WS_BORDER, 0, 1.0f, WS_CHILD | 0x100 | WS_VISIBLE | WS_BORDER, 0,
         base | WS_VISIBLE, 0, {298, 198}, {302, 198}},
        {"client edge at 1.5", base | WS_VISIBLE, WS_EX_CLIENTEDGE | WS_EX_NOPARENTNOTIFY, 1.5f, WS_CHILD | 0x100 | WS_VISIBLE,
         0, base | WS_VISIBLE, WS_EX_NOPARENTNOTIFY, {294, 194}, {300, 194}},
        {"hidden tool window", base, WS_EX_TOOLWINDOW, 1.0f, WS_CHILD | 0x100, WS_EX_TOOLWINDOW | WS_EX_TOPMOST, base,
         WS_EX_TOOLWINDOW, {300, 200}, {304, 200}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const sc::FramePlan p = sc::PlanFrame(c.style, c.exStyle, SIZE{300, 200}, c.scale, 1, 2);
        EXPECT_EQ(p.frameStyle, c.frameStyle);
        EXPECT_EQ(p.frameExStyle, c.frameEx);
        EXPECT_EQ(p.hostStyle, c.hostStyle);
        EXPECT_EQ(p.hostExStyle, c.hostEx);
        EXPECT_EQ(p.inner.cx, c.inner.cx);
        EXPECT_EQ(p.inner.cy, c.inner.cy);
        EXPECT_EQ(p.hostSize.cx, c.host.cx);
        EXPECT_EQ(p.hostSize.cy, c.host.cy);
    }
}

TEST(ScrollGeometry, NonClientLimitAndCorner) {
    struct Case {
        const char* name;
        RECT client;
        bool vert, horz, left;
        RECT newClient, vbar, hbar;
        int corner;
        RECT limit;
        int hostX;
        RECT cornerRect;
    };
    // t 13 in place of the system's 17; the frame is 300 x 200.
    const Case cases[] = {
        {"vertical on the right", {0, 0, 283, 200}, true, false, false, {0, 0, 287, 200}, {287, 0, 300, 200},
         {0, 200, 287, 213}, 0, {0, 0, 287, 200}, 0, {0, 0, 0, 0}},
        {"both on the right", {0, 0, 283, 183}, true, true, false, {0, 0, 287, 187}, {287, 0, 300, 187},
         {0, 187, 287, 200}, 2, {0, 0, 287, 187}, 0, {287, 187, 300, 200}},
        {"both, vertical on the left", {17, 0, 300, 183}, true, true, true, {13, 0, 300, 187}, {0, 0, 13, 187},
         {13, 187, 300, 200}, 1, {13, 0, 300, 187}, -13, {0, 187, 13, 200}},
        {"horizontal only", {0, 0, 300, 183}, false, true, false, {0, 0, 300, 187}, {300, 0, 313, 187},
         {0, 187, 300, 200}, 0, {0, 0, 300, 187}, 0, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const sc::NonClientLayout n = sc::LayoutNonClient(c.client, 13, 17, c.vert, c.horz, c.left);
        EXPECT_RECT(n.client, c.newClient);
        EXPECT_RECT(n.vertBar, c.vbar);
        EXPECT_RECT(n.horzBar, c.hbar);
        EXPECT_EQ(n.corner, c.corner);
        const sc::LimitLayout l = sc::LayoutLimit(RECT{0, 0, 300, 200}, 13, c.horz, c.vert, c.left);
        EXPECT_RECT(l.limit, c.limit);
        EXPECT_EQ(l.hostX, c.hostX);
        EXPECT_RECT(sc::CornerRect(RECT{0, 0, 300, 200}, 13, n.corner), c.cornerRect);
    }
}
