// The feedback library as a vendor's library may behave: slow at start-up, keeping a
// window with a timer on its calling thread, shipping a library of its own. The tool
// makes every call on one thread that lives as long as it does, and never gives up on
// a call.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "res/resource.h"
#include "tests/e2e/ToolRun.h"
#include "tests/support/Text.h"

namespace gd = guidriver;
using e2e::ToolRun;

namespace {

// The ids of the threads that called into the library, from the stand-in's record.
std::set<std::string> CallingThreads(const ToolRun& run, size_t* calls) {
    std::set<std::string> threads;
    const auto lines = support::SplitLines(gd::ReadFileBytes(run.RecordPath(L"CorvelFeedbackInformation.threads")));
    for (const std::string& line : lines) threads.insert(line.substr(line.find('\t') + 1));
    *calls = lines.size();
    return threads;
}

}  // namespace

TEST(LibraryThread, ASlowStartUpCallIsWaitedForAndThePanelFollows) {
    ToolRun run;
    ASSERT_TRUE(run.Ready());
    // Longer than any patience a tool could reasonably have: an offline laptop whose
    // library looks for the network.
    ASSERT_TRUE(run.SetFeedback("open=0\ninit_delay_ms=35000\n"));
    const ULONGLONG start = ::GetTickCount64();
    ASSERT_TRUE(run.Start());
    HWND progress = run.WaitForProgress(e2e::kStartTimeoutMs);
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(ToolRun::Text(::GetDlgItem(progress, IDC_PROGRESS_TEXT)),
              e2e::SystemLanguage() == 1 ? L"正在初始化，请稍等" : L"Preparing the tool, please wait");
    ASSERT_NE(run.WaitForPanel(60000), nullptr) << "no panel after the slow start-up call";
    EXPECT_GE(::GetTickCount64() - start, 34000u);
    EXPECT_EQ(run.WaitForPrompt(0), nullptr) << "a prompt came with the panel";
    EXPECT_TRUE(run.Running());
}

TEST(LibraryThread, EveryCallComesFromOneThreadWhereTheLibrarysWindowsLiveOn) {
    ASSERT_EQ(e2e::SystemLanguage(), 1) << "the links exist in the Chinese interface";
    ToolRun run;
    ASSERT_TRUE(run.Ready());
    ASSERT_TRUE(run.SetFeedback("open=0\nquestion_window=1\n"));
    ASSERT_TRUE(run.Start());
    ASSERT_NE(run.WaitForPanel(), nullptr);
    ASSERT_TRUE(gd::WaitFor([&] { return run.JournalCount(L"GetToolIsNewVersion") == 1; }, e2e::kWindowTimeoutMs));

    HWND link = run.PanelControl(IDC_FEEDBACK_LINK);
    ASSERT_TRUE(gd::ClickWhenHittable(link, e2e::kSettleTimeoutMs, [&] { return run.JournalCount(L"FeedbackQuestion") > 0; },
                                      e2e::kWindowTimeoutMs))
        << gd::SceneReport(link);
    // The window the library made in that call is served after the call returned.
    EXPECT_TRUE(gd::WaitFor([&] { return run.JournalCount(L"QuestionTimerFired") == 1; }, 5000))
        << "the library's timer never fired";

    HWND moreTools = run.PanelControl(IDC_MORE_TOOLS);
    ASSERT_TRUE(gd::ClickWhenHittable(moreTools, e2e::kSettleTimeoutMs, [&] { return run.JournalCount(L"OpenUrl") > 0; },
                                      e2e::kWindowTimeoutMs));
    ASSERT_TRUE(gd::ClickWhenHittable(run.PanelControl(IDC_CLOSE), e2e::kSettleTimeoutMs));
    HWND feedback = run.WaitForDialogWith(IDC_SOLVED);
    ASSERT_NE(feedback, nullptr);
    gd::ClickControl(::GetDlgItem(feedback, IDC_SOLVED));
    ASSERT_TRUE(run.WaitForExit(15000));

    size_t calls = 0;
    const std::set<std::string> threads = CallingThreads(run, &calls);
    // Start-up, version check, question, page, report, question again.
    EXPECT_EQ(calls, 6u);
    EXPECT_EQ(threads.size(), 1u) << "calls came from " << threads.size() << " threads";
}

TEST(LibraryThread, ALibraryThatShipsItsOwnLibraryLoads) {
    ToolRun run;
    ASSERT_TRUE(run.Ready());
    for (const wchar_t* file : {L"CorvelFeedbackInformation.dll", L"CorvelFeedbackHelper.dll"}) {
        ASSERT_TRUE(::CopyFileW(e2e::BuildPath(std::wstring(L"bin\\feedbackdll-private\\") + file).c_str(),
                                run.Path(file).c_str(), FALSE));
    }
    ASSERT_EQ(run.StartQuiet(), "");
    EXPECT_EQ(run.JournalCount(L"InitFreedbackDll"), 1);
    EXPECT_EQ(run.WaitForPrompt(0), nullptr);
}
