#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>
#include <sstream>
#include <thread>
#include <vector>

#include "GdiplusEnvironment.h"
#include "SkinTestIds.h"
#include "TargetCalls.h"
#include "skin/CheckBoxBtn.h"
#include "skin/DrawStateInfoStatic.h"
#include "skin/DrawTextStatic.h"
#include "skin/ImageButton.h"
#include "skin/PngButton.h"
#include "skin/PngResource.h"
#include "tests/support/ScreenPixels.h"
#include "tools/guidriver/GuiDriver.h"
#include "win/Dialog.h"
#include "win/Gdi.h"

namespace gd = guidriver;

namespace {

constexpr UINT WM_RUN_ON_UI = WM_APP + 1;
constexpr UINT_PTR kHoverFeedTimer = 33;

const COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 200, 0), kBlue = RGB(0, 0, 255), kGrey = RGB(128, 128, 128);
const COLORREF kCyan = RGB(0, 255, 255), kWhite = RGB(255, 255, 255);
const COLORREF kSmallNormal = RGB(200, 0, 0), kSmallHover = RGB(0, 160, 0), kSmallPressed = RGB(0, 0, 200);
const COLORREF kLink = RGB(92, 92, 255), kLinkHover = RGB(0, 0, 255);

bool Near(COLORREF a, COLORREF b, int tolerance = 12) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

// A copy of what the screen shows in a window's rectangle, read in one BitBlt.
class Shot {
public:
    // From the screen, or with `own` from the window's own DC (what it has drawn,
    // before it reaches the screen).
    explicit Shot(HWND window, bool own = false)
        : pixels_(own ? support::ScreenPixels::OfWindowDC(window) : support::ScreenPixels::OfScreen(WindowRect(window))),
          w_(pixels_.Width()),
          h_(pixels_.Height()) {}
    int width() const { return w_; }
    int height() const { return h_; }
    // Window-relative coordinates.
    COLORREF At(int x, int y) const { return pixels_.At(x, y); }
    // Bounding box (inclusive) of the pixels that satisfy `match`; empty when none.
    RECT Box(const std::function<bool(COLORREF)>& match) const {
        RECT box{w_, h_, -1, -1};
        for (int y = 0; y < h_; ++y) {
            for (int x = 0; x < w_; ++x) {
                if (!match(At(x, y))) continue;
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x);
                box.bottom = std::max<LONG>(box.bottom, y);
            }
        }
        return box;
    }
    int Count(const std::function<bool(COLORREF)>& match) const {
        int n = 0;
        for (int y = 0; y < h_; ++y) {
            for (int x = 0; x < w_; ++x) n += match(At(x, y)) ? 1 : 0;
        }
        return n;
    }

private:
    static RECT WindowRect(HWND window) {
        RECT r{};
        ::GetWindowRect(window, &r);
        return r;
    }

    support::ScreenPixels pixels_;
    int w_ = 0, h_ = 0;
};

bool Empty(const RECT& box) { return box.right < box.left; }

bool Same(const Shot& a, const Shot& b) {
    if (a.width() <= 0 || a.width() != b.width() || a.height() != b.height()) return false;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.At(x, y) != b.At(x, y)) return false;
        }
    }
    return true;
}

COLORREF PixelOf(HWND window, int x, int y) { return Shot(window).At(x, y); }

bool WaitPixel(HWND window, int x, int y, COLORREF colour, DWORD ms = 4000) {
    return gd::WaitFor([&] { return Near(PixelOf(window, x, y), colour); }, ms);
}

// Moves the pointer with real input (the driver waits until it rests there); a pointer
// that does not stay fails the test.
void MoveTo(int x, int y) {
    gd::MoveTo(x, y);
    POINT p{};
    ::GetCursorPos(&p);
    if (p.x != x || p.y != y)
        ADD_FAILURE() << "the pointer does not stay at " << x << ", " << y << " but at " << p.x << ", " << p.y;
}

POINT CentreOf(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    return gd::Centre(r);
}

void ClickCentre(HWND window) {
    const POINT c = CentreOf(window);
    MoveTo(c.x, c.y);
    gd::ButtonDown();
    gd::ButtonUp();
}

// A link that counts its paints, to see that repeated positions do not repaint it.
class CountingTextStatic : public CDrawTextStatic {
public:
    std::atomic<int> paints{0};

protected:
    void OnPaint() override {
        ++paints;
        CDrawTextStatic::OnPaint();
    }
};

class SkinDialog : public CDialog {
public:
    SkinDialog() : CDialog(IDD_SKIN_TEST) {}

    CImageButton image;
    CPngButton scaled, unscaled;
    CCheckBoxBtn check;
    CDrawStateInfoStatic status;
    CountingTextStatic link;
    CDrawTextStatic mode5, mode6, mode7, bkLate, bkEarly, left, centre, right;
    Gdiplus::Image* skin = nullptr;
    std::vector<BOOL> imageClicks;
    int checkClicks = 0;

    // Runs `f` on the dialog's thread and waits for it.
    static void OnUi(HWND dialog, std::function<void()> f) {
        ::SendMessageW(dialog, WM_RUN_ON_UI, 0, reinterpret_cast<LPARAM>(&f));
    }

protected:
    void DoDataExchange() override {
        image.SubclassDlgItem(IDC_T_IMAGE, this);
        scaled.SubclassDlgItem(IDC_T_SCALED, this);
        unscaled.SubclassDlgItem(IDC_T_UNSCALED, this);
        check.SubclassDlgItem(IDC_T_CHECK, this);
        status.SubclassDlgItem(IDC_T_STATUS, this);
        link.SubclassDlgItem(IDC_T_LINK, this);
        mode5.SubclassDlgItem(IDC_T_MODE5, this);
        mode6.SubclassDlgItem(IDC_T_MODE6, this);
        mode7.SubclassDlgItem(IDC_T_MODE7, this);
        bkLate.SubclassDlgItem(IDC_T_BK_LATE, this);
        bkEarly.SubclassDlgItem(IDC_T_BK_EARLY, this);
        left.SubclassDlgItem(IDC_T_LEFT, this);
        centre.SubclassDlgItem(IDC_T_CENTRE, this);
        right.SubclassDlgItem(IDC_T_RIGHT, this);
    }

    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        LoadPngResource(&skin, IDT_SKIN);
        image.SetImages(IDT_IMAGE_NORMAL, IDT_IMAGE_HOVER, IDT_IMAGE_PRESSED, IDT_IMAGE_DISABLED);
        image.SetBkImage(skin);
        image.SetBkImageRect(20, 10, 80, 40);
        image.SetHitMargins(9, 9, 9, 9);
        for (CPngButton* b : {&scaled, &unscaled}) {
            b->SetImages(IDT_SMALL_NORMAL, IDT_SMALL_HOVER, IDT_SMALL_PRESSED, IDT_SMALL_DISABLED);
        }
        scaled.m_fScale = 1.5f;
        check.CreateFontFromParent();
        check.m_fScale = 1.5f;

        status.CreateFontFromParent();
        status.SetAlignMode(1);
        status.SetFontColor(kWhite);
        status.SetBkImage(skin);
        // Well inside the cyan block, so that stretching picks up none of the yellow.
        status.SetBkImageRect(25, 15, 75, 35);

        link.CreateFontFromParent();
        link.SetAlignMode(1);
        link.SetBkColor(kWhite);
        link.SetTextColors(kLink, kLinkHover);

        const std::pair<CDrawTextStatic*, int> modes[] = {{&mode5, 5}, {&mode6, 6}, {&mode7, 7}, {&bkLate, 1},
                                                          {&bkEarly, 1}, {&left, 1},  {&centre, 2}, {&right, 3}};
        for (const auto& [control, mode] : modes) {
            control->CreateFontFromParent();
            control->SetAlignMode(mode);
        }
        bkEarly.SetBkColor(RGB(255, 200, 0));
        SetTimer(kHoverFeedTimer, 50);
        return TRUE;
    }

    BOOL OnCommand(WPARAM wp, LPARAM) override {
        if (HIWORD(wp) != BN_CLICKED) return FALSE;
        if (LOWORD(wp) == IDC_T_IMAGE) {
            imageClicks.push_back(image.IsCursorInButton());
            return TRUE;
        }
        if (LOWORD(wp) == IDC_T_CHECK) {
            ++checkClicks;
            return TRUE;
        }
        return FALSE;
    }

    void OnTimer(UINT_PTR id) override {
        if (id != kHoverFeedTimer) {
            Default();
            return;
        }
        POINT pt{};
        ::GetCursorPos(&pt);
        link.UpdateHover(pt.x, pt.y);
    }

    void OnDestroy() override {
        KillTimer(kHoverFeedTimer);
        image.ReleaseImages();
        scaled.ReleaseImages();
        unscaled.ReleaseImages();
        DeletePngImage(&skin);
        CDialog::OnDestroy();
    }

    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_RUN_ON_UI) {
            (*reinterpret_cast<std::function<void()>*>(lp))();
            return 0;
        }
        return CDialog::WindowProc(msg, wp, lp);
    }
};

// Runs the test dialog modally on this thread and `drive` on a driver thread once
// the dialog shows; the driver closes the dialog at the end.
void RunDialog(const std::function<void(SkinDialog&, HWND)>& drive) {
    SkinDialog dlg;
    const long decodesBefore = PngDecodeCount();
    std::thread driver([&] {
        HWND h = gd::WaitForTopWindow(::GetCurrentProcessId(), L"Orvane skin test", L"", 10000);
        if (!h) {
            ADD_FAILURE() << "the test dialog did not show";
            return;
        }
        ::SetForegroundWindow(h);
        RECT r{};
        ::GetWindowRect(h, &r);
        // Park the pointer on the dialog's caption, away from every control.
        MoveTo(r.right - 40, r.top + 8);
        // Wait for the first paint of the controls, then repaint them all and wait
        // until the screen shows what each has drawn.
        if (!WaitPixel(dlg.image.GetSafeHwnd(), 40, 20, kRed, 8000)) ADD_FAILURE() << "no first paint";
        SkinDialog::OnUi(h, [h] {
            ::RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        });
        for (HWND child = ::GetWindow(h, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
            if (!gd::WaitFor([child] { return Same(Shot(child, true), Shot(child)); }, 3000)) {
                ADD_FAILURE() << "control " << ::GetDlgCtrlID(child) << " not shown";
            }
        }
        drive(dlg, h);
        SkinDialog::OnUi(h, [&] { dlg.EndDialog(IDOK); });
    });
    dlg.DoModal();
    driver.join();
    // Each owner decoded each of its pictures once: the skin, 4 + 4 + 4 button
    // states and the check box's cells, however often they were painted.
    EXPECT_EQ(PngDecodeCount() - decodesBefore, 14);
}

// What an owner-drawn button does to the DC it is given: recorded in a metafile.
std::map<DWORD, int> DrawItemCalls(CWnd& button) {
    return RecordTargetCalls([&](HDC target) {
        DRAWITEMSTRUCT dis{};
        dis.CtlType = ODT_BUTTON;
        dis.hwndItem = button.GetSafeHwnd();
        dis.hDC = target;
        dis.rcItem = button.GetClientRect();
        dis.itemAction = ODA_DRAWENTIRE;
        button.DrawItem(&dis);
    });
}

}  // namespace

TEST(ImageButton, FollowsThePointerPressReleaseLeaveAndTheEnabledFlag) {
    RunDialog([](SkinDialog& dlg, HWND h) {
        HWND button = dlg.image.GetSafeHwnd();
        const Shot first(button);
        const int w = first.width(), hgt = first.height();
        // The transparent rim shows the borrowed part of the dialog's skin.
        EXPECT_TRUE(Near(first.At(2, 2), kCyan)) << std::hex << first.At(2, 2);
        EXPECT_TRUE(Near(first.At(w - 3, hgt - 3), kCyan));
        EXPECT_TRUE(Near(first.At(w / 2, hgt / 2), kRed));

        const POINT c = CentreOf(button);
        RECT dr{};
        ::GetWindowRect(h, &dr);
        const POINT outside{dr.right - 40, dr.top + 8};
        auto seen = [&] {
            int st = 0;
            SkinDialog::OnUi(h, [&] { st = dlg.image.GetState(); });
            std::ostringstream os;
            os << "state " << st << " pixel " << std::hex << PixelOf(button, w / 2, hgt / 2);
            return os.str();
        };

        // Hover once the pointer rests on it.
        MoveTo(c.x, c.y);
        EXPECT_TRUE(WaitPixel(button, w / 2, hgt / 2, kGreen));
        // Pressed while down, hover again after the release, and the click counts.
        gd::ButtonDown();
        EXPECT_TRUE(WaitPixel(button, w / 2, hgt / 2, kBlue)) << seen();
        gd::ButtonUp();
        EXPECT_TRUE(WaitPixel(button, w / 2, hgt / 2, kGreen));
        int state = 0;
        std::vector<BOOL> clicks;
        SkinDialog::OnUi(h, [&] { state = dlg.image.GetState(); clicks = dlg.imageClicks; });
        EXPECT_EQ(state, 2);
        ASSERT_EQ(clicks.size(), 1u);
        EXPECT_TRUE(clicks[0]);

        // Leaving while held shows normal; releasing outside is no click. (Pressed a
        // few pixels off the first click, or it would be a double click, which an
        // owner-drawn button reports as such instead of pressing.)
        MoveTo(c.x + 8, c.y + 3);
        gd::ButtonDown();
        EXPECT_TRUE(WaitPixel(button, w / 2, hgt / 2, kBlue)) << seen();
        MoveTo(outside.x, outside.y);
        EXPECT_TRUE(WaitPixel(button, w / 2, hgt / 2, kRed));
        gd::ButtonUp();
        EXPECT_FALSE(gd::WaitFor([&] { return !Near(PixelOf(button, w / 2, hgt / 2), kRed); }, 500));
        SkinDialog::OnUi(h, [&] { state = dlg.image.GetState(); clicks = dlg.imageClicks; });
        EXPECT_EQ(state, 1);
        EXPECT_EQ(clicks.size(), 1u);

        // Disabled shows the disabled picture in any state and keeps the state.
        SkinDialog::OnUi(h, [&] { dlg.image.EnableWindow(FALSE); });
        EXPECT_TRUE(WaitPixel(button, w / 2, hgt / 2, kGrey));
        SkinDialog::OnUi(h, [&] { dlg.image.EnableWindow(TRUE); });
        EXPECT_TRUE(WaitPixel(button, w / 2, hgt / 2, kRed));
        MoveTo(c.x, c.y);
        EXPECT_TRUE(WaitPixel(button, w / 2, hgt / 2, kGreen));
        SkinDialog::OnUi(h, [&] { dlg.image.EnableWindow(FALSE); });
        EXPECT_TRUE(WaitPixel(button, w / 2, hgt / 2, kGrey));
        MoveTo(c.x + 3, c.y + 2);
        EXPECT_FALSE(gd::WaitFor([&] { return !Near(PixelOf(button, w / 2, hgt / 2), kGrey); }, 500));
        SkinDialog::OnUi(h, [&] { state = dlg.image.GetState(); dlg.image.EnableWindow(TRUE); });
        EXPECT_EQ(state, 2);
        EXPECT_TRUE(WaitPixel(button, w / 2, hgt / 2, kGreen));
        // The leave that came while disabled ended the tracking; the next move over
        // the button asks for it again, and leaving then shows normal.
        MoveTo(c.x, c.y);
        EXPECT_TRUE(WaitPixel(button, w / 2, hgt / 2, kGreen));
        EXPECT_TRUE(gd::WaitFor([&] {
            BOOL tracking = FALSE;
            SkinDialog::OnUi(h, [&] { tracking = dlg.image.IsTracking(); });
            return tracking != FALSE;
        }, 3000));

        // A click on the 9-pixel rim presses the picture but is not in the button.
        RECT br{};
        ::GetWindowRect(button, &br);
        MoveTo(outside.x, outside.y);
        EXPECT_TRUE(WaitPixel(button, w / 2, hgt / 2, kRed)) << seen();
        MoveTo(br.left + 5, c.y);
        EXPECT_TRUE(WaitPixel(button, w / 2, hgt / 2, kGreen)) << seen();
        gd::ButtonDown();
        EXPECT_TRUE(WaitPixel(button, w / 2, hgt / 2, kBlue)) << seen();
        gd::ButtonUp();
        EXPECT_TRUE(gd::WaitFor([&] {
            size_t n = 0;
            SkinDialog::OnUi(h, [&] { n = dlg.imageClicks.size(); clicks = dlg.imageClicks; });
            return n == 2;
        }, 3000));
        ASSERT_EQ(clicks.size(), 2u);
        EXPECT_FALSE(clicks[1]);
        MoveTo(outside.x, outside.y);
        EXPECT_TRUE(WaitPixel(button, w / 2, hgt / 2, kRed));

        // The paint reaches the target DC as one copy of the finished buffer.
        std::map<DWORD, int> calls;
        SkinDialog::OnUi(h, [&] { calls = DrawItemCalls(dlg.image); });
        EXPECT_EQ(calls, (std::map<DWORD, int>{{EMR_BITBLT, 1}}));
    });
}

TEST(ImageButton, AMoveHandledAfterThePointerLeftEndsInTheNormalPicture) {
    RunDialog([](SkinDialog& dlg, HWND h) {
        HWND button = dlg.image.GetSafeHwnd();
        const Shot first(button);
        const int w = first.width(), hgt = first.height();
        const POINT c = CentreOf(button);
        RECT dr{};
        ::GetWindowRect(h, &dr);
        auto tracking = [&] {
            BOOL t = TRUE;
            SkinDialog::OnUi(h, [&] { t = dlg.image.IsTracking(); });
            return t != FALSE;
        };
        // Hover, then the pointer leaves while the button is disabled: the state stays
        // hover, and re-enabled the button shows it with nothing tracked.
        MoveTo(c.x, c.y);
        EXPECT_TRUE(WaitPixel(button, w / 2, hgt / 2, kGreen));
        SkinDialog::OnUi(h, [&] { dlg.image.EnableWindow(FALSE); });
        MoveTo(dr.right - 40, dr.top + 8);
        EXPECT_TRUE(gd::WaitFor([&] { return !tracking(); }, 3000));
        SkinDialog::OnUi(h, [&] { dlg.image.EnableWindow(TRUE); });
        EXPECT_TRUE(WaitPixel(button, w / 2, hgt / 2, kGreen));
        // A move over the button handled only after the pointer has gone again, as
        // when it crosses the button quickly: the button ends normal, not in hover
        // waiting for a leave that never comes.
        SkinDialog::OnUi(h, [&] { ::SendMessageW(button, WM_MOUSEMOVE, 0, MAKELPARAM(w / 2, hgt / 2)); });
        EXPECT_TRUE(WaitPixel(button, w / 2, hgt / 2, kRed));
        EXPECT_TRUE(gd::WaitFor([&] { return !tracking(); }, 3000));
        MoveTo(c.x, c.y);
        EXPECT_TRUE(WaitPixel(button, w / 2, hgt / 2, kGreen));
    });
}

TEST(PngButton, ScaledUpItDrawsFromTheOnePixelSmallerSource) {
    RunDialog([](SkinDialog& dlg, HWND h) {
        HWND scaled = dlg.scaled.GetSafeHwnd(), unscaled = dlg.unscaled.GetSafeHwnd();
        EXPECT_TRUE(WaitPixel(scaled, 5, 5, kSmallNormal));
        const Shot s(scaled), u(unscaled);
        ASSERT_EQ(s.width(), u.width());
        ASSERT_GE(s.width(), 30);
        const int w = s.width(), hgt = s.height();
        // The picture's last column and row are magenta: drawn at scale 1, left out
        // at scale 1.5 but for what stretching blends in from the neighbour of the
        // source's edge. Magenta share summed over the outer pixels of the middle
        // row and column (blue is 0 in the plain art, 255 in magenta).
        auto edgeShare = [](const Shot& shot, bool columns) {
            double sum = 0;
            for (int k = 1; k <= 4; ++k) {
                const COLORREF c = columns ? shot.At(shot.width() - k, shot.height() / 2)
                                           : shot.At(shot.width() / 2, shot.height() - k);
                sum += GetBValue(c) / 255.0;
            }
            return sum;
        };
        for (bool columns : {true, false}) {
            const double unscaledShare = edgeShare(u, columns), scaledShare = edgeShare(s, columns);
            EXPECT_GT(unscaledShare, 1.5) << columns;
            EXPECT_LT(scaledShare, unscaledShare / 2) << columns;
        }
        // Both draw the picture's own colour inside.
        EXPECT_TRUE(Near(u.At(w / 2, hgt / 2), kSmallNormal));
        EXPECT_TRUE(Near(s.At(w / 2, hgt / 2), kSmallNormal));

        // The same states as the large button; released outside it stays normal.
        const POINT c = CentreOf(scaled);
        RECT dr{};
        ::GetWindowRect(h, &dr);
        MoveTo(c.x, c.y);
        EXPECT_TRUE(WaitPixel(scaled, w / 2, hgt / 2, kSmallHover));
        gd::ButtonDown();
        EXPECT_TRUE(WaitPixel(scaled, w / 2, hgt / 2, kSmallPressed));
        MoveTo(dr.right - 40, dr.top + 8);
        EXPECT_TRUE(WaitPixel(scaled, w / 2, hgt / 2, kSmallNormal));
        gd::ButtonUp();
        EXPECT_FALSE(gd::WaitFor([&] { return !Near(PixelOf(scaled, w / 2, hgt / 2), kSmallNormal); }, 500));

        std::map<DWORD, int> calls;
        SkinDialog::OnUi(h, [&] { calls = DrawItemCalls(dlg.scaled); });
        EXPECT_EQ(calls, (std::map<DWORD, int>{{EMR_BITBLT, 1}}));
    });
}

TEST(CheckBox, ScaledCellAndCaptionAndAClickRepaintsTheOtherCell) {
    RunDialog([](SkinDialog& dlg, HWND h) {
        HWND box = dlg.check.GetSafeHwnd();
        auto blue = [](COLORREF c) { return GetBValue(c) > 150 && GetBValue(c) > GetRValue(c) + 80; };
        auto dark = [](COLORREF c) { return GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100; };
        const int hgt = Shot(box).height();
        const int top = hgt / 2 - 12;
        // Unchecked: the grey ring of the empty cell, no blue.
        EXPECT_TRUE(gd::WaitFor([&] { return Shot(box).Count(dark) > 0; }, 4000));
        Shot unchecked(box);
        EXPECT_EQ(unchecked.Count(blue), 0);
        EXPECT_LT(GetRValue(unchecked.At(1, top + 12)), 235) << std::hex << unchecked.At(1, top + 12);
        EXPECT_EQ(unchecked.At(12, top + 12), kWhite);

        ClickCentre(box);
        EXPECT_TRUE(gd::WaitFor([&] { return Shot(box).Count(blue) > 100; }, 4000));
        const Shot checked(box);
        const RECT cell = checked.Box(blue);
        // The 16-pixel cell at 1.5: 24 x 24 at top = h / 2 - 12 (its ring starts a
        // pixel in from the cell's edge).
        EXPECT_GE(cell.left, 0);
        EXPECT_LE(cell.left, 3);
        EXPECT_GE(cell.right, 20);
        EXPECT_LE(cell.right, 23);
        EXPECT_GE(cell.top, top);
        EXPECT_LE(cell.top, top + 3);
        EXPECT_GE(cell.bottom, top + 20);
        EXPECT_LE(cell.bottom, top + 23);
        // The caption starts at 16 x 1.5 + 2 = 26.
        const RECT caption = checked.Box(dark);
        ASSERT_FALSE(Empty(caption));
        EXPECT_GE(caption.left, 26);
        EXPECT_LE(caption.left, 30);

        int clicks = 0, state = -1;
        SkinDialog::OnUi(h, [&] { clicks = dlg.checkClicks; state = dlg.check.GetCheck(); });
        EXPECT_EQ(clicks, 1);
        EXPECT_EQ(state, BST_CHECKED);

        ClickCentre(box);
        EXPECT_TRUE(gd::WaitFor([&] { return Shot(box).Count(blue) == 0; }, 4000));
        EXPECT_LT(GetRValue(Shot(box).At(1, top + 12)), 235);
        SkinDialog::OnUi(h, [&] { clicks = dlg.checkClicks; state = dlg.check.GetCheck(); });
        EXPECT_EQ(clicks, 2);
        EXPECT_EQ(state, BST_UNCHECKED);

        // Checked by the owner, as the panel does at start. The system check box
        // draws nothing of its own on focus, text, state or check changes: until the
        // control's next paint the window keeps showing the skinned cell.
        bool untouched = false;
        SkinDialog::OnUi(h, [&] {
            ::SetFocus(dlg.image.GetSafeHwnd());
            ::UpdateWindow(box);
            const Shot before(box, true);
            ::SetFocus(box);
            dlg.check.SetWindowText(L"Agreed");
            dlg.check.SetCheck(BST_CHECKED);
            ::SendMessageW(box, BM_SETSTATE, TRUE, 0);
            ::SendMessageW(box, BM_SETSTATE, FALSE, 0);
            untouched = Same(before, Shot(box, true));
        });
        EXPECT_TRUE(untouched);
        EXPECT_TRUE(gd::WaitFor([&] { return Shot(box).Count(blue) > 100; }, 4000));
    });
}

TEST(StatusLine, DotsGrowOnceASecondAndStopWhenAsked) {
    RunDialog([](SkinDialog& dlg, HWND h) {
        HWND line = dlg.status.GetSafeHwnd();
        // White text on the cyan part of the skin: the text's right edge grows with
        // each dot.
        auto text = [](COLORREF c) { return GetRValue(c) > 100; };
        auto edge = [&] { return Shot(line).Box(text).right; };
        EXPECT_TRUE(gd::WaitFor([&] { return Near(Shot(line).At(0, 0), kCyan) && edge() > 0; }, 4000));
        const LONG bare = edge();

        SkinDialog::OnUi(h, [&] { dlg.status.StartDotAnimation(); });
        std::vector<LONG> edges{bare};
        std::vector<ULONGLONG> times{::GetTickCount64()};
        std::vector<std::wstring> texts;
        for (int step = 0; step < 4; ++step) {
            const LONG last = edges.back();
            const bool changed = gd::WaitFor([&] { return edge() != last; }, 3000, 10);
            ASSERT_TRUE(changed) << "step " << step;
            edges.push_back(edge());
            times.push_back(::GetTickCount64());
            std::wstring shown;
            SkinDialog::OnUi(h, [&] { shown = dlg.status.GetDisplayText(); });
            texts.push_back(shown);
        }
        EXPECT_GT(edges[1], edges[0]);
        EXPECT_GT(edges[2], edges[1]);
        EXPECT_GT(edges[3], edges[2]);
        EXPECT_EQ(edges[4], bare);
        EXPECT_EQ(texts, (std::vector<std::wstring>{L"Working.", L"Working..", L"Working...", L"Working"}));
        for (size_t i = 2; i < times.size(); ++i) {
            EXPECT_GE(times[i] - times[i - 1], 700u) << i;
            EXPECT_LE(times[i] - times[i - 1], 1500u) << i;
        }

        // Stopped with a dot showing: back to the bare text, and it stays so.
        EXPECT_TRUE(gd::WaitFor([&] { return edge() > bare; }, 3000, 10));
        BOOL timerStillSet = TRUE;
        SkinDialog::OnUi(h, [&] {
            dlg.status.StopDotAnimation();
            timerStillSet = ::KillTimer(dlg.status.GetSafeHwnd(), CDrawStateInfoStatic::kDotTimer);
        });
        EXPECT_FALSE(timerStillSet);
        EXPECT_TRUE(gd::WaitFor([&] { return edge() == bare; }, 2000));
        EXPECT_FALSE(gd::WaitFor([&] { return edge() != bare; }, 2500));
        int dots = -1;
        SkinDialog::OnUi(h, [&] { dots = dlg.status.GetDotCount(); });
        EXPECT_EQ(dots, 0);

        // A new text is drawn by the control itself at its next paint, never by
        // the system static.
        bool untouched = false;
        SkinDialog::OnUi(h, [&] {
            const Shot before(line, true);
            dlg.status.SetWindowText(L"Working longer");
            untouched = Same(before, Shot(line, true));
        });
        EXPECT_TRUE(untouched);
        EXPECT_TRUE(gd::WaitFor([&] { return edge() > bare; }, 2000));
        EXPECT_TRUE(Near(Shot(line).At(0, 0), kCyan));
    });
}

TEST(DrawTextStatic, LinkColourFollowsThePointerAndRepaintsOnlyOnChange) {
    RunDialog([](SkinDialog& dlg, HWND h) {
        HWND link = dlg.link.GetSafeHwnd();
        auto linkColour = [](COLORREF c) { return Near(c, kLink, 6); };
        auto pureBlue = [](COLORREF c) { return GetRValue(c) < 30 && GetGValue(c) < 30 && GetBValue(c) > 220; };
        EXPECT_TRUE(gd::WaitFor([&] { return Shot(link).Count(linkColour) > 0; }, 4000));
        EXPECT_EQ(Shot(link).Count(pureBlue), 0);

        const POINT c = CentreOf(link);
        MoveTo(c.x, c.y);
        EXPECT_TRUE(gd::WaitFor([&] { return Shot(link).Count(pureBlue) > 0; }, 3000));
        // The owner keeps feeding positions inside: no further paint.
        EXPECT_TRUE(gd::WaitFor([&] {
            BOOL hover = FALSE;
            SkinDialog::OnUi(h, [&] { hover = dlg.link.IsHover(); });
            return hover != FALSE;
        }, 3000));
        const int paints = dlg.link.paints;
        MoveTo(c.x + 2, c.y + 1);
        EXPECT_FALSE(gd::WaitFor([&] { return dlg.link.paints != paints; }, 600));

        RECT dr{};
        ::GetWindowRect(h, &dr);
        MoveTo(dr.right - 40, dr.top + 8);
        EXPECT_TRUE(gd::WaitFor([&] { return Shot(link).Count(pureBlue) == 0; }, 3000));
        EXPECT_GT(Shot(link).Count(linkColour), 0);

        BOOL in = FALSE, out = TRUE;
        SkinDialog::OnUi(h, [&] { in = dlg.link.HitTest(c.x, c.y); out = dlg.link.HitTest(dr.right - 40, dr.top + 8); });
        EXPECT_TRUE(in);
        EXPECT_FALSE(out);
    });
}

TEST(DrawTextStatic, BackgroundColourCountsOnlyBeforeTheFirstPaint) {
    RunDialog([](SkinDialog& dlg, HWND h) {
        HWND late = dlg.bkLate.GetSafeHwnd(), early = dlg.bkEarly.GetSafeHwnd();
        auto ink = [](COLORREF c) { return GetRValue(c) < 100; };
        EXPECT_TRUE(WaitPixel(early, 1, 1, RGB(255, 200, 0)));
        EXPECT_TRUE(WaitPixel(late, 1, 1, kWhite));
        const LONG shortText = Shot(late).Box(ink).right;
        // Repainted with a longer text (so the new paint is seen on the screen), the
        // background stays as the first paint made it.
        SkinDialog::OnUi(h, [&] {
            dlg.bkLate.SetBkColor(RGB(255, 0, 0));
            dlg.bkLate.SetWindowText(L"Later and longer");
        });
        EXPECT_TRUE(gd::WaitFor([&] { return Shot(late).Box(ink).right > shortText; }, 3000));
        EXPECT_EQ(PixelOf(late, 1, 1), kWhite);
    });
}

TEST(DrawTextStatic, ModesFiveAndAboveShowOnlyTheBackgroundAndTheOthersAlign) {
    RunDialog([](SkinDialog& dlg, HWND h) {
        auto ink = [](COLORREF c) { return c != kWhite; };
        EXPECT_TRUE(gd::WaitFor([&] { return Shot(dlg.left.GetSafeHwnd()).Count(ink) > 0; }, 4000));
        // Painted (the dialog's own grey is gone) and nothing but white.
        for (CDrawTextStatic* s : {&dlg.mode5, &dlg.mode6, &dlg.mode7}) {
            EXPECT_TRUE(gd::WaitFor([&] { return Shot(s->GetSafeHwnd()).Count(ink) == 0; }, 3000));
        }
        // The same control draws its text once it has a text mode.
        SkinDialog::OnUi(h, [&] {
            dlg.mode5.SetAlignMode(1);
            dlg.mode5.Invalidate();
        });
        EXPECT_TRUE(gd::WaitFor([&] { return Shot(dlg.mode5.GetSafeHwnd()).Count(ink) > 0; }, 3000));

        const Shot l(dlg.left.GetSafeHwnd()), c(dlg.centre.GetSafeHwnd()), r(dlg.right.GetSafeHwnd());
        const RECT lb = l.Box(ink), cb = c.Box(ink), rb = r.Box(ink);
        ASSERT_FALSE(Empty(lb) || Empty(cb) || Empty(rb));
        EXPECT_LE(lb.left, 3);
        EXPECT_LE(std::abs((cb.left + cb.right + 1) / 2 - c.width() / 2), 3);
        // The font's side bearing leaves a few blank pixels after the last glyph.
        EXPECT_GE(rb.right, r.width() - 8);
        EXPECT_LT(lb.left, cb.left);
        EXPECT_LT(cb.left, rb.left);
        // One line each, vertically centred for the single-line modes.
        EXPECT_LE(std::abs((lb.top + lb.bottom + 1) / 2 - l.height() / 2), 3);
    });
}
