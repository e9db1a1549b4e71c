// The main panel for people who use a screen reader or only the keyboard: the names
// assistive technology reads from another process, the Tab order with the focus cue,
// and Space on the links, the check box, "更多工具", minimise and in the agreement viewer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/e2e/ToolRun.h"
#include "tests/support/ScreenPixels.h"

namespace gd = guidriver;
using e2e::ToolRun;

namespace {

struct PanelControl {
    int id;
    const wchar_t* zh;
    const wchar_t* en;  // null: hidden in English
};

// In the order Tab visits them, from the repair button that has the focus at start.
const PanelControl kTabOrder[] = {
    {IDC_REPAIR, L"修复", L"Fix it"},
    {IDC_MORE_TOOLS, L"更多工具", nullptr},
    {IDC_AGREE, L"同意", nullptr},
    {IDC_AGREEMENT_LINK, L"《Corvel服务工具使用许可协议》", nullptr},
    {IDC_FEEDBACK_LINK, L"反馈问题", nullptr},
    {IDC_MINIMIZE, L"最小化", L"Minimize"},
    {IDC_CLOSE, L"关闭", L"Close"},
};

std::vector<COLORREF> Pixels(HWND control) {
    RECT r{};
    ::GetWindowRect(control, &r);
    return support::ScreenPixels::OfScreen(r).Colours();
}

std::string Describe(HWND window) {
    if (!window) return "nothing";
    return "#" + std::to_string(::GetDlgCtrlID(window)) + " \"" + gd::Utf8(ToolRun::Text(window)) + "\"";
}

bool FocusComesTo(HWND control) {
    return gd::WaitFor([control] { return e2e::KeyboardFocus(control) == control; }, e2e::kSettleTimeoutMs);
}

// The viewer's child dialog, which owns the agreement's text box.
HWND ViewerChild(HWND viewerBack) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(viewerBack, &pid);
    for (HWND h : gd::TopWindows(pid, false)) {
        if (::GetWindow(h, GW_OWNER) == viewerBack && ::GetDlgItem(h, IDC_AGREEMENT_EDIT)) return h;
    }
    return nullptr;
}

// The text box lies inside the skinned scroll bars' frame, which took its id.
HWND ViewerText(HWND viewerChild) {
    HWND frame = viewerChild ? ::GetDlgItem(viewerChild, IDC_AGREEMENT_EDIT) : nullptr;
    for (HWND inner = frame ? ::GetWindow(frame, GW_CHILD) : nullptr; inner; inner = ::GetWindow(inner, GW_HWNDNEXT)) {
        if (HWND text = ::FindWindowExW(inner, nullptr, L"RichEdit20W", nullptr)) return text;
    }
    return nullptr;
}

// Space on the focused minimise button puts the tool on the taskbar, as a click does.
void ExpectSpaceMinimises(ToolRun& run) {
    HWND minimize = run.PanelControl(IDC_MINIMIZE);
    ASSERT_TRUE(e2e::FocusByTab(minimize)) << "Tab never reached the minimise button";
    ASSERT_FALSE(::IsIconic(run.Back()));
    gd::MoveTo(0, 0);
    gd::PressChord({VK_SPACE});
    EXPECT_TRUE(gd::WaitFor([&] { return ::IsIconic(run.Back()) != FALSE; }, e2e::kSettleTimeoutMs))
        << "Space on the minimise button did not minimise the tool";
}

int FirstVisibleLine(HWND text) {
    DWORD_PTR line = 0;
    ::SendMessageTimeoutW(text, EM_GETFIRSTVISIBLELINE, 0, 0, SMTO_ABORTIFHUNG, 2000, &line);
    return static_cast<int>(line);
}

}  // namespace

TEST(Access, ThePanelNamesItsControlsAndTabVisitsThemInReadingOrderShowingTheFocus) {
    const bool chinese = e2e::SystemLanguage() == 1;
    ToolRun run;
    ASSERT_EQ(run.StartQuiet(), "");
    HWND panel = run.Panel();
    // Away from the panel: hover would change what the controls show.
    gd::MoveTo(0, 0);
    ASSERT_TRUE(gd::WaitUntilHittable(run.PanelControl(IDC_REPAIR), e2e::kSettleTimeoutMs));

    EXPECT_EQ(e2e::AccessibleName(panel),
              chinese ? L"Orvane 2020灯效闪烁修复工具" : L"Orvane 2020 Lighting Flicker Repair");
    EXPECT_EQ(e2e::AccessibleName(run.PanelControl(IDC_VERSION)), L"1.0.0");
    std::vector<HWND> order;
    for (const PanelControl& c : kTabOrder) {
        HWND control = run.PanelControl(c.id);
        ASSERT_NE(control, nullptr) << c.id;
        if (!chinese && !c.en) continue;
        order.push_back(control);
        EXPECT_EQ(e2e::AccessibleName(control), chinese ? c.zh : c.en) << "control " << c.id;
    }

    // No key pressed yet: the focus is on the repair button, without a cue.
    ASSERT_EQ(e2e::KeyboardFocus(panel), order[0]) << Describe(e2e::KeyboardFocus(panel));
    std::vector<std::vector<COLORREF>> plain;
    for (HWND control : order) plain.push_back(Pixels(control));

    // Tab walks the controls in order and back to the start; each shows the cue while
    // it has the focus and loses it after.
    for (size_t step = 1; step <= order.size(); ++step) {
        const size_t from = step - 1, to = step % order.size();
        gd::PressChord({VK_TAB});
        ASSERT_TRUE(FocusComesTo(order[to]))
            << "Tab from " << Describe(order[from]) << " went to " << Describe(e2e::KeyboardFocus(panel));
        EXPECT_TRUE(gd::WaitFor([&] { return Pixels(order[to]) != plain[to]; }, e2e::kSettleTimeoutMs))
            << "no focus cue on " << Describe(order[to]);
        EXPECT_TRUE(gd::WaitFor([&] { return Pixels(order[from]) == plain[from]; }, e2e::kSettleTimeoutMs))
            << "the focus cue stayed on " << Describe(order[from]);
    }
    // Shift+Tab walks them backwards.
    for (size_t step = order.size(); step > 0; --step) {
        const size_t to = step - 1;
        gd::PressChord({VK_SHIFT, VK_TAB});
        ASSERT_TRUE(FocusComesTo(order[to]))
            << "Shift+Tab went to " << Describe(e2e::KeyboardFocus(panel)) << " instead of " << Describe(order[to]);
    }
    if (!chinese) {
        ExpectSpaceMinimises(run);
        return;
    }

    // Space on the focused feedback link asks the library for its page; Enter does not.
    HWND feedbackLink = run.PanelControl(IDC_FEEDBACK_LINK);
    gd::PressChord({VK_SHIFT, VK_TAB});
    gd::PressChord({VK_SHIFT, VK_TAB});
    gd::PressChord({VK_SHIFT, VK_TAB});
    ASSERT_TRUE(FocusComesTo(feedbackLink)) << Describe(e2e::KeyboardFocus(panel));
    gd::PressChord({VK_RETURN});
    e2e::Idle(800);
    EXPECT_EQ(run.JournalCount(L"FeedbackQuestion"), 0) << "Enter on the feedback link acted";
    gd::PressChord({VK_SPACE});
    EXPECT_TRUE(gd::WaitFor([&] { return run.JournalCount(L"FeedbackQuestion") == 1; }, e2e::kWindowTimeoutMs))
        << "Space on the feedback link did not open the feedback page";

    // Space on the agreement link opens the viewer with the keyboard in its text, which
    // the keyboard scrolls; Tab leaves it, closing it, and the focus is on the link again.
    HWND agreementLink = run.PanelControl(IDC_AGREEMENT_LINK);
    ASSERT_TRUE(FocusComesTo(feedbackLink)) << "the feedback link lost the focus to "
                                            << Describe(e2e::KeyboardFocus(panel));
    gd::PressChord({VK_SHIFT, VK_TAB});
    ASSERT_TRUE(FocusComesTo(agreementLink)) << Describe(e2e::KeyboardFocus(panel));
    gd::PressChord({VK_SPACE});
    HWND viewer = nullptr;
    ASSERT_TRUE(gd::WaitFor([&] { return (viewer = run.FindViewer()) && ::IsWindowVisible(viewer); },
                            e2e::kWindowTimeoutMs))
        << "Space on the agreement link did not open the viewer";
    HWND viewerChild = ViewerChild(viewer);
    HWND text = ViewerText(viewerChild);
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(gd::WaitFor([&] { return e2e::KeyboardFocus(panel) == text; }, e2e::kSettleTimeoutMs))
        << "the viewer did not take the focus: it is on " << Describe(e2e::KeyboardFocus(panel));
    EXPECT_EQ(e2e::ActiveWindow(panel), viewerChild);
    EXPECT_EQ(e2e::AccessibleName(viewerChild), L"Corvel服务工具使用许可协议");
    ASSERT_EQ(FirstVisibleLine(text), 0);
    gd::PressChord({VK_NEXT});
    EXPECT_TRUE(gd::WaitFor([&] { return FirstVisibleLine(text) > 0; }, e2e::kSettleTimeoutMs))
        << "Page Down did not scroll the agreement";
    gd::PressChord({VK_TAB});
    EXPECT_TRUE(gd::WaitFor([&] { return !::IsWindowVisible(viewer); }, e2e::kSettleTimeoutMs))
        << "Tab did not leave the viewer";
    EXPECT_TRUE(FocusComesTo(agreementLink)) << "after the viewer the focus is on "
                                             << Describe(e2e::KeyboardFocus(panel));

    // Opened again with Space and closed by a click on the link, it gives the focus back
    // to the link as well.
    gd::PressChord({VK_SPACE});
    ASSERT_TRUE(gd::WaitFor([&] { return ::IsWindowVisible(viewer) && e2e::KeyboardFocus(panel) == text; },
                            e2e::kSettleTimeoutMs))
        << "Space did not open the viewer again";
    gd::ClickControl(agreementLink);
    EXPECT_TRUE(gd::WaitFor([&] { return !::IsWindowVisible(viewer); }, e2e::kSettleTimeoutMs))
        << "the click on the link did not close the viewer";
    EXPECT_TRUE(FocusComesTo(agreementLink)) << "after the viewer the focus is on "
                                             << Describe(e2e::KeyboardFocus(panel));
    EXPECT_EQ(run.JournalCount(L"FeedbackQuestion"), 1);

    // Space on the check box unticks and ticks it, as a click does, and the repair
    // button follows it.
    HWND agree = run.PanelControl(IDC_AGREE);
    HWND repair = run.PanelControl(IDC_REPAIR);
    gd::MoveTo(0, 0);
    gd::PressChord({VK_SHIFT, VK_TAB});
    ASSERT_TRUE(FocusComesTo(agree)) << Describe(e2e::KeyboardFocus(panel));
    gd::PressChord({VK_SPACE});
    EXPECT_TRUE(gd::WaitFor([&] { return !::IsWindowEnabled(repair); }, e2e::kSettleTimeoutMs))
        << "Space did not untick the agreement";
    EXPECT_EQ(::SendMessageW(agree, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    gd::PressChord({VK_SPACE});
    EXPECT_TRUE(gd::WaitFor([&] { return ::IsWindowEnabled(repair) != FALSE; }, e2e::kSettleTimeoutMs))
        << "Space did not tick the agreement again";

    // Space on "更多工具" opens its page, and the keyboard comes back to it.
    HWND moreTools = run.PanelControl(IDC_MORE_TOOLS);
    gd::PressChord({VK_SHIFT, VK_TAB});
    ASSERT_TRUE(FocusComesTo(moreTools)) << Describe(e2e::KeyboardFocus(panel));
    gd::PressChord({VK_SPACE});
    EXPECT_TRUE(gd::WaitFor([&] { return run.JournalCount(L"OpenUrl") == 1; }, e2e::kWindowTimeoutMs))
        << "Space on \"更多工具\" did not open its page";
    EXPECT_TRUE(FocusComesTo(moreTools)) << "after the page the focus is on " << Describe(e2e::KeyboardFocus(panel));

    ExpectSpaceMinimises(run);
}
