// The agreement viewer on the main panel and closing with feedback in Chinese,
// through the delivered tool.
#include <gtest/gtest.h>

#include <utility>

#include "res/resource.h"
#include "tests/e2e/ToolRun.h"

namespace gd = guidriver;
using e2e::ToolRun;

namespace {

bool Shown(HWND viewer) { return viewer && ::IsWindowVisible(viewer); }

void ClickAt(int x, int y) { gd::Click(x, y); }

}  // namespace

TEST(Viewer, TheLinkTogglesItAndClicksElsewhereHideIt) {
    ASSERT_EQ(e2e::SystemLanguage(), 1);
    ToolRun run;
    ASSERT_EQ(run.StartQuiet(), "");
    HWND link = run.PanelControl(IDC_AGREEMENT_LINK);
    ASSERT_TRUE(gd::WaitUntilHittable(link, e2e::kSettleTimeoutMs));
    EXPECT_EQ(run.FindViewer(), nullptr) << "the viewer is made on the first click only";

    gd::ClickControl(link);
    HWND viewer = nullptr;
    // The first click makes the viewer (and loads the rich edit library).
    ASSERT_TRUE(gd::WaitFor([&] { return Shown(viewer = run.FindViewer()); }, e2e::kWindowTimeoutMs))
        << "the first click shows it";
    gd::WaitForProp(viewer, L"Orvane.PairSettled", e2e::kSettleTimeoutMs);

    RECT panel{}, back{};
    ::GetWindowRect(run.Panel(), &panel);
    ::GetWindowRect(viewer, &back);
    if (e2e::ScreenDpi() == 96) {
        EXPECT_EQ(back.left, panel.left + 2);
        EXPECT_EQ(back.top, panel.top + 108);
        EXPECT_EQ(back.right - back.left, 398);
        EXPECT_EQ(back.bottom - back.top, 472);
    }
    e2e::SaveWindowShot(run.Panel(), L"panel-viewer");

    gd::ClickControl(link);
    EXPECT_TRUE(gd::WaitFor([&] { return !Shown(viewer); }, e2e::kSettleTimeoutMs)) << "the second click hides it";

    gd::ClickControl(link);
    ASSERT_TRUE(gd::WaitFor([&] { return Shown(viewer); }, e2e::kSettleTimeoutMs)) << "a third click shows it again";
    EXPECT_EQ(run.FindViewer(), viewer) << "later clicks reuse the viewer";

    // A click inside the viewer keeps it.
    ::GetWindowRect(viewer, &back);
    ClickAt((back.left + back.right) / 2 - 40, (back.top + back.bottom) / 2);
    e2e::Idle(400);
    EXPECT_TRUE(Shown(viewer)) << "a click inside the viewer hides it";

    // A click on the panel outside the viewer and the link hides it.
    ClickAt(panel.left + 60, panel.top + 60);
    EXPECT_TRUE(gd::WaitFor([&] { return !Shown(viewer); }, e2e::kSettleTimeoutMs)) << "a click on the panel did not hide it";

    // So does a click anywhere outside the panel (seen through the mouse hook).
    gd::ClickControl(link);
    ASSERT_TRUE(gd::WaitFor([&] { return Shown(viewer); }, e2e::kSettleTimeoutMs));
    ClickAt(panel.right + 40 < ::GetSystemMetrics(SM_CXSCREEN) ? panel.right + 40 : panel.left - 40, panel.top + 100);
    EXPECT_TRUE(gd::WaitFor([&] { return !Shown(viewer); }, e2e::kSettleTimeoutMs)) << "a click outside the panel did not hide it";
}

TEST(ViewerEnglish, IsNeverCreated) {
    ASSERT_EQ(e2e::SystemLanguage(), 0);
    ToolRun run;
    ASSERT_EQ(run.StartQuiet(), "");
    HWND link = run.PanelControl(IDC_AGREEMENT_LINK);
    ASSERT_NE(link, nullptr);
    EXPECT_FALSE(::IsWindowVisible(link));
    // Where the link would be.
    RECT r{};
    ::GetWindowRect(link, &r);
    ClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    e2e::Idle(800);
    EXPECT_EQ(run.FindViewer(), nullptr);
    EXPECT_EQ(run.JournalCount(L"FeedbackQuestion"), 0) << "the hidden feedback link took a click";
}

TEST(ChineseClose, AsksTheQuestionAndClosesOnlyAfterTheAnswer) {
    ASSERT_EQ(e2e::SystemLanguage(), 1);
    ToolRun run;
    ASSERT_EQ(run.StartQuiet(), "");
    // Closed with the keyboard: Space on the focused close button.
    HWND close = run.PanelControl(IDC_CLOSE);
    ASSERT_TRUE(gd::WaitUntilHittable(close, e2e::kSettleTimeoutMs));
    ASSERT_TRUE(e2e::FocusByTab(close)) << gd::SceneReport(close);
    gd::MoveTo(0, 0);
    gd::PressChord({VK_SPACE});

    HWND feedback = run.WaitForDialogWith(IDC_SOLVED);
    ASSERT_NE(feedback, nullptr) << "no feedback question";
    e2e::Idle(500);
    EXPECT_TRUE(run.Running()) << "the tool closed before the answer";
    EXPECT_TRUE(::IsWindow(run.Back()));
    EXPECT_EQ(run.JournalCount(L"CustomerFeedbackEx"), 0);

    // What a screen reader reads: the question drawn in the picture, and the answers.
    EXPECT_EQ(e2e::AccessibleName(feedback), L"您的问题是否已解决？");
    const std::pair<int, const wchar_t*> answers[] = {
        {IDC_SOLVED, L"解决"}, {IDC_UNSOLVED, L"未解决"}, {IDC_MORE_SOLUTIONS, L"更多方案"}, {IDC_FEEDBACK_CLOSE, L"关闭"}};
    for (const auto& a : answers) EXPECT_EQ(e2e::AccessibleName(::GetDlgItem(feedback, a.first)), a.second);

    // Answered with the keyboard: the dialog opens with the focus on the first answer;
    // Enter is swallowed even with the pointer resting on the answer, where a click
    // would count; Space answers with the pointer away from it.
    HWND solved = ::GetDlgItem(feedback, IDC_SOLVED);
    ASSERT_TRUE(gd::WaitUntilHittable(solved, e2e::kSettleTimeoutMs));
    EXPECT_TRUE(gd::WaitFor([&] { return e2e::KeyboardFocus(feedback) == solved; }, e2e::kSettleTimeoutMs))
        << "the focus is on #" << ::GetDlgCtrlID(e2e::KeyboardFocus(feedback));
    ASSERT_TRUE(e2e::FocusByTab(solved)) << gd::SceneReport(solved);
    RECT answer{};
    ::GetWindowRect(solved, &answer);
    const POINT centre = gd::Centre(answer);
    gd::MoveTo(centre.x, centre.y);
    gd::PressChord({VK_RETURN});
    e2e::Idle(800);
    EXPECT_TRUE(run.Running()) << "Enter answered the question";
    EXPECT_EQ(run.JournalCount(L"CustomerFeedbackEx"), 0) << "Enter answered the question";
    gd::MoveTo(0, 0);
    gd::PressChord({VK_SPACE});
    ASSERT_TRUE(run.WaitForExit(15000)) << "the tool did not close after the answer";
    EXPECT_EQ(run.ExitCode(), 0u);
    const auto journal = run.Journal();
    int reports = 0, questions = 0;
    for (const auto& e : journal) {
        if (e[0] == L"CustomerFeedbackEx") {
            ++reports;
            ASSERT_GE(e.size(), 4u);
            EXPECT_EQ(e[1], L"10083");
            EXPECT_EQ(e[2], L"1.0.0");
            EXPECT_EQ(e[3], L"1");
            EXPECT_EQ(questions, 0) << "the question came before the report";
        }
        if (e[0] == L"FeedbackQuestion") ++questions;
    }
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(questions, 1);
}
