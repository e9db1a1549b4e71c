// Start-up gates of the delivered tool: each failure shows its prompt and ends the
// tool with exit code 0 without the exit clean-up; the new-version question is asked
// once and, on "newer exists", ends the tool after opening the download page.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/e2e/ToolRun.h"

namespace gd = guidriver;
using e2e::ToolRun;

namespace {

const wchar_t kInitFailedZh[] = L"工具初始化失败";
const wchar_t kInitFailedEn[] = L"failed to build work enviroment.";

// A run that has ended, kept with what its folder held when it ended.
struct Ended {
    std::string name;
    std::unique_ptr<ToolRun> run;
    std::vector<e2e::FileSnapshot> files;
    ULONGLONG endedAt = 0;
};

// Starts a prepared run, answers its prompt and checks that it ends with 0. The
// prompt must show `expectedText`; `beforeConfirm` checks the state while it shows.
void RunToPromptAndExit(Ended& e, const std::wstring& expectedText, const std::function<void()>& beforeConfirm = {}) {
    SCOPED_TRACE(e.name);
    ToolRun& run = *e.run;
    ASSERT_TRUE(run.Start());
    HWND prompt = run.WaitForPrompt(e2e::kStartTimeoutMs);
    ASSERT_NE(prompt, nullptr) << "no prompt";
    EXPECT_EQ(ToolRun::PromptText(prompt), expectedText);
    if (beforeConfirm) beforeConfirm();
    ASSERT_TRUE(run.ConfirmPrompt(prompt));
    ASSERT_TRUE(run.WaitForExit(10000)) << "the tool did not end after its prompt";
    e.endedAt = ::GetTickCount64();
    EXPECT_EQ(run.ExitCode(), 0u);
    EXPECT_TRUE(run.ChildProcesses(L"cmd.exe").empty()) << "the exit clean-up was started";
    e.files = e2e::SnapshotTree(run.Folder());
}

// The clean-up command would remove the folder 3 s after it started: every folder
// must still hold exactly what it held when its tool ended.
void ExpectFoldersKept(const std::vector<Ended>& ended) {
    ULONGLONG last = 0;
    for (const Ended& e : ended) last = std::max(last, e.endedAt);
    const ULONGLONG due = last + 5000;
    gd::WaitFor([due] { return ::GetTickCount64() >= due; }, 8000);
    for (const Ended& e : ended) {
        EXPECT_FALSE(e.files.empty()) << e.name;
        EXPECT_TRUE(e2e::SnapshotTree(e.run->Folder()) == e.files) << e.name << ": the folder changed";
    }
}

std::unique_ptr<ToolRun> Prepared(const std::string& feedback) {
    auto run = std::make_unique<ToolRun>();
    if (run->Ready()) run->SetFeedback(feedback);
    return run;
}

}  // namespace

TEST(StartUp, FailuresEndWithCodeZeroAfterTheirPromptAndKeepTheFolder) {
    const bool chinese = e2e::SystemLanguage() == 1;
    const std::wstring initFailed = chinese ? kInitFailedZh : kInitFailedEn;
    std::vector<Ended> ended;

    {
        Ended e{"no feedback library", Prepared(e2e::kQuietFeedback)};
        ASSERT_TRUE(e.run->Ready());
        ASSERT_TRUE(::DeleteFileW(e.run->Path(L"CorvelFeedbackInformation.dll").c_str()));
        RunToPromptAndExit(e, initFailed);
        ended.push_back(std::move(e));
    }
    {
        Ended e{"library without OpenToolDownUrl", Prepared(e2e::kQuietFeedback)};
        ASSERT_TRUE(e.run->Ready());
        const std::wstring lacking = e2e::BuildPath(L"bin\\feedbackdll-no-OpenToolDownUrl\\CorvelFeedbackInformation.dll");
        ASSERT_TRUE(::CopyFileW(lacking.c_str(), e.run->Path(L"CorvelFeedbackInformation.dll").c_str(), FALSE));
        RunToPromptAndExit(e, initFailed);
        // Loaded, but InitFreedbackDll is only called once all nine entry points are there.
        EXPECT_EQ(e.run->JournalCount(L"InitFreedbackDll"), 0);
        ended.push_back(std::move(e));
    }
    {
        Ended e{"InitFreedbackDll answers 0", Prepared("open=0\ninit=0\n")};
        ASSERT_TRUE(e.run->Ready());
        RunToPromptAndExit(e, initFailed);
        EXPECT_EQ(e.run->JournalCount(L"InitFreedbackDll"), 1);
        EXPECT_EQ(e.run->JournalCount(L"GetToolIsNewVersion"), 0);
        ended.push_back(std::move(e));
    }
    {
        Ended e{"a newer version exists", Prepared("open=0\nnewversion=3\n")};
        ASSERT_TRUE(e.run->Ready());
        ToolRun& run = *e.run;
        RunToPromptAndExit(e,
                           chinese ? L"检测到当前工具有新的版本更新，请下载最新版本使用。"
                                   : L"A new version of this tool is ready for update, please download this "
                                     L"newest version first.",
                           [&run] {
                               EXPECT_EQ(run.JournalCount(L"GetToolIsNewVersion"), 1);
                               EXPECT_EQ(run.JournalCount(L"OpenToolDownUrl"), 0) << "opened before the notice closed";
                           });
        const auto journal = run.Journal();
        ASSERT_FALSE(journal.empty());
        EXPECT_EQ(journal.back(), e2e::JournalEntry{L"OpenToolDownUrl"});
        EXPECT_EQ(run.JournalCount(L"OpenToolDownUrl"), 1);
        for (const auto& entry : journal) {
            if (entry[0] == L"GetToolIsNewVersion") {
                EXPECT_EQ(entry, (e2e::JournalEntry{entry[0], L"10083", L"1.0.0"}));
            }
        }
        ended.push_back(std::move(e));
    }
    ExpectFoldersKept(ended);
}

TEST(StartUp, AnyOtherVersionAnswerLeavesTheToolRunningAndIsAskedOnce) {
    ToolRun run;
    ASSERT_TRUE(run.Ready());
    run.SetFeedback("open=0\nnewversion=2\n");
    ASSERT_TRUE(run.Start());
    ASSERT_NE(run.WaitForPanel(), nullptr);
    EXPECT_TRUE(gd::WaitFor([&] { return run.JournalCount(L"GetToolIsNewVersion") > 0; }, 5000));
    e2e::Idle(3000);
    EXPECT_EQ(run.JournalCount(L"GetToolIsNewVersion"), 1);
    EXPECT_EQ(run.JournalCount(L"OpenToolDownUrl"), 0);
    EXPECT_EQ(gd::FindTopWindow(run.Pid(), L"", L"", [](HWND h) { return ::GetDlgItem(h, IDC_PROMPT_FIRST) != nullptr; }),
              nullptr)
        << "a prompt is shown";
    EXPECT_TRUE(run.Running());
    EXPECT_TRUE(::IsWindowVisible(run.Panel()));
}

// Registered in a prefix that reports Windows 7.
TEST(Win7, UnsupportedSystemEndsAfterItsPromptAndKeepsTheFolder) {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    auto rtlGetVersion = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    ASSERT_NE(rtlGetVersion, nullptr);
    OSVERSIONINFOW v{sizeof(v)};
    rtlGetVersion(&v);
    ASSERT_FALSE(v.dwMajorVersion == 10 && v.dwMinorVersion == 0) << "this prefix reports Windows 10";

    std::vector<Ended> ended;
    Ended e{"Windows 7", Prepared(e2e::kQuietFeedback)};
    ASSERT_TRUE(e.run->Ready());
    RunToPromptAndExit(e, e2e::SystemLanguage() == 1 ? L"此工具不支持当前系统"
                                                     : L"This tool does not support current operation system.");
    // The version gate comes before the feedback library is loaded.
    EXPECT_TRUE(e.run->Journal().empty());
    ended.push_back(std::move(e));

    // Unattended, the same gate answers with exit code 4 and no window.
    Ended quiet{"Windows 7, unattended", Prepared(e2e::kQuietFeedback)};
    ASSERT_TRUE(quiet.run->Ready());
    bool window = true;
    ASSERT_TRUE(quiet.run->RunToExit(L"/quiet", 60000, window));
    quiet.endedAt = ::GetTickCount64();
    EXPECT_EQ(quiet.run->ExitCode(), 4u);
    EXPECT_FALSE(window);
    EXPECT_FALSE(gd::FileExists(e2e::Ran(*quiet.run))) << "the firmware tool ran";
    quiet.files = e2e::SnapshotTree(quiet.run->Folder());
    ended.push_back(std::move(quiet));
    ExpectFoldersKept(ended);
}
