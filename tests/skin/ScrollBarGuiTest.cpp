#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "skin/SkinScrollWnd.h"
#include "tests/support/ScreenPixels.h"
#include "tools/guidriver/GuiDriver.h"
#include "win/Controls.h"
#include "win/Dialog.h"
#include "win/Gdi.h"

namespace gd = guidriver;
namespace sc = skin::scroll;

namespace {

constexpr UINT kDialog = 9400;      // rich edit 9401: border, vertical bar only
constexpr UINT kEdit = 9401;
constexpr UINT kBothDialog = 9410;  // rich edit 9411: client edge, both bars
constexpr UINT kBothEdit = 9411;
constexpr UINT kSkinBitmap = 196;
constexpr int kCell = 13;

std::wstring Lines(int n, const std::wstring& stem = L"Line ") {
    std::wstring s;
    for (int i = 1; i <= n; ++i) {
        s += stem + std::to_wstring(i);
        if (i < n) s += L"\r\n";
    }
    return s;
}

// What the host receives as WM_VSCROLL / WM_HSCROLL: the frame's forwarding. The
// recorder subclasses the host after skinning, as a second subclasser would.
struct ScrollRecord {
    ULONGLONG tick;
    UINT msg;
    int code;
    int pos;
};

std::vector<ScrollRecord> g_records;
WNDPROC g_recorderPrev = nullptr;
bool g_recorderSawNcDestroy = false;

LRESULT CALLBACK RecorderProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_VSCROLL || msg == WM_HSCROLL) {
        g_records.push_back({::GetTickCount64(), msg, LOWORD(wp), static_cast<short>(HIWORD(wp))});
    }
    const WNDPROC prev = g_recorderPrev;
    if (msg == WM_NCDESTROY) {
        g_recorderSawNcDestroy = true;
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(prev));
        g_recorderPrev = nullptr;
    }
    return ::CallWindowProcW(prev, hwnd, msg, wp, lp);
}

void AttachRecorder(HWND host) {
    g_records.clear();
    g_recorderSawNcDestroy = false;
    g_recorderPrev = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(host, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecorderProc)));
}

std::vector<ScrollRecord> Records(UINT msg, int code) {
    std::vector<ScrollRecord> out;
    for (const ScrollRecord& r : g_records) {
        if (r.msg == msg && r.code == code) out.push_back(r);
    }
    return out;
}

size_t Count(int code, UINT msg = WM_VSCROLL) { return Records(msg, code).size(); }

// Pixels of a rectangle, row by row, as COLORREF.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> px;
};

Pixels ReadBits(HDC dc, HBITMAP bitmap, int width, int height) {
    Pixels p{width, height, std::vector<COLORREF>(static_cast<size_t>(width) * height)};
    BITMAPINFO bi = win::TopDownDibInfo(width, height);
    std::vector<DWORD> raw(p.px.size());
    ::GetDIBits(dc, bitmap, 0, height, raw.data(), &bi, DIB_RGB_COLORS);
    for (size_t i = 0; i < raw.size(); ++i) {
        p.px[i] = RGB((raw[i] >> 16) & 0xFF, (raw[i] >> 8) & 0xFF, raw[i] & 0xFF);
    }
    return p;
}

Pixels CaptureScreen(const RECT& r) {
    const support::ScreenPixels shot = support::ScreenPixels::OfScreen(r);
    return Pixels{shot.Width(), shot.Height(), shot.Colours()};
}

Pixels SkinPixels(HBITMAP skin, const RECT& cell) {
    BITMAP bm{};
    ::GetObjectW(skin, sizeof(bm), &bm);
    win::WindowDC screen(nullptr);
    const Pixels all = ReadBits(screen.get(), skin, bm.bmWidth, bm.bmHeight);
    Pixels p{cell.right - cell.left, cell.bottom - cell.top, {}};
    for (int y = cell.top; y < cell.bottom; ++y) {
        for (int x = cell.left; x < cell.right; ++x) p.px.push_back(all.px[static_cast<size_t>(y) * all.width + x]);
    }
    return p;
}

bool SamePixels(const Pixels& a, const Pixels& b) {
    return a.width == b.width && a.height == b.height && a.px == b.px;
}

RECT ToScreen(HWND hwnd, RECT r) {
    ::MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

class ScrollDialog : public CDialog {
public:
    ScrollDialog(UINT templateId, UINT editId, std::wstring text, HBITMAP skin, float scale)
        : CDialog(templateId), editId_(editId), text_(std::move(text)), skin_(skin), scale_(scale) {}
    CRichEditCtrl edit;
    CSkinScrollWnd* frame = nullptr;
    LONG_PTR procBeforeSkin = 0;

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        // Bound first, skinned second: the agreement viewer's order.
        edit.SubclassDlgItem(editId_, this);
        edit.SetWindowText(text_);
        procBeforeSkin = ::GetWindowLongPtrW(edit.GetSafeHwnd(), GWLP_WNDPROC);
        frame = SkinWndScroll(&edit, skin_, scale_);
        return TRUE;
    }

private:
    UINT editId_;
    std::wstring text_;
    HBITMAP skin_;
    float scale_;
};

class ScrollBarTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ::LoadLibraryExW(L"riched20.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        s_skin = ::LoadBitmapW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kSkinBitmap));
    }
    static void TearDownTestSuite() {
        if (s_skin) ::DeleteObject(s_skin);
        s_skin = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(s_skin);
        gd::MoveTo(2, 2);
    }
    void TearDown() override {
        gd::ButtonUp();
        if (dlg_) dlg_->DestroyWindow();
        dlg_.reset();
    }

    // Opens a dialog, records what its host receives, and waits for the first
    // synchronisation of the bars with the host.
    void Open(const std::wstring& text, UINT templateId = kDialog, UINT editId = kEdit, float scale = 1.0f) {
        dlg_ = std::make_unique<ScrollDialog>(templateId, editId, text, s_skin, scale);
        ASSERT_TRUE(dlg_->Create(templateId, nullptr));
        ASSERT_NE(dlg_->frame, nullptr);
        ::SetWindowPos(dlg_->GetSafeHwnd(), HWND_TOPMOST, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
        AttachRecorder(host());
        ASSERT_TRUE(gd::WaitFor([&] { return HostInfo().nMax == bar().GetState().nMax && bar().GetState().nMax > 0; }, 3000));
        // Laid out and painted.
        ASSERT_TRUE(gd::WaitFor([&] {
            RECT r{};
            ::GetWindowRect(dlg_->frame->GetLimitWnd(), &r);
            return r.right > r.left && (scale != 1.0f || Shows(bar(), SB_LINEUP, 0));
        }, 3000));
    }

    HWND host() const { return dlg_->edit.GetSafeHwnd(); }
    CSkinScrollBar& bar() const { return dlg_->frame->GetVertBar(); }
    CSkinScrollBar& hbar() const { return dlg_->frame->GetHorzBar(); }

    SCROLLINFO HostInfo(int which = SB_VERT) const {
        SCROLLINFO si{sizeof(si), SIF_ALL};
        ::GetScrollInfo(host(), which, &si);
        return si;
    }
    int HostPos() const { return HostInfo().nPos; }
    // The last position of the bar's range (nMax - nPage + 1). Wine's rich edit
    // stops one pixel short of it; a host on Windows reaches it.
    int LastPos() const {
        const SCROLLINFO si = HostInfo();
        return si.nMax - static_cast<int>(si.nPage) + 1;
    }
    // Whether the host is at the end of its text: one more line does not move it.
    bool HostAtEnd() const {
        const int pos = HostPos();
        ::SendMessageW(host(), WM_VSCROLL, SB_LINEDOWN, 0);
        return HostPos() == pos && pos >= LastPos() - 1;
    }
    int FirstLine() const { return dlg_->edit.GetFirstVisibleLine(); }

    RECT PartOnScreen(CSkinScrollBar& b, int part) const { return ToScreen(b.GetSafeHwnd(), b.GetPartRect(part)); }
    POINT PartCentre(CSkinScrollBar& b, int part) const { return gd::Centre(PartOnScreen(b, part)); }

    // Whether the screen shows the skin cell of `part` in `row` at the part's place.
    bool Shows(CSkinScrollBar& b, int part, int row) const {
        return SamePixels(CaptureScreen(PartOnScreen(b, part)), SkinPixels(s_skin, b.GetSkinRect(part, row)));
    }
    bool WaitShows(CSkinScrollBar& b, int part, int row) const {
        return gd::WaitFor([&] { return Shows(b, part, row); }, 1500);
    }

    // The thumb of a vertical bar at scale 1: 3-row caps from the cell's ends, the
    // cell's middle rows tiled between them (the cut last tile is not compared).
    bool ShowsThumb(CSkinScrollBar& b, int row) const {
        const RECT r = PartOnScreen(b, SB_THUMBTRACK);
        const int h = r.bottom - r.top;
        if (h < 2 * sc::kThumbCap) return false;
        const Pixels screen = CaptureScreen(r);
        const Pixels cell = SkinPixels(s_skin, b.GetSkinRect(SB_THUMBTRACK, row));
        const int middle = kCell - 2 * sc::kThumbCap;
        const int wholeTiles = (h - 2 * sc::kThumbCap) / middle;
        for (int y = 0; y < h; ++y) {
            int src = -1;
            if (y < sc::kThumbCap) src = y;
            else if (y >= h - sc::kThumbCap) src = kCell - (h - y);
            else if (y < sc::kThumbCap + wholeTiles * middle) src = sc::kThumbCap + (y - sc::kThumbCap) % middle;
            if (src < 0) continue;
            for (int x = 0; x < kCell; ++x) {
                if (screen.px[static_cast<size_t>(y) * kCell + x] != cell.px[static_cast<size_t>(src) * kCell + x]) return false;
            }
        }
        return true;
    }

    // Waits until `code` stops arriving for `quietMs`; false on time-out.
    bool WaitQuiet(int code, DWORD quietMs, DWORD timeoutMs) {
        const ULONGLONG end = ::GetTickCount64() + timeoutMs;
        size_t n = Count(code);
        while (::GetTickCount64() < end) {
            if (!gd::WaitFor([&] { return Count(code) != n; }, quietMs)) return true;
            n = Count(code);
        }
        return false;
    }

    static HBITMAP s_skin;
    std::unique_ptr<ScrollDialog> dlg_;
};

HBITMAP ScrollBarTest::s_skin = nullptr;

}  // namespace

TEST_F(ScrollBarTest, SkinningBuildsTheFrameTreeAroundTheBoundHost) {
    Open(Lines(60));
    HWND dialog = dlg_->GetSafeHwnd();
    HWND frame = dlg_->frame->GetSafeHwnd();
    HWND limit = dlg_->frame->GetLimitWnd();

    EXPECT_EQ(::GetDlgItem(dialog, kEdit), frame);
    EXPECT_EQ(::GetParent(frame), dialog);
    EXPECT_EQ(gd::Describe(frame).text, L"SkinScrollBarFrame");
    EXPECT_EQ(::GetParent(host()), limit);
    EXPECT_EQ(::GetDlgCtrlID(limit), 200);
    EXPECT_EQ(gd::Describe(limit).text, L"LIMIT");
    EXPECT_EQ(::GetParent(limit), frame);
    EXPECT_EQ(::GetDlgCtrlID(bar().GetSafeHwnd()), 101);
    EXPECT_EQ(::GetDlgCtrlID(hbar().GetSafeHwnd()), 100);
    EXPECT_TRUE(bar().IsVertical());
    EXPECT_FALSE(hbar().IsVertical());
    EXPECT_EQ(::GetWindowLongPtrW(host(), GWLP_USERDATA), reinterpret_cast<LONG_PTR>(dlg_->frame));
    // The window layer still finds its object and talks to the control through it.
    EXPECT_EQ(CWnd::FromHandle(host()), &dlg_->edit);
    // Skinned once only.
    EXPECT_EQ(SkinWndScroll(&dlg_->edit, s_skin, 1.0f), nullptr);
    EXPECT_EQ(SkinWndScroll(nullptr, s_skin, 1.0f), nullptr);

    // The bar sits on the frame's right edge, one skin cell wide, as high as the host.
    const RECT f = ToScreen(frame, dlg_->frame->GetClientRect());
    const RECT b = bar().GetWindowRect();
    const RECT h = ToScreen(host(), RECT{0, 0, 0, 0});
    EXPECT_EQ(b.right - b.left, kCell);
    EXPECT_EQ(b.right, f.right);
    EXPECT_EQ(b.top, f.top);
    EXPECT_EQ(h.left, f.left);
    EXPECT_EQ(dlg_->frame->GetScrollWidth(), kCell);
    const RECT l = dlg_->frame->GetWindowRect();
    RECT limitRect{};
    ::GetWindowRect(limit, &limitRect);
    EXPECT_EQ(limitRect.right, b.left);
    EXPECT_EQ(limitRect.left, l.left);

    // The bar carries the host's scroll state.
    const SCROLLINFO si = HostInfo();
    const sc::State& s = bar().GetState();
    EXPECT_EQ(s.nMin, si.nMin);
    EXPECT_EQ(s.nMax, si.nMax);
    EXPECT_EQ(s.nPage, static_cast<int>(si.nPage));
    EXPECT_EQ(s.nPos, si.nPos);
    EXPECT_EQ(s.nTrackPos, -1);
    EXPECT_TRUE(bar().IsWindowEnabled());
    EXPECT_TRUE(bar().IsWindowVisible());
    EXPECT_FALSE(hbar().IsWindowVisible());
}

TEST_F(ScrollBarTest, BarKeepsItsOwnScrollInformation) {
    Open(Lines(60));
    CSkinScrollBar& b = bar();
    SCROLLINFO set{sizeof(set), SIF_RANGE, 5, 500, 0, 0, 0};
    EXPECT_EQ(b.SetScrollInfo(&set, FALSE), TRUE);
    SCROLLINFO got{};
    EXPECT_TRUE(b.GetScrollInfo(&got, SIF_ALL));
    EXPECT_EQ(got.nMin, 5);
    EXPECT_EQ(got.nMax, 500);
    EXPECT_EQ(got.nPos, HostPos());
    EXPECT_EQ(got.nTrackPos, -1);

    set = SCROLLINFO{sizeof(set), SIF_PAGE | SIF_POS | SIF_TRACKPOS, 0, 0, 50, 120, 77};
    b.SetScrollInfo(&set, TRUE);
    EXPECT_TRUE(b.GetScrollInfo(&got, SIF_POS | SIF_PAGE | SIF_TRACKPOS));
    EXPECT_EQ(got.nPos, 120);
    EXPECT_EQ(got.nPage, 50u);
    EXPECT_EQ(got.nTrackPos, -1);

    // The frame's 500 ms synchronisation brings the host's state back.
    ASSERT_TRUE(gd::WaitFor([&] { return b.GetState().nMax == HostInfo().nMax && b.GetState().nMin == 0; }, 1500));
    EXPECT_EQ(b.GetState().nPos, HostPos());
}

TEST_F(ScrollBarTest, SkinCellsShowOnScreenWithHotAndPressedRows) {
    Open(Lines(30));
    CSkinScrollBar& b = bar();
    EXPECT_TRUE(WaitShows(b, SB_LINEUP, 0));
    EXPECT_TRUE(WaitShows(b, SB_LINEDOWN, 0));
    EXPECT_TRUE(gd::WaitFor([&] { return ShowsThumb(b, 0); }, 1500));

    const POINT thumb = PartCentre(b, SB_THUMBTRACK);
    gd::MoveTo(thumb.x, thumb.y);
    EXPECT_TRUE(gd::WaitFor([&] { return ShowsThumb(b, 1); }, 1500));
    const POINT up = PartCentre(b, SB_LINEUP);
    gd::MoveTo(up.x, up.y);
    EXPECT_TRUE(WaitShows(b, SB_LINEUP, 1));
    EXPECT_EQ(b.GetHotPart(), SB_LINEUP);
    const POINT down = PartCentre(b, SB_LINEDOWN);
    gd::MoveTo(down.x, down.y);
    EXPECT_TRUE(WaitShows(b, SB_LINEDOWN, 1));
    EXPECT_TRUE(WaitShows(b, SB_LINEUP, 0));

    gd::ButtonDown();
    EXPECT_TRUE(WaitShows(b, SB_LINEDOWN, 2));
    gd::ButtonUp();
    EXPECT_TRUE(WaitShows(b, SB_LINEDOWN, 0));

    // Leaving the bar takes the hot look away.
    const RECT hostRect = ToScreen(host(), dlg_->edit.GetClientRect());
    gd::MoveTo(hostRect.left + 20, hostRect.top + 20);
    ASSERT_TRUE(gd::WaitFor([&] { return b.GetHotPart() == sc::kNoPart; }, 1500));
    EXPECT_TRUE(WaitShows(b, SB_LINEDOWN, 0));

    // A double click is a single click: the second press is not a second line.
    const size_t before = Count(SB_LINEDOWN);
    gd::Click(down.x, down.y);
    gd::Click(down.x, down.y);
    ASSERT_TRUE(gd::WaitFor([&] { return Count(SB_LINEDOWN) > before; }, 1000));
    EXPECT_FALSE(gd::WaitFor([&] { return Count(SB_LINEDOWN) > before + 1; }, 300));
}

TEST_F(ScrollBarTest, HoldingTheDownArrowRepeatsAfter500ThenEvery100MsAndStopsAtTheEnd) {
    Open(Lines(30));
    const int last = LastPos();
    ASSERT_GT(last, 100);
    const POINT down = PartCentre(bar(), SB_LINEDOWN);
    gd::MoveTo(down.x, down.y);
    const ULONGLONG pressed = ::GetTickCount64();
    gd::ButtonDown();

    // Once at once, and the rich edit moves with the bar.
    ASSERT_TRUE(gd::WaitFor([] { return Count(SB_LINEDOWN) >= 1; }, 1000));
    const auto first = Records(WM_VSCROLL, SB_LINEDOWN);
    EXPECT_LT(first[0].tick - pressed, 250u);
    const int step = HostPos();
    EXPECT_GT(step, 0);
    EXPECT_EQ(bar().GetState().nPos, step);
    EXPECT_EQ(FirstLine(), 1);

    ASSERT_TRUE(gd::WaitFor([] { return Count(SB_LINEDOWN) >= 5; }, 3000));
    const auto r = Records(WM_VSCROLL, SB_LINEDOWN);
    const ULONGLONG firstDelay = r[1].tick - r[0].tick;
    EXPECT_GE(firstDelay, 430u);
    EXPECT_LE(firstDelay, 750u);
    for (size_t i = 2; i < 5; ++i) {
        const ULONGLONG gap = r[i].tick - r[i - 1].tick;
        EXPECT_GE(gap, 60u) << i;
        EXPECT_LE(gap, 250u) << i;
    }
    EXPECT_EQ(bar().GetState().nPos, HostPos());
    EXPECT_EQ(HostPos(), static_cast<int>(Count(SB_LINEDOWN)) * step);
    EXPECT_EQ(FirstLine(), static_cast<int>(Count(SB_LINEDOWN)));

    // At the end the repeat stops by itself although the button stays down.
    ASSERT_TRUE(WaitQuiet(SB_LINEDOWN, 450, 5000));
    const size_t lines = Count(SB_LINEDOWN);
    EXPECT_LE(lines, static_cast<size_t>((last + step - 1) / step + 1));
    EXPECT_TRUE(HostAtEnd());
    EXPECT_EQ(bar().GetState().nPos, HostPos());
    EXPECT_GE(FirstLine(), HostPos() / step);
    EXPECT_TRUE(Shows(bar(), SB_LINEDOWN, 2));
    gd::ButtonUp();
    EXPECT_TRUE(WaitShows(bar(), SB_LINEDOWN, 0));
    EXPECT_EQ(bar().GetPressedPart(), sc::kNoPart);
}

TEST_F(ScrollBarTest, MovingOffTheHeldArrowPausesAndComingBackResumes) {
    Open(Lines(60));
    const POINT down = PartCentre(bar(), SB_LINEDOWN);
    gd::MoveTo(down.x, down.y);
    gd::ButtonDown();
    ASSERT_TRUE(gd::WaitFor([] { return Count(SB_LINEDOWN) >= 3; }, 2000));

    gd::MoveTo(down.x - 60, down.y);
    EXPECT_TRUE(WaitShows(bar(), SB_LINEDOWN, 0));
    const size_t paused = Count(SB_LINEDOWN);
    const int pos = HostPos();
    EXPECT_FALSE(gd::WaitFor([&] { return Count(SB_LINEDOWN) > paused + 1; }, 500));
    const size_t stillPaused = Count(SB_LINEDOWN);
    EXPECT_FALSE(gd::WaitFor([&] { return Count(SB_LINEDOWN) != stillPaused; }, 400));
    EXPECT_LE(HostPos(), pos + 16);

    gd::MoveTo(down.x, down.y);
    EXPECT_TRUE(WaitShows(bar(), SB_LINEDOWN, 2));
    EXPECT_TRUE(gd::WaitFor([&] { return Count(SB_LINEDOWN) >= stillPaused + 3; }, 1500));
    EXPECT_GT(HostPos(), pos);
    EXPECT_EQ(bar().GetState().nPos, HostPos());

    // Another window takes the mouse while the button is still down: the repeat ends
    // there, far from the end of the text.
    ::SetCapture(dlg_->GetSafeHwnd());
    EXPECT_EQ(bar().GetPressedPart(), sc::kNoPart);
    EXPECT_TRUE(WaitQuiet(SB_LINEDOWN, 450, 2000));
    EXPECT_LT(HostPos(), LastPos() - 1);
    EXPECT_TRUE(WaitShows(bar(), SB_LINEDOWN, 0));
    ::ReleaseCapture();
    gd::ButtonUp();
}

TEST_F(ScrollBarTest, HoldingTheTrackPagesUntilTheThumbReachesThePointer) {
    Open(Lines(150));
    CSkinScrollBar& b = bar();
    const RECT track = PartOnScreen(b, SB_PAGEDOWN);
    const RECT thumbBefore = PartOnScreen(b, SB_THUMBTRACK);
    const int x = (track.left + track.right) / 2;
    const int y = thumbBefore.bottom + (track.bottom - thumbBefore.bottom) * 3 / 5;
    gd::MoveTo(x, y);
    gd::ButtonDown();
    ASSERT_TRUE(gd::WaitFor([] { return Count(SB_PAGEDOWN) >= 2; }, 1500));
    EXPECT_TRUE(WaitQuiet(SB_PAGEDOWN, 350, 5000));
    gd::ButtonUp();

    EXPECT_GE(Count(SB_PAGEDOWN), 3u);
    const RECT thumb = PartOnScreen(b, SB_THUMBTRACK);
    // A page moves the thumb by about its own length: it stops on the pointer (or a
    // rounding pixel past it), far from the end.
    EXPECT_LE(thumb.top, y + 1);
    EXPECT_GT(thumb.bottom, y);
    EXPECT_LT(HostPos(), LastPos() - 1);
    EXPECT_EQ(b.GetState().nPos, HostPos());
    EXPECT_GT(FirstLine(), 0);
    EXPECT_EQ(Count(SB_LINEDOWN), 0u);
}

TEST_F(ScrollBarTest, DraggingTheThumbClampsAndReleaseSendsTheLastTrackedPosition) {
    Open(Lines(150));
    CSkinScrollBar& b = bar();
    const int last = LastPos();
    const RECT barRect = b.GetWindowRect();

    POINT grip = PartCentre(b, SB_THUMBTRACK);
    gd::MoveTo(grip.x, grip.y);
    gd::ButtonDown();
    gd::MoveTo(grip.x, grip.y + 40);
    ASSERT_TRUE(gd::WaitFor([] { return Count(SB_THUMBTRACK) >= 1; }, 1000));
    const int tracked = Records(WM_VSCROLL, SB_THUMBTRACK).back().pos;
    EXPECT_GT(tracked, 0);
    EXPECT_TRUE(b.IsDragging());
    EXPECT_EQ(b.GetState().nTrackPos, tracked);
    EXPECT_EQ(HostPos(), tracked);
    EXPECT_GT(FirstLine(), 0);
    EXPECT_TRUE(gd::WaitFor([&] { return ShowsThumb(b, 2); }, 1500));
    // A leave notification in the middle of a drag is no pointer position.
    const size_t tracks = Count(SB_THUMBTRACK);
    ::SendMessageW(b.GetSafeHwnd(), WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(b.GetState().nTrackPos, tracked);
    EXPECT_EQ(Count(SB_THUMBTRACK), tracks);

    // Past the bottom: clamped at the last position; release reports it.
    gd::MoveTo(grip.x + 30, barRect.bottom + 150);
    ASSERT_TRUE(gd::WaitFor([&] { return b.GetState().nTrackPos == last; }, 1000));
    EXPECT_EQ(Records(WM_VSCROLL, SB_THUMBTRACK).back().pos, last);
    gd::ButtonUp();
    ASSERT_TRUE(gd::WaitFor([] { return Count(SB_THUMBPOSITION) == 1; }, 1000));
    EXPECT_EQ(Records(WM_VSCROLL, SB_THUMBPOSITION).back().pos, last);
    EXPECT_FALSE(b.IsDragging());
    EXPECT_EQ(b.GetState().nTrackPos, -1);
    EXPECT_EQ(b.GetState().nPos, HostPos());
    EXPECT_TRUE(HostAtEnd());
    const int lastLine = FirstLine();
    EXPECT_GT(lastLine, 100);

    // Past the top: clamped at nMin.
    grip = PartCentre(b, SB_THUMBTRACK);
    gd::MoveTo(grip.x, grip.y);
    gd::ButtonDown();
    gd::MoveTo(grip.x, std::max(0L, barRect.top - 30));
    ASSERT_TRUE(gd::WaitFor([&] { return b.GetState().nTrackPos == 0; }, 1000));
    gd::ButtonUp();
    ASSERT_TRUE(gd::WaitFor([] { return Count(SB_THUMBPOSITION) == 2; }, 1000));
    EXPECT_EQ(Records(WM_VSCROLL, SB_THUMBPOSITION).back().pos, 0);
    EXPECT_EQ(HostPos(), 0);
    EXPECT_EQ(b.GetState().nPos, 0);
    EXPECT_EQ(FirstLine(), 0);
    // Back at the top, released away from the pointer: the normal look.
    EXPECT_EQ(b.GetPartRect(SB_THUMBTRACK).top, kCell);
    EXPECT_TRUE(gd::WaitFor([&] { return ShowsThumb(b, 0); }, 1500));

    // Another window takes the mouse in the middle of a drag: the drag ends where it
    // got to, and later moves no longer drag.
    grip = PartCentre(b, SB_THUMBTRACK);
    gd::MoveTo(grip.x, grip.y);
    gd::ButtonDown();
    gd::MoveTo(grip.x, grip.y + 40);
    ASSERT_TRUE(gd::WaitFor([&] { return b.GetState().nTrackPos > 0; }, 1000));
    const int reached = b.GetState().nTrackPos;
    ::SetCapture(dlg_->GetSafeHwnd());
    EXPECT_FALSE(b.IsDragging());
    ASSERT_EQ(Count(SB_THUMBPOSITION), 3u);
    EXPECT_EQ(Records(WM_VSCROLL, SB_THUMBPOSITION).back().pos, reached);
    EXPECT_EQ(b.GetState().nPos, HostPos());
    const size_t tracksBefore = Count(SB_THUMBTRACK);
    gd::MoveTo(grip.x, grip.y + 80);
    EXPECT_FALSE(gd::WaitFor([&] { return Count(SB_THUMBTRACK) != tracksBefore; }, 400));
    ::ReleaseCapture();
    gd::ButtonUp();
}

TEST_F(ScrollBarTest, TextThatFitsGivesADisabledBarWithoutThumbOrCorner) {
    Open(L"fits");
    CSkinScrollBar& b = bar();
    ASSERT_TRUE(gd::WaitFor([&] { return !b.IsWindowEnabled(); }, 1500));
    EXPECT_FALSE(hbar().IsWindowVisible());
    EXPECT_EQ(dlg_->frame->GetCornerType(), 0);
    EXPECT_TRUE(b.GetPartRect(SB_THUMBTRACK).top == b.GetPartRect(SB_THUMBTRACK).bottom);

    // No grip in the frame's bottom-right corner: the down arrow ends the bar there.
    const RECT f = ToScreen(dlg_->frame->GetSafeHwnd(), dlg_->frame->GetClientRect());
    const RECT arrow = PartOnScreen(b, SB_LINEDOWN);
    EXPECT_EQ(arrow.right, f.right);
    EXPECT_TRUE(WaitShows(b, SB_LINEDOWN, 0));
    EXPECT_FALSE(SamePixels(CaptureScreen(arrow), SkinPixels(s_skin, sc::GripCell(2, kCell))));
    // The whole track shows the track cell: no thumb is drawn.
    const RECT track = ToScreen(b.GetSafeHwnd(), RECT{0, kCell, kCell, 2 * kCell});
    EXPECT_TRUE(gd::WaitFor([&] { return SamePixels(CaptureScreen(track), SkinPixels(s_skin, b.GetSkinRect(SB_PAGEUP, 0))); }, 1500));

    // A disabled bar takes no clicks.
    const POINT down = PartCentre(b, SB_LINEDOWN);
    gd::Click(down.x, down.y);
    EXPECT_FALSE(gd::WaitFor([] { return !g_records.empty(); }, 300));

    // Once the text no longer fits, the bar comes alive.
    dlg_->edit.SetWindowText(Lines(60));
    ASSERT_TRUE(gd::WaitFor([&] { return b.IsWindowEnabled(); }, 1500));
    EXPECT_GT(b.GetPartRect(SB_THUMBTRACK).bottom, b.GetPartRect(SB_THUMBTRACK).top);
    gd::Click(down.x, down.y);
    EXPECT_TRUE(gd::WaitFor([] { return Count(SB_LINEDOWN) == 1; }, 1000));
}

TEST_F(ScrollBarTest, BothBarsShowTheGripInTheCornerAndScrollTheirDirection) {
    Open(Lines(40, L"A rather long line that does not fit across the rich edit control, number "), kBothDialog, kBothEdit);
    ASSERT_TRUE(hbar().IsWindowVisible());
    EXPECT_EQ(dlg_->frame->GetCornerType(), 2);
    const RECT f = ToScreen(dlg_->frame->GetSafeHwnd(), dlg_->frame->GetClientRect());
    const RECT corner{f.right - kCell, f.bottom - kCell, f.right, f.bottom};
    EXPECT_TRUE(gd::WaitFor([&] { return SamePixels(CaptureScreen(corner), SkinPixels(s_skin, sc::GripCell(2, kCell))); }, 1500));
    EXPECT_TRUE(WaitShows(hbar(), SB_LINEUP, 0));
    EXPECT_TRUE(WaitShows(hbar(), SB_LINEDOWN, 0));
    // The horizontal bar runs under the host up to the vertical one.
    EXPECT_EQ(hbar().GetWindowRect().top, bar().GetWindowRect().bottom);
    EXPECT_EQ(hbar().GetWindowRect().right, bar().GetWindowRect().left);
    EXPECT_EQ(hbar().GetWindowRect().bottom - hbar().GetWindowRect().top, kCell);

    ASSERT_TRUE(gd::WaitFor([&] { return hbar().GetState().nMax > 0 && hbar().IsWindowEnabled(); }, 1500));
    const POINT right = PartCentre(hbar(), SB_LINEDOWN);
    gd::Click(right.x, right.y);
    ASSERT_TRUE(gd::WaitFor([] { return Count(SB_LINEDOWN, WM_HSCROLL) == 1; }, 1000));
    EXPECT_GT(HostInfo(SB_HORZ).nPos, 0);
    EXPECT_EQ(hbar().GetState().nPos, HostInfo(SB_HORZ).nPos);
    EXPECT_EQ(Count(SB_LINEDOWN, WM_VSCROLL), 0u);
}

TEST_F(ScrollBarTest, ScaledBarIsThickerAndStillClipsTheHostsOwnBar) {
    Open(Lines(60), kDialog, kEdit, 1.5f);
    const int t = static_cast<int>(kCell * 1.5f);
    EXPECT_EQ(dlg_->frame->GetScrollWidth(), t);
    const RECT b = bar().GetWindowRect();
    EXPECT_EQ(b.right - b.left, t);
    RECT limit{};
    ::GetWindowRect(dlg_->frame->GetLimitWnd(), &limit);
    EXPECT_EQ(limit.right, b.left);
    EXPECT_EQ(b.right, ToScreen(dlg_->frame->GetSafeHwnd(), dlg_->frame->GetClientRect()).right);
    const RECT down = PartOnScreen(bar(), SB_LINEDOWN);
    EXPECT_EQ(down.bottom - down.top, t);
    EXPECT_EQ(down.bottom, b.bottom);

    const POINT p = gd::Centre(down);
    gd::Click(p.x, p.y);
    ASSERT_TRUE(gd::WaitFor([] { return Count(SB_LINEDOWN) == 1; }, 1000));
    EXPECT_GT(HostPos(), 0);
    EXPECT_EQ(FirstLine(), 1);
}

TEST_F(ScrollBarTest, UnskinGivesTheHostBackToTheBoundObject) {
    Open(Lines(60));
    // Taken off the recorder again, so that the skin's procedure is on top.
    ::SetWindowLongPtrW(host(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_recorderPrev));
    HWND dialog = dlg_->GetSafeHwnd();
    HWND frame = dlg_->frame->GetSafeHwnd();
    const RECT frameRect = dlg_->frame->GetWindowRect();

    EXPECT_EQ(UnskinWndScroll(&dlg_->edit), 1);
    EXPECT_FALSE(::IsWindow(frame));
    EXPECT_EQ(::GetParent(host()), dialog);
    EXPECT_EQ(::GetDlgItem(dialog, kEdit), host());
    EXPECT_EQ(::GetWindowLongPtrW(host(), GWLP_WNDPROC), dlg_->procBeforeSkin);
    EXPECT_EQ(::GetWindowLongPtrW(host(), GWLP_USERDATA), 0);
    const RECT r = dlg_->edit.GetWindowRect();
    EXPECT_EQ(r.left, frameRect.left);
    EXPECT_EQ(r.top, frameRect.top);
    EXPECT_EQ(r.right, frameRect.right);
    EXPECT_EQ(r.bottom, frameRect.bottom);
    EXPECT_EQ(CWnd::FromHandle(host()), &dlg_->edit);
    EXPECT_EQ(UnskinWndScroll(&dlg_->edit), 1);
    dlg_->frame = nullptr;

    // Still a working rich edit bound to its object, and it goes with its dialog.
    ::SendMessageW(host(), WM_VSCROLL, MAKEWPARAM(SB_PAGEDOWN, 0), 0);
    EXPECT_GT(dlg_->edit.GetFirstVisibleLine(), 0);
    dlg_->DestroyWindow();
    EXPECT_EQ(dlg_->edit.GetSafeHwnd(), nullptr);
}

TEST_F(ScrollBarTest, DestroyingTheDialogOrTheHostTakesTheFrameAlong) {
    // The recorder subclassed the host after skinning: the skin's procedure is in
    // the middle of the chain and must keep passing messages on to the bound object.
    Open(Lines(60));
    HWND frame = dlg_->frame->GetSafeHwnd();
    HWND hostHwnd = host();
    dlg_->DestroyWindow();
    EXPECT_FALSE(::IsWindow(frame));
    EXPECT_FALSE(::IsWindow(hostHwnd));
    EXPECT_TRUE(g_recorderSawNcDestroy);
    EXPECT_EQ(dlg_->edit.GetSafeHwnd(), nullptr);
    dlg_.reset();

    // The host destroyed alone: the frame goes and the dialog lives on.
    Open(Lines(60));
    frame = dlg_->frame->GetSafeHwnd();
    ::SetWindowLongPtrW(host(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_recorderPrev));
    EXPECT_TRUE(::DestroyWindow(host()));
    EXPECT_FALSE(::IsWindow(frame));
    EXPECT_EQ(dlg_->edit.GetSafeHwnd(), nullptr);
    EXPECT_EQ(::GetDlgItem(dlg_->GetSafeHwnd(), kEdit), nullptr);
    EXPECT_TRUE(::IsWindow(dlg_->GetSafeHwnd()));
}
