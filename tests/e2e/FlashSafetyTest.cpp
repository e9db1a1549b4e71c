// The delivered tool around a flash: the version check never ends a repair, the session
// does not end under the firmware tool, no other LUMAFWU.exe runs, and nothing runs on
// battery.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "res/resource.h"
#include "tests/e2e/ToolRun.h"
#include "tests/support/Env.h"

namespace gd = guidriver;
using e2e::Ran;
using e2e::RanValue;
using e2e::ToolRun;
using support::ScopedEnv;

namespace {

constexpr DWORD kRunTimeoutMs = 90000;
// The panel's one-shot timer that asks the feedback library for a new version.
constexpr UINT_PTR kVersionCheckTimer = 38;

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// What each visible window of the tool answers to WM_QUERYENDSESSION, sent from here
// for a shutdown and for a log-off.
std::vector<std::pair<HWND, DWORD_PTR>> EndSessionAnswers(const ToolRun& run) {
    std::vector<std::pair<HWND, DWORD_PTR>> answers;
    for (HWND window : gd::TopWindows(run.Pid(), true)) {
        for (LPARAM reason : {LPARAM(0), LPARAM(ENDSESSION_LOGOFF)}) {
            DWORD_PTR answer = 0xBAD;
            ::SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, reason, SMTO_ABORTIFHUNG, 5000, &answer);
            answers.emplace_back(window, answer);
        }
    }
    return answers;
}

// Every window (the main back and the panel among them) gives the same answer.
void ExpectEndSession(const ToolRun& run, bool agreed, const char* when) {
    const auto answers = EndSessionAnswers(run);
    bool back = false, panel = false;
    for (const auto& a : answers) {
        back = back || a.first == run.Back();
        panel = panel || a.first == run.Panel();
        EXPECT_EQ(agreed, a.second == TRUE) << when << ": window " << a.first << " answered " << a.second;
    }
    EXPECT_TRUE(back && panel) << when << ": the main window and the panel were not asked";
}

}  // namespace

TEST(Flash, TheNewVersionCheckNeverEndsARepair) {
    const bool chinese = e2e::SystemLanguage() == 1;
    ToolRun run;
    HWND repair = run.StartForRepair("mode=success\ndelay_ms=3000\n");
    ASSERT_NE(repair, nullptr);
    // The check after the start has answered "nothing new".
    ASSERT_TRUE(gd::WaitFor([&] { return run.JournalCount(L"GetToolIsNewVersion") == 1; }, e2e::kWindowTimeoutMs));
    ASSERT_TRUE(run.SetFeedback(std::string(e2e::kQuietFeedback) + "newversion=3\ndelay_ms=1500\n"));

    gd::ClickControl(repair);
    ASSERT_NE(run.WaitForProgress(), nullptr) << gd::SceneReport(repair);
    ASSERT_TRUE(gd::WaitFor([&] { return gd::FileExists(Ran(run)); }, kRunTimeoutMs)) << "the flash did not start";
    // The timer going off now, in the progress prompt's modal loop, as it can on a slow
    // start; the library would answer "new version", slowly.
    ASSERT_TRUE(::PostMessageW(run.Panel(), WM_TIMER, kVersionCheckTimer, 0));

    HWND prompt = run.WaitForPrompt(kRunTimeoutMs);
    ASSERT_NE(prompt, nullptr) << "no outcome";
    const std::wstring text = ToolRun::PromptText(prompt);
    if (chinese) {
        EXPECT_EQ(text, L"修复成功");
    } else {
        EXPECT_TRUE(EndsWith(text, L"Success")) << gd::Utf8(text);
    }
    EXPECT_NE(RanValue(run, "exit"), 0u) << "the flash did not run to its end";
    EXPECT_TRUE(run.ConfirmPrompt(prompt));
    e2e::Idle(2000);
    EXPECT_TRUE(run.Running()) << "the tool ended";
    EXPECT_EQ(run.JournalCount(L"GetToolIsNewVersion"), 1) << "the version was asked for during the repair";
    EXPECT_EQ(run.JournalCount(L"OpenToolDownUrl"), 0);
}

TEST(Flash, LogOffAndShutdownWaitWhileTheFirmwareToolRuns) {
    ToolRun run;
    HWND repair = run.StartForRepair("mode=success\ndelay_ms=4000\n");
    ASSERT_NE(repair, nullptr);
    ExpectEndSession(run, true, "before the repair");

    gd::ClickControl(repair);
    ASSERT_NE(run.WaitForProgress(), nullptr) << gd::SceneReport(repair);
    ASSERT_TRUE(gd::WaitFor([&] { return RanValue(run, "start") != 0; }, kRunTimeoutMs)) << "the flash did not start";
    ExpectEndSession(run, false, "during the flash");
    EXPECT_EQ(RanValue(run, "exit"), 0u) << "the flash ended before the answers were all in";

    HWND prompt = run.WaitForPrompt(kRunTimeoutMs);
    ASSERT_NE(prompt, nullptr) << "no outcome";
    ExpectEndSession(run, true, "with the outcome showing");
    EXPECT_TRUE(run.ConfirmPrompt(prompt));
}

// Without its firmware folder the tool runs no LUMAFWU.exe at all: not the one in the
// folder it was started from, nor one on the PATH, where a bare name would be looked for.
TEST(Flash, NoOtherFirmwareToolRunsWhenItsFolderIsMissing) {
    ToolRun run;
    ASSERT_TRUE(e2e::Prepare(run, "mode=success\ndelay_ms=0\n"));
    const std::wstring pathFolder = gd::TempFolder(L"orv_path_");
    ASSERT_FALSE(pathFolder.empty());
    for (const std::wstring& folder : {run.Folder(), pathFolder}) {
        ASSERT_TRUE(::CopyFileW(run.Path(L"LUMAFWU\\LUMAFWU.exe").c_str(), (folder + L"\\LUMAFWU.exe").c_str(), FALSE));
        ASSERT_TRUE(gd::WriteFileBytes(folder + L"\\LUMAFWU.behavior", "mode=success\ndelay_ms=0\n"));
    }
    ASSERT_TRUE(gd::RemoveTree(run.Path(L"LUMAFWU")));
    wchar_t path[8192] = {};
    ::GetEnvironmentVariableW(L"PATH", path, 8192);
    const ScopedEnv pathEnv(L"PATH", pathFolder + L";" + path);

    bool window = true;
    ASSERT_TRUE(run.RunToExit(L"/quiet", kRunTimeoutMs, window));
    EXPECT_EQ(run.ExitCode(), 3u);
    EXPECT_FALSE(gd::FileExists(run.Path(L"LUMAFWU.ran"))) << "the LUMAFWU.exe beside the tool ran";
    EXPECT_FALSE(gd::FileExists(pathFolder + L"\\LUMAFWU.ran")) << "the LUMAFWU.exe on the PATH ran";
    gd::RemoveTree(pathFolder);
}

// A test's variable says the machine runs on its battery; only the real power status
// or this variable decide, and it can only hold a flash back.
TEST(Flash, OnBatteryNothingIsFlashedAndTheToolStaysReady) {
    const bool chinese = e2e::SystemLanguage() == 1;
    const ScopedEnv battery(L"ORV_FORCE_ON_BATTERY", L"1");
    ASSERT_TRUE(e2e::DeleteToolLog());
    ToolRun run;
    ASSERT_TRUE(e2e::Prepare(run, "mode=success\ndelay_ms=0\n"));
    bool window = true;
    ASSERT_TRUE(run.RunToExit(L"/quiet", kRunTimeoutMs, window));
    EXPECT_EQ(run.ExitCode(), 6u);
    EXPECT_FALSE(window);
    EXPECT_FALSE(gd::FileExists(Ran(run))) << "the firmware tool ran on battery";
    EXPECT_TRUE(e2e::ToolLogRecords().empty());

    HWND repair = run.StartForRepair("mode=success\ndelay_ms=0\n");
    ASSERT_NE(repair, nullptr);
    gd::ClickControl(repair);
    HWND prompt = run.WaitForPrompt(kRunTimeoutMs);
    ASSERT_NE(prompt, nullptr) << gd::SceneReport(repair);
    EXPECT_EQ(ToolRun::PromptText(prompt), chinese ? L"请连接电源适配器后再修复" : L"Connect the power adapter, then repair");
    EXPECT_TRUE(run.ConfirmPrompt(prompt));
    EXPECT_TRUE(gd::WaitUntilHittable(repair, e2e::kWindowTimeoutMs)) << "the panel did not come back";
    EXPECT_TRUE(::IsWindowEnabled(repair));
    EXPECT_TRUE(run.Running());
    EXPECT_FALSE(gd::FileExists(Ran(run))) << "the firmware tool ran on battery";
    EXPECT_TRUE(e2e::ToolLogRecords().empty());
}
