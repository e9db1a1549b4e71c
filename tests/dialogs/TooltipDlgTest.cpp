#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dialogs/AgreementText.h"
#include "dialogs/DialogPair.h"
#include "dialogs/RichEdit.h"
#include "dialogs/TooltipDlg.h"
#include "res/resource.h"
#include "skin/PngResource.h"
#include "skin/SkinScrollWnd.h"
#include "tests/support/Rects.h"
#include "tools/guidriver/GuiDriver.h"
#include "win/Gdi.h"
#include "win/GdiPlus.h"

namespace gd = guidriver;

namespace {

win::GdiplusSession g_gdiplus;

RECT WindowRect(HWND h) {
    RECT r{};
    ::GetWindowRect(h, &r);
    return r;
}

RECT ClientOnScreen(HWND h) {
    RECT r{};
    ::GetClientRect(h, &r);
    ::MapWindowPoints(h, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

RECT Deflated(RECT r, int by) {
    ::InflateRect(&r, -by, -by);
    return r;
}

// Stands in for the main panel: a popup of the panel's size showing the panel's skin.
class TestPanel : public CWnd {
public:
    ~TestPanel() override { DeletePngImage(&image_); }

protected:
    BOOL OnEraseBkgnd(HDC dc) override {
        if (!image_ && !LoadPngResource(&image_, IDP_MAIN_PANEL_ZH)) return TRUE;
        const RECT c = GetClientRect();
        Gdiplus::Graphics g(dc);
        g.DrawImage(image_, Gdiplus::Rect(0, 0, c.right, c.bottom));
        return TRUE;
    }

private:
    Gdiplus::Image* image_ = nullptr;
};

class ViewerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(InitRichEdit()); }

    void SetUp() override { gd::MoveTo(2, 2); }

    void TearDown() override {
        gd::ButtonUp();
        viewer_.reset();
        panel_.reset();
    }

    // The panel at (kX, kY) and the viewer created on it, moved and shown the way
    // the panel drops it down.
    void Open(float scale, int panelW = 400, int panelH = 600) {
        panel_ = std::make_unique<TestPanel>();
        ASSERT_TRUE(panel_->CreateEx(0, CWnd::PlainClassName(), L"Orvane viewer test panel", WS_POPUP,
                                     RECT{kX, kY, kX + panelW, kY + panelH}, nullptr, 0));
        // Shown once bound, so that its first erase paints the skin.
        panel_->ShowWindow(SW_SHOW);
        viewer_ = std::make_unique<CTooltipDlg>();
        viewer_->m_fScale = scale;
        ASSERT_TRUE(viewer_->Create(IDD_VIEWER_BACK, panel_.get()));
        ASSERT_NE(viewer_->Child(), nullptr);
        ASSERT_TRUE(::IsWindow(viewer_->Child()->GetSafeHwnd()));
        createdSize_ = WindowRect(back());
        viewer_->MoveWindow(ViewerRectOverPanel(panel_->GetWindowRect(), scale), TRUE);
        viewer_->ShowWindow(SW_SHOW);
        viewer_->ShowChild(1);
        ASSERT_TRUE(gd::WaitForProp(back(), kPairSettledProp, 5000));
        // The bar carries the host's scroll state once the frame has synchronised.
        ASSERT_TRUE(gd::WaitFor([&] { return bar().GetState().nMax == HostInfo().nMax && HostInfo().nMax > 0; }, 3000));
    }

    HWND back() const { return viewer_->GetSafeHwnd(); }
    HWND child() const { return viewer_->Child()->GetSafeHwnd(); }
    HWND host() const { return viewer_->Child()->m_edit.GetSafeHwnd(); }
    CSkinScrollWnd* frame() const {
        return dynamic_cast<CSkinScrollWnd*>(CWnd::FromHandle(::GetDlgItem(child(), IDC_AGREEMENT_EDIT)));
    }
    CSkinScrollBar& bar() const { return frame()->GetVertBar(); }
    SCROLLINFO HostInfo() const {
        SCROLLINFO si{sizeof(si), SIF_ALL};
        ::GetScrollInfo(host(), SB_VERT, &si);
        return si;
    }
    int FirstLine() const { return viewer_->Child()->m_edit.GetFirstVisibleLine(); }
    std::wstring HostText() const { return viewer_->Child()->m_edit.GetWindowText(); }

    // Whether the screen shows the child's skin at its top-left corner and the
    // rich edit's white page inside it.
    bool Painted() const {
        const RECT c = ClientOnScreen(child());
        const COLORREF skin = gd::ScreenPixel(c.left + 4, c.top + 20);
        const RECT h = ClientOnScreen(host());
        const COLORREF page = gd::ScreenPixel(h.right - 4, h.bottom - 4);
        return GetRValue(skin) > 200 && GetGValue(skin) > 200 && GetBValue(skin) > 200 && page == RGB(255, 255, 255);
    }

    void Shot(const std::wstring& name) const {
        const std::wstring folder = gd::ScreensFolder();
        ASSERT_FALSE(folder.empty());
        const RECT area = panel_->GetWindowRect();
        EXPECT_TRUE(gd::SaveScreenshot(folder + L"\\" + name + L".png", &area));
    }

    static constexpr int kX = 240;
    static constexpr int kY = 60;

    std::unique_ptr<TestPanel> panel_;
    std::unique_ptr<CTooltipDlg> viewer_;
    RECT createdSize_{};
};

}  // namespace

TEST(ViewerPlace, DropsDownBelowThePanelsTop) {
    struct Case { RECT panel; float s; RECT viewer; };
    const Case cases[] = {
        {{100, 50, 500, 650}, 1.0f, {102, 158, 500, 630}},       // 398 x 472
        {{0, 0, 500, 750}, 1.25f, {2, 135, 499, 725}},           // widths truncated after the subtraction
        {{10, 20, 586, 884}, 1.44f, {12, 175, 585, 854}},
        {{-300, -40, 200, 710}, 1.25f, {-297, 95, 200, 685}},    // a screen left of the primary one
    };
    for (const Case& c : cases) {
        const RECT r = ViewerRectOverPanel(c.panel, c.s);
        EXPECT_TRUE(support::SameRect(r, c.viewer)) << support::ShowRect(r) << " expected " << support::ShowRect(c.viewer);
    }
}

TEST_F(ViewerTest, SitsOverThePanelWithTheChildInsetAndTheTextEightPixelsIn) {
    Open(1.0f);
    EXPECT_EQ(createdSize_.right - createdSize_.left, 396);
    EXPECT_EQ(createdSize_.bottom - createdSize_.top, 482);

    const RECT b = WindowRect(back());
    EXPECT_TRUE(support::SameRect(b, RECT{kX + 2, kY + 108, kX + 400, kY + 580})) << support::ShowRect(b);
    const RECT c = WindowRect(child());
    EXPECT_TRUE(support::SameRect(c, RECT{b.left + 1, b.top + 1, b.right - 2, b.bottom - 18})) << support::ShowRect(c);
    EXPECT_EQ(::GetWindow(child(), GW_OWNER), back());
    EXPECT_EQ(::GetWindow(back(), GW_OWNER), panel_->GetSafeHwnd());

    // The skin's frame took the rich edit's place, id and border: it lies 8 pixels
    // inside the child, and the rich edit fills it but for the bar.
    ASSERT_NE(frame(), nullptr);
    const RECT f = WindowRect(frame()->GetSafeHwnd());
    EXPECT_TRUE(support::SameRect(f, Deflated(ClientOnScreen(child()), 8))) << support::ShowRect(f);
    const RECT inside = ClientOnScreen(frame()->GetSafeHwnd());
    const RECT h = WindowRect(host());
    const RECT limit = WindowRect(frame()->GetLimitWnd());
    const RECT v = WindowRect(bar().GetSafeHwnd());
    EXPECT_EQ(::GetParent(host()), frame()->GetLimitWnd());
    EXPECT_EQ(h.left, inside.left);
    EXPECT_EQ(h.top, inside.top);
    EXPECT_EQ(h.bottom, inside.bottom) << "host " << support::ShowRect(h) << " frame client " << support::ShowRect(inside);
    EXPECT_TRUE(support::SameRect(limit, RECT{inside.left, inside.top, v.left, inside.bottom})) << support::ShowRect(limit);
    EXPECT_TRUE(support::SameRect(v, RECT{inside.right - 13, inside.top, inside.right, inside.bottom})) << support::ShowRect(v);
    EXPECT_GE(h.right, limit.right);
}

TEST_F(ViewerTest, FollowsTheScaleAtCreationAndOverThePanel) {
    struct Case { float s; int panelW, panelH, backW, backH, margin; };
    const Case cases[] = {
        {1.25f, 500, 750, 495, 602, 10},
        {1.44f, 576, 864, 570, 694, 11},
    };
    for (const Case& k : cases) {
        Open(k.s, k.panelW, k.panelH);
        EXPECT_EQ(createdSize_.right - createdSize_.left, k.backW) << k.s;
        EXPECT_EQ(createdSize_.bottom - createdSize_.top, k.backH) << k.s;
        const RECT b = WindowRect(back());
        EXPECT_TRUE(support::SameRect(b, ViewerRectOverPanel(panel_->GetWindowRect(), k.s))) << support::ShowRect(b);
        const RECT c = WindowRect(child());
        EXPECT_TRUE(support::SameRect(c, ChildRectInBack(b, PairInsets{1, 1, 2, 18}, k.s))) << support::ShowRect(c);
        const RECT f = WindowRect(frame()->GetSafeHwnd());
        EXPECT_TRUE(support::SameRect(f, Deflated(ClientOnScreen(child()), k.margin))) << k.s << " " << support::ShowRect(f);
        EXPECT_EQ(frame()->GetScrollWidth(), static_cast<int>(13 * k.s));
        viewer_.reset();
        panel_.reset();
    }
}

TEST_F(ViewerTest, ShowsTheAgreementReadOnly) {
    Open(1.0f);
    const std::wstring original = HostText();
    // The control reports paragraphs with CR LF, as the text was given.
    EXPECT_EQ(original, BuildAgreementText());
    EXPECT_TRUE(::GetWindowLongPtrW(host(), GWL_STYLE) & ES_READONLY);
    EXPECT_TRUE(::SendMessageW(host(), EM_GETOPTIONS, 0, 0) & ECO_READONLY);

    ::SendMessageW(host(), EM_SETSEL, 0, -1);
    ::SendMessageW(host(), WM_CHAR, L'x', 0);
    ::SendMessageW(host(), WM_CHAR, VK_BACK, 0);
    ::SendMessageW(host(), WM_CUT, 0, 0);
    ::SendMessageW(host(), EM_SETSEL, 5, 5);
    ::SendMessageW(host(), WM_CHAR, L'x', 0);
    EXPECT_EQ(HostText(), original);

    // Real typing into the focused control, with all of it selected, changes
    // nothing either: a letter, Delete, Backspace and Ctrl+X. Selecting all
    // scrolls to the end; Ctrl+Home after the keys shows when they have been handled.
    gd::ClickControl(host());
    ASSERT_TRUE(gd::WaitFor([&] { return ::GetFocus() == host(); }, 2000));
    ::SendMessageW(host(), EM_SETSEL, 0, -1);
    ASSERT_GT(FirstLine(), 0);
    struct Key { WORD vk; DWORD flags; };
    const Key sequence[] = {
        {'Q', 0}, {'Q', KEYEVENTF_KEYUP},
        {VK_DELETE, KEYEVENTF_EXTENDEDKEY}, {VK_DELETE, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP},
        {VK_BACK, 0}, {VK_BACK, KEYEVENTF_KEYUP},
        {VK_CONTROL, 0}, {'X', 0}, {'X', KEYEVENTF_KEYUP},
        {VK_HOME, KEYEVENTF_EXTENDEDKEY}, {VK_HOME, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP},
        {VK_CONTROL, KEYEVENTF_KEYUP},
    };
    INPUT keys[sizeof(sequence) / sizeof(sequence[0])]{};
    for (size_t i = 0; i < sizeof(sequence) / sizeof(sequence[0]); ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = sequence[i].vk;
        keys[i].ki.dwFlags = sequence[i].flags;
    }
    const UINT n = static_cast<UINT>(sizeof(keys) / sizeof(keys[0]));
    ASSERT_EQ(::SendInput(n, keys, sizeof(INPUT)), n);
    ASSERT_TRUE(gd::WaitFor([&] { return FirstLine() == 0; }, 2000));
    EXPECT_EQ(HostText(), original);
}

TEST_F(ViewerTest, BarIsEnabledForTheLongTextAndDisabledButPresentWhenTheTextFits) {
    Open(1.0f);
    CSkinScrollWnd* f = frame();
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(gd::WaitFor([&] { return bar().IsWindowEnabled() != FALSE; }, 1500));
    EXPECT_TRUE(bar().IsWindowVisible());
    EXPECT_FALSE(f->GetHorzBar().IsWindowVisible());
    EXPECT_EQ(f->GetCornerType(), 0);
    EXPECT_GT(HostInfo().nMax, static_cast<int>(HostInfo().nPage));

    viewer_->Child()->m_edit.SetWindowText(L"Corvel服务工具使用许可协议");
    EXPECT_TRUE(gd::WaitFor([&] { return bar().IsWindowEnabled() == FALSE; }, 2000));
    EXPECT_TRUE(bar().IsWindowVisible());
    EXPECT_FALSE(f->GetHorzBar().IsWindowVisible());

    viewer_->Child()->m_edit.SetWindowText(BuildAgreementText());
    EXPECT_TRUE(gd::WaitFor([&] { return bar().IsWindowEnabled() != FALSE; }, 2000));
}

TEST_F(ViewerTest, ClickOnTheDownArrowScrollsTheText) {
    Open(1.0f);
    ASSERT_EQ(FirstLine(), 0);
    ASSERT_TRUE(gd::WaitFor([&] { return bar().IsWindowEnabled() != FALSE; }, 1500));
    RECT down = bar().GetPartRect(SB_LINEDOWN);
    ::MapWindowPoints(bar().GetSafeHwnd(), nullptr, reinterpret_cast<POINT*>(&down), 2);
    const POINT p = gd::Centre(down);
    ASSERT_TRUE(gd::WaitFor([&] { return ::WindowFromPoint(p) == bar().GetSafeHwnd(); }, 3000));
    gd::Click(p.x, p.y);
    ASSERT_TRUE(gd::WaitFor([&] { return FirstLine() > 0; }, 2000));
    EXPECT_EQ(bar().GetState().nPos, HostInfo().nPos);
    EXPECT_GT(HostInfo().nPos, 0);
    // One click is one line.
    EXPECT_FALSE(gd::WaitFor([&] { return FirstLine() > 1; }, 700));
}

TEST_F(ViewerTest, ShowChildHidesAndShowsTheChildOnly) {
    Open(1.0f);
    viewer_->ShowChild(0);
    EXPECT_FALSE(::IsWindowVisible(child()));
    EXPECT_TRUE(::IsWindowVisible(back()));
    viewer_->ShowChild(1);
    EXPECT_TRUE(::IsWindowVisible(child()));

    // The panel's toggling: both hidden, then both shown again in the same place.
    const RECT before = WindowRect(child());
    viewer_->ShowWindow(SW_HIDE);
    viewer_->ShowChild(0);
    EXPECT_FALSE(::IsWindowVisible(back()));
    EXPECT_FALSE(::IsWindowVisible(child()));
    viewer_->MoveWindow(ViewerRectOverPanel(panel_->GetWindowRect(), 1.0f), TRUE);
    viewer_->ShowWindow(SW_SHOW);
    viewer_->ShowChild(1);
    EXPECT_TRUE(::IsWindowVisible(child()));
    EXPECT_TRUE(support::SameRect(WindowRect(child()), before));

    // A viewer that was never created has no child to show.
    CTooltipDlg unopened;
    unopened.ShowChild(1);
    unopened.ShowChild(0);
    EXPECT_EQ(unopened.Child(), nullptr);
}

TEST_F(ViewerTest, DestroyingTheViewerTakesTheSkinnedTextBoxWithIt) {
    Open(1.0f);
    HWND b = back(), c = child(), h = host();
    HWND f = frame()->GetSafeHwnd();
    viewer_.reset();
    EXPECT_FALSE(::IsWindow(b));
    EXPECT_FALSE(::IsWindow(c));
    EXPECT_FALSE(::IsWindow(f));
    EXPECT_FALSE(::IsWindow(h));

    // Destroyed with its owner, the panel, before the object goes.
    Open(1.0f);
    b = back();
    h = host();
    panel_->DestroyWindow();
    EXPECT_FALSE(::IsWindow(b));
    EXPECT_FALSE(::IsWindow(h));
    viewer_.reset();
}

TEST_F(ViewerTest, ScreenshotsScrolledToTheTopAndToTheMiddle) {
    Open(1.0f);
    ASSERT_TRUE(gd::WaitFor([&] { return Painted(); }, 3000));
    Shot(L"viewer-top");

    const SCROLLINFO si = HostInfo();
    const int middle = (si.nMax - static_cast<int>(si.nPage) + 1) / 2;
    ::SendMessageW(host(), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, middle), 0);
    ASSERT_GT(FirstLine(), 5);
    // The frame's synchronisation moves the thumb along.
    ASSERT_TRUE(gd::WaitFor([&] { return bar().GetState().nPos == HostInfo().nPos; }, 2000));
    ::RedrawWindow(bar().GetSafeHwnd(), nullptr, nullptr, RDW_UPDATENOW);
    ASSERT_TRUE(gd::WaitFor([&] { return Painted(); }, 3000));
    Shot(L"viewer-middle");
}
