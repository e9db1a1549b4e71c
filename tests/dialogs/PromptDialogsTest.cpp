#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "dialogs/ExecutePromptDlg.h"
#include "dialogs/Messages.h"
#include "dialogs/PromptDlg.h"
#include "res/resource.h"
#include "tests/dialogs/DialogDriver.h"
#include "tools/guidriver/GuiDriver.h"
#include "win/GdiPlus.h"
#include "win/Scale.h"

namespace gd = guidriver;
using namespace dialog_test;

namespace {

win::GdiplusSession g_gdiplus;

struct Expected {
    int backW, backH, childW, childH, childX, childY;
};

SIZE SizeOf(HWND h) {
    RECT r{};
    ::GetWindowRect(h, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

POINT Offset(HWND child, HWND back) {
    RECT c{}, b{};
    ::GetWindowRect(child, &c);
    ::GetWindowRect(back, &b);
    return POINT{c.left - b.left, c.top - b.top};
}

// A prompt of the Chinese interface with `text` and button mode `mode`.
void SetUpChinese(CPromptDlg& dlg, const wchar_t* text, int mode) {
    dlg.m_nLanguage = 1;
    dlg.SetText(text);
    dlg.SetButtonMode(mode);
}

}  // namespace

TEST(ProgressPrompt, SizeAndPlaceFollowTheScale) {
    const float s = win::ScreenScale();
    const Expected e = s > 1.4f ? Expected{334, 190, 294, 150, 20, 17} : Expected{232, 132, 204, 104, 14, 12};
    CExecutePromptDlg dlg;
    dlg.m_fScale = s;
    dlg.SetText(L"");
    std::atomic<bool> sizesOk{false}, textOk{false};
    INT_PTR r = RunWithDriver(dlg, [&] {
        HWND child = WaitForChildWith(IDC_PROGRESS_TEXT);
        if (!child) return;
        HWND back = ::GetWindow(child, GW_OWNER);
        const SIZE bs = SizeOf(back), cs = SizeOf(child);
        const POINT off = Offset(child, back);
        sizesOk = bs.cx == e.backW && bs.cy == e.backH && cs.cx == e.childW && cs.cy == e.childH &&
                  off.x == e.childX && off.y == e.childY;
        textOk = gd::Describe(::GetDlgItem(child, IDC_PROGRESS_TEXT)).text == L"正在修复，请稍等";
        ::SendMessageW(back, WM_EXECUTE_PROMPT_CLOSE, 0, 0);
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_TRUE(sizesOk);
    EXPECT_TRUE(textOk);
}

TEST(ProgressPrompt, KeysAndDraggingDoNotEndOrMoveIt) {
    CExecutePromptDlg dlg;
    dlg.SetText(L"Update firmware now, please wait a moment");
    std::atomic<bool> stayed{false};
    INT_PTR r = RunWithDriver(dlg, [&] {
        HWND child = WaitForChildWith(IDC_PROGRESS_TEXT);
        if (!child) return;
        HWND back = ::GetWindow(child, GW_OWNER);
        RECT before{};
        ::GetWindowRect(child, &before);
        PostKeyTo(child, VK_ESCAPE);
        PostKeyTo(back, VK_RETURN);
        gd::MoveTo(before.left + 30, before.top + 5);
        gd::ButtonDown();
        gd::MoveTo(before.left + 130, before.top + 105);
        gd::ButtonUp();
        gd::WaitFor([] { return false; }, 300);  // give a move, if any, the time to happen
        RECT after{};
        ::GetWindowRect(child, &after);
        stayed = ::IsWindowVisible(back) && after.left == before.left && after.top == before.top;
        ::SendMessageW(back, WM_EXECUTE_PROMPT_CLOSE, 0, 0);
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_TRUE(stayed);
}

TEST(ProgressPrompt, CloseRequestsOfTheSystemDoNotEndIt) {
    // Alt+F4 and the system menu's Close reach whichever window of the pair is active.
    class Observed : public CExecutePromptDlg {
    public:
        std::atomic<int> closes{0};

    protected:
        LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
            const LRESULT r = CExecutePromptDlg::WindowProc(msg, wp, lp);
            if (msg == WM_CLOSE) ++closes;
            return r;
        }
    } dlg;
    dlg.SetText(L"");
    std::atomic<bool> stayed{false};
    INT_PTR r = RunWithDriver(dlg, [&] {
        HWND child = WaitForChildWith(IDC_PROGRESS_TEXT);
        if (!child) return;
        HWND back = ::GetWindow(child, GW_OWNER);
        ::SendMessageW(child, WM_SYSCOMMAND, SC_CLOSE, 0);
        // The child hands the request on to the back through a posted command.
        if (!gd::WaitFor([&] { return dlg.closes.load() == 1; }, 3000)) return;
        ::SendMessageW(back, WM_SYSCOMMAND, SC_CLOSE, 0);
        // Both requests have queued whatever they lead to; the prompt's own message
        // comes after them, so a prompt that took a request has ended by then.
        stayed = ::IsWindowVisible(back) && ::IsWindowVisible(child);
        ::PostMessageW(back, WM_EXECUTE_PROMPT_CLOSE, 0, 0);
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_EQ(dlg.closes.load(), 2);
    EXPECT_TRUE(stayed);
}

TEST(ProgressPrompt, LeavesTheScreenWithItsChildTheMomentItIsClosed) {
    // The repair's worker closes the prompt and reports the outcome with two sends
    // in a row; the outcome can be handled before the prompt's loop ends, and must
    // not find the prompt still showing.
    class Observed : public CExecutePromptDlg {
    public:
        std::atomic<int> backShown{-1}, childShown{-1};

    protected:
        LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
            const LRESULT r = CExecutePromptDlg::WindowProc(msg, wp, lp);
            if (msg == WM_EXECUTE_PROMPT_CLOSE) {
                backShown = ::IsWindowVisible(m_hWnd) ? 1 : 0;
                childShown = m_pChild && ::IsWindowVisible(m_pChild->GetSafeHwnd()) ? 1 : 0;
            }
            return r;
        }
    } dlg;
    dlg.SetText(L"");
    INT_PTR r = RunWithDriver(dlg, [&] {
        HWND child = WaitForChildWith(IDC_PROGRESS_TEXT);
        if (child) ::SendMessageW(::GetWindow(child, GW_OWNER), WM_EXECUTE_PROMPT_CLOSE, 0, 0);
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_EQ(dlg.backShown, 0);
    EXPECT_EQ(dlg.childShown, 0);
}

TEST(ProgressPrompt, ACloseBeforeItsWindowExistsEndsItAsItStarts) {
    // The job can end before the prompt is shown, also when its picture cannot be
    // drawn (here: no size to draw it at).
    for (const float scale : {1.0f, 0.0f}) {
        SCOPED_TRACE(scale);
        CExecutePromptDlg dlg;
        dlg.m_fScale = scale;
        dlg.SetText(L"");
        dlg.Close();
        EXPECT_EQ(RunWithDriver(dlg, [] {}, 3000), IDOK);
    }
}

TEST(Prompt, SizeAndModeOneReturnsOkFromTheCentredButton) {
    const float s = win::ScreenScale();
    CPromptDlg dlg;
    dlg.m_fScale = s;
    SetUpChinese(dlg, L"修复成功", 1);
    std::atomic<bool> sizesOk{false}, layoutOk{false};
    INT_PTR r = RunWithDriver(dlg, [&] {
        HWND child = WaitForChildWith(IDC_PROMPT_FIRST);
        if (!child) return;
        HWND back = ::GetWindow(child, GW_OWNER);
        if (s < 1.1f) {
            const SIZE bs = SizeOf(back), cs = SizeOf(child);
            const POINT off = Offset(child, back);
            sizesOk = bs.cx == 336 && bs.cy == 156 && cs.cx == 326 && cs.cy == 146 && off.x == 5 && off.y == 3;
        } else {
            sizesOk = true;
        }
        auto kids = gd::Children(child);
        RECT client{};
        ::GetClientRect(child, &client);
        POINT origin{0, 0};
        ::ClientToScreen(child, &origin);
        const RECT& first = kids[IDC_PROMPT_FIRST].rect;
        const int centre = origin.x + client.right / 2;
        layoutOk = kids[IDC_PROMPT_FIRST].visible && !kids[IDC_PROMPT_SECOND].visible &&
                   std::abs((first.left + first.right) / 2 - centre) <= 1 &&
                   kids[IDC_PROMPT_TEXT].text == L"修复成功";
        gd::ClickControl(kids[IDC_PROMPT_FIRST].hwnd);
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_TRUE(sizesOk);
    EXPECT_TRUE(layoutOk);
}

TEST(Prompt, AnActivatedBackHandsActivationToItsChild) {
    // A prompt that ends gives activation back to its owner, which may be a back;
    // the pair's controls live in the child, which must end up the active window.
    CPromptDlg dlg;
    SetUpChinese(dlg, L"修复成功", 1);
    std::atomic<bool> childActive{false}, backActivated{false};
    INT_PTR r = RunWithDriver(dlg, [&] {
        HWND child = WaitForChildWith(IDC_PROMPT_FIRST);
        if (!child) return;
        HWND back = ::GetWindow(child, GW_OWNER);
        childActive = gd::WaitFor([&] { return ::GetForegroundWindow() == child; }, 3000);
        backActivated = ::SetForegroundWindow(back) != FALSE;
        childActive = childActive && gd::WaitFor([&] { return ::GetForegroundWindow() == child; }, 3000);
        gd::ClickControl(::GetDlgItem(child, IDC_PROMPT_FIRST));
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_TRUE(backActivated);
    EXPECT_TRUE(childActive);
}

TEST(Prompt, ClosingTheActiveChildClosesThePair) {
    // Alt+F4 reaches the active window of the pair, which is the child: the pair
    // must end as it does from its close button, not leave its back on screen.
    CPromptDlg dlg;
    SetUpChinese(dlg, L"是否继续？", 2);
    std::atomic<bool> gone{false};
    INT_PTR r = RunWithDriver(dlg, [&] {
        HWND child = WaitForChildWith(IDC_PROMPT_FIRST);
        if (!child) return;
        HWND back = ::GetWindow(child, GW_OWNER);
        ::PostMessageW(child, WM_SYSCOMMAND, SC_CLOSE, 0);
        gone = gd::WaitForGone(back, 3000) && gd::WaitForGone(child, 3000);
    });
    EXPECT_EQ(r, IDCANCEL);
    EXPECT_TRUE(gone);
}

TEST(Prompt, ModeTwoCancelsFromTheSecondAndTheCloseButton) {
    for (int control : {IDC_PROMPT_SECOND, IDC_CLOSE}) {
        CPromptDlg dlg;
        SetUpChinese(dlg, L"是否继续？", 2);
        std::atomic<bool> bothShown{false};
        INT_PTR r = RunWithDriver(dlg, [&] {
            HWND child = WaitForChildWith(IDC_PROMPT_FIRST);
            if (!child) return;
            auto kids = gd::Children(child);
            bothShown = kids[IDC_PROMPT_FIRST].visible && kids[IDC_PROMPT_SECOND].visible &&
                        kids[IDC_PROMPT_FIRST].rect.right < kids[IDC_PROMPT_SECOND].rect.left;
            gd::ClickControl(kids[control].hwnd);
        });
        EXPECT_EQ(r, IDCANCEL) << control;
        EXPECT_TRUE(bothShown);
    }
}

TEST(Prompt, UnknownModeShowsOnlyTheFirstButtonAtItsLeftPlace) {
    CPromptDlg dlg;
    dlg.SetButtonMode(7);
    dlg.SetText(L"Failed");
    std::atomic<bool> ok{false};
    INT_PTR r = RunWithDriver(dlg, [&] {
        HWND child = WaitForChildWith(IDC_PROMPT_FIRST);
        if (!child) return;
        auto kids = gd::Children(child);
        POINT origin{0, 0};
        ::ClientToScreen(child, &origin);
        RECT client{};
        ::GetClientRect(child, &client);
        ok = kids[IDC_PROMPT_FIRST].visible && !kids[IDC_PROMPT_SECOND].visible &&
             kids[IDC_PROMPT_FIRST].rect.left == origin.x + client.right / 2 - 55 - 12;
        gd::ClickControl(kids[IDC_PROMPT_FIRST].hwnd);
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_TRUE(ok);
}

TEST(Prompt, KeysDoNothingAndTheTopStripDragsThePair) {
    CPromptDlg dlg;
    SetUpChinese(dlg, L"拖动测试", 3);
    std::atomic<bool> keptOpen{false}, dragging{false}, movedTogether{false}, closeCornerStill{false};
    std::string moves;  // written by the driver, read after it has ended
    INT_PTR r = RunWithDriver(dlg, [&] {
        HWND child = WaitForChildWith(IDC_PROMPT_FIRST);
        if (!child) return;
        HWND back = ::GetWindow(child, GW_OWNER);
        PostKeyTo(::GetDlgItem(child, IDC_PROMPT_FIRST), VK_RETURN);
        PostKeyTo(::GetDlgItem(child, IDC_PROMPT_FIRST), VK_ESCAPE);
        gd::WaitFor([] { return false; }, 200);
        keptOpen = ::IsWindowVisible(back) && ::IsWindowVisible(child);

        RECT c0{}, b0{};
        ::GetWindowRect(child, &c0);
        ::GetWindowRect(back, &b0);
        gd::MoveTo(c0.left + 40, c0.top + 10);
        gd::ButtonDown();
        dragging = gd::WaitForMoveSizeLoop(child, 3000);
        // Each step lands before the next, as with a hand on the mouse: a move that
        // comes while the loop is still moving the pair for the last one can be lost.
        RECT c1{}, b1{};
        auto pairMovedBy = [&](int dx, int dy) {
            return gd::WaitFor([&] {
                ::GetWindowRect(child, &c1);
                ::GetWindowRect(back, &b1);
                return c1.left - c0.left == dx && c1.top - c0.top == dy && b1.left - b0.left == dx &&
                       b1.top - b0.top == dy;
            }, 3000);
        };
        gd::MoveTo(c0.left + 80, c0.top + 40);
        pairMovedBy(40, 30);
        gd::MoveTo(c0.left + 100, c0.top + 70);
        pairMovedBy(60, 60);
        gd::ButtonUp();
        ::GetWindowRect(child, &c1);
        ::GetWindowRect(back, &b1);
        movedTogether = c1.left - c0.left == 60 && c1.top - c0.top == 60 && b1.left - b0.left == 60 &&
                        b1.top - b0.top == 60;
        moves = "child by (" + std::to_string(c1.left - c0.left) + "," + std::to_string(c1.top - c0.top) +
                "), back by (" + std::to_string(b1.left - b0.left) + "," + std::to_string(b1.top - b0.top) + ")";

        // Near the right edge the strip does not drag (the close button lies there).
        gd::MoveTo(c1.right - 20, c1.top + 25);
        gd::ButtonDown();
        gd::MoveTo(c1.right + 20, c1.top + 85);
        gd::ButtonUp();
        gd::WaitFor([] { return false; }, 300);
        RECT c2{};
        ::GetWindowRect(child, &c2);
        closeCornerStill = c2.left == c1.left && c2.top == c1.top;
        gd::ClickControl(::GetDlgItem(child, IDC_PROMPT_FIRST));
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_TRUE(keptOpen);
    EXPECT_TRUE(dragging) << "the press on the strip did not start the system's move loop";
    EXPECT_TRUE(movedTogether) << moves;
    EXPECT_TRUE(closeCornerStill);
}

TEST(Screenshots, EachDialogInTheSystemLanguage) {
    const float s = win::ScreenScale();
    const int lang = Language();
    {
        CExecutePromptDlg dlg;
        dlg.m_fScale = s;
        dlg.SetText(lang == 1 ? L"正在修复，请稍等" : L"Update firmware now, please wait a moment");
        RunWithDriver(dlg, [&] {
            HWND child = WaitForChildWith(IDC_PROGRESS_TEXT);
            if (!child) return;
            HWND back = ::GetWindow(child, GW_OWNER);
            gd::WaitFor([] { return false; }, 1200);  // let one dot appear
            RECT r{};
            ::GetWindowRect(back, &r);
            Shot(L"progress-" + Tag());
            ::SendMessageW(back, WM_EXECUTE_PROMPT_CLOSE, 0, 0);
        });
    }
    for (int mode : {3, 2}) {
        CPromptDlg dlg;
        dlg.m_fScale = s;
        dlg.m_nLanguage = lang;
        dlg.SetButtonMode(mode);
        dlg.SetText(lang == 1 ? L"无法检测到设备" : L"Can not Find Device");
        RunWithDriver(dlg, [&] {
            HWND child = WaitForChildWith(IDC_PROMPT_FIRST);
            if (!child) return;
            gd::WaitFor([] { return false; }, 300);
            Shot(L"prompt-mode" + std::to_wstring(mode) + L"-" + Tag());
            gd::ClickControl(::GetDlgItem(child, IDC_PROMPT_FIRST));
        });
    }
    SUCCEED();
}
