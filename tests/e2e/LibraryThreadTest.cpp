// The feedback library as a vendor's library may behave: slow at start-up, entering a
// COM apartment of its own, keeping a window with a timer on its calling thread,
// shipping a library of its own. The tool loads it and makes every call on one thread
// that lives as long as it does, and never gives up on a call.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/e2e/ToolRun.h"
#include "tests/support/Text.h"

namespace gd = guidriver;
using e2e::ToolRun;

namespace {

// The ids of the threads that loaded and called the library, from the stand-in's record
// ("DllMain" first, then one line per call).
std::set<std::string> CallingThreads(const ToolRun& run, std::vector<std::string>* entries) {
    std::set<std::string> threads;
    const auto lines = support::SplitLines(gd::ReadFileBytes(run.RecordPath(L"CorvelFeedbackInformation.threads")));
    for (const std::string& line : lines) {
        entries->push_back(line.substr(0, line.find('\t')));
        threads.insert(line.substr(line.find('\t') + 1));
    }
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

// The library enters the multithreaded COM apartment itself at start-up, which it can
// only on a thread that is in none yet.
TEST(LibraryThread, ItIsLoadedAndCalledOnOneThreadWhereItsApartmentAndWindowsLiveOn) {
    ASSERT_EQ(e2e::SystemLanguage(), 1) << "the links exist in the Chinese interface";
    ToolRun run;
    ASSERT_TRUE(run.Ready());
    ASSERT_TRUE(run.SetFeedback("open=0\nquestion_window=1\ncom=multithreaded\n"));
    ASSERT_TRUE(run.Start());
    ASSERT_NE(run.WaitForPanel(), nullptr);
    const std::string interfaceThread = std::to_string(::GetWindowThreadProcessId(run.Panel(), nullptr));
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

    std::vector<std::string> entries;
    const std::set<std::string> threads = CallingThreads(run, &entries);
    // Load, start-up, version check, question, page, report, question again.
    const std::vector<std::string> expected = {"DllMain",         "InitFreedbackDll",   "GetToolIsNewVersion",
                                               "FeedbackQuestion", "OpenUrl",            "CustomerFeedbackEx",
                                               "FeedbackQuestion"};
    EXPECT_EQ(entries, expected);
    EXPECT_EQ(threads.size(), 1u) << "the library was loaded and called on " << threads.size() << " threads";
    EXPECT_EQ(threads.count(interfaceThread), 0u) << "the library was loaded or called on the interface thread";
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
