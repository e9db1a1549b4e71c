#include <windows.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "repair/FeedbackLibrary.h"
#include "res/resource.h"
#include "tests/e2e/ToolRun.h"
#include "tests/hardening/HardeningSupport.h"

namespace gd = guidriver;
using e2e::ToolRun;
using hardening::Scratch;
using hardening::Utf8;

namespace {

const wchar_t kInitFailedZh[] = L"工具初始化失败";
const wchar_t kInitFailedEn[] = L"failed to build work enviroment.";

bool Chinese()
{
    return e2e::SystemLanguage() == 1;
}

// Whether the window's thread takes a message within a second.
bool Answers(HWND window)
{
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, 1000, &result) != 0;
}

// The whole text of a control of another process (the driver reads the first 1023
// characters only).
std::wstring FullText(HWND control)
{
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length))
        return std::wstring();
    std::wstring text(length + 1, L'\0');
    DWORD_PTR got = 0;
    ::SendMessageTimeoutW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]), SMTO_ABORTIFHUNG, 5000,
                          &got);
    text.resize(got);
    return text;
}

// The verdict an outcome prompt shows: its whole text in Chinese; in English, the
// last line of the firmware tool's text it shows.
std::wstring Verdict(const std::wstring& promptText)
{
    return Chinese() ? promptText : promptText.substr(promptText.rfind(L'\n') + 1);
}

std::wstring LibraryPath(const ToolRun& run)
{
    return run.Path(L"CorvelFeedbackInformation.dll");
}

// Closes the tool with its close button, answering the feedback question in the
// Chinese interface. Empty when done, else the step that failed.
std::string PressClose(const ToolRun& run)
{
    HWND close = run.PanelControl(IDC_CLOSE);
    if (!close || !gd::WaitUntilHittable(close, e2e::kWindowTimeoutMs))
        return "the close button cannot be hit";
    const bool enabled = ::IsWindowEnabled(run.Panel()) && ::IsWindowEnabled(run.Back());
    gd::ClickControl(close);
    if (!Chinese())
        return std::string();
    HWND dialog = run.WaitForDialogWith(IDC_SOLVED);
    if (!dialog) {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR token = 0;
        Gdiplus::GdiplusStartup(&token, &input, nullptr);
        gd::SaveScreenshot(gd::ScreensFolder() + L"\\hardening-no-feedback.png");
        Gdiplus::GdiplusShutdown(token);
        return std::string(enabled ? "no feedback question" : "no feedback question (clicked while the panel was disabled)") +
               (run.Running() ? ", still running" : ", ended");
    }
    if (!gd::ClickWhenHittable(::GetDlgItem(dialog, IDC_SOLVED), e2e::kWindowTimeoutMs))
        return "the answer cannot be hit";
    return std::string();
}

}  // namespace

TEST(BadFeedbackLibrary, EachEndsWithTheStartUpFailurePrompt)
{
    const std::wstring expected = Chinese() ? kInitFailedZh : kInitFailedEn;
    const std::wstring library32 = hardening::TestBinFolder() + L"\\feedback32\\CorvelFeedbackInformation.dll";
    const struct {
        const char* name;
        void (*spoil)(const std::wstring& path, const std::wstring& library32);
    } cases[] = {
        {"a 32-bit build",
         [](const std::wstring& path, const std::wstring& library32) {
             ASSERT_TRUE(::CopyFileW(library32.c_str(), path.c_str(), FALSE));
         }},
        {"cut off half-way",
         [](const std::wstring& path, const std::wstring&) {
             const std::string bytes = gd::ReadFileBytes(path);
             ASSERT_TRUE(gd::WriteFileBytes(path, bytes.substr(0, bytes.size() / 2)));
         }},
        {"only its first kilobyte",
         [](const std::wstring& path, const std::wstring&) {
             ASSERT_TRUE(gd::WriteFileBytes(path, gd::ReadFileBytes(path).substr(0, 1024)));
         }},
        {"not a library", [](const std::wstring& path,
                             const std::wstring&) { ASSERT_TRUE(gd::WriteFileBytes(path, "MZ this is no library\r\n")); }},
        {"empty", [](const std::wstring& path, const std::wstring&) { ASSERT_TRUE(gd::WriteFileBytes(path, "")); }},
        {"a folder",
         [](const std::wstring& path, const std::wstring&) {
             ASSERT_TRUE(::DeleteFileW(path.c_str()));
             ASSERT_TRUE(::CreateDirectoryW(path.c_str(), nullptr));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ToolRun run;
        ASSERT_TRUE(run.Ready());
        run.SetFeedback(e2e::kQuietFeedback);
        c.spoil(LibraryPath(run), library32);
        ASSERT_TRUE(run.Start());
        HWND prompt = run.WaitForPrompt(e2e::kStartTimeoutMs);
        ASSERT_NE(nullptr, prompt) << "no prompt";
        EXPECT_EQ(expected, ToolRun::PromptText(prompt));
        ASSERT_TRUE(run.ConfirmPrompt(prompt));
        ASSERT_TRUE(run.WaitForExit(10000)) << "the tool did not end after its prompt";
        EXPECT_EQ(0u, run.ExitCode()) << "a crash ends with another code";
        EXPECT_TRUE(run.Journal().empty());
    }
}

TEST(SlowFeedbackLibrary, TheCloseButtonShowsAWaitAndTheWindowKeepsAnswering)
{
    ToolRun run;
    ASSERT_EQ(run.StartQuiet(), "");
    ASSERT_TRUE(gd::WaitFor([&] { return run.JournalCount(L"GetToolIsNewVersion") == 1; }, e2e::kWindowTimeoutMs));
    // From now on every call into the library takes 10 s.
    run.SetFeedback("open=0\ndelay_ms=10000\n");
    HWND panel = run.Panel();

    const ULONGLONG pressed = ::GetTickCount64();
    ASSERT_EQ("", PressClose(run));
    HWND progress = run.WaitForProgress(5000);
    EXPECT_NE(nullptr, progress) << "no waiting prompt while the library takes its time";
    // While the report runs the tool's windows go on answering.
    int answered = 0, asked = 0;
    while (run.Running() && ::GetTickCount64() - pressed < 8000) {
        ++asked;
        answered += Answers(panel);
        e2e::Idle(1000);
    }
    EXPECT_EQ(asked, answered) << "the tool's window stopped answering while the library was called";
    ASSERT_TRUE(run.WaitForExit(35000)) << "the tool did not end after the report";
    EXPECT_EQ(0u, run.ExitCode());
    EXPECT_EQ(1, run.JournalCount(L"CustomerFeedbackEx"));
}

namespace {

// Waits for the progress prompt with `text`, checks that the tool's windows answer while
// it shows, and waits until it has gone. Empty when all went so, else what did not.
std::string WaitOutSlowCall(const ToolRun& run, const std::wstring& text, HWND alsoAnswering)
{
    HWND progress = run.WaitForProgress(e2e::kWindowTimeoutMs);
    if (!progress)
        return "no progress prompt for " + Utf8(text);
    const std::wstring shown = ToolRun::Text(::GetDlgItem(progress, IDC_PROGRESS_TEXT));
    if (shown != text)
        return "the progress prompt says " + Utf8(shown) + " instead of " + Utf8(text);
    if (!Answers(progress) || (alsoAnswering && !Answers(alsoAnswering)))
        return "the tool stopped answering during " + Utf8(text);
    if (!gd::WaitForGone(progress, 20000))
        return "the progress prompt for " + Utf8(text) + " stayed";
    return std::string();
}

// Clicks a control that calls into the library and waits until the call has begun
// (the library writes its journal line as a call begins).
bool ClickAndWaitForCall(const ToolRun& run, HWND control, const wchar_t* entryPoint)
{
    if (gd::ClickWhenHittable(control, e2e::kWindowTimeoutMs, [&] { return run.JournalCount(entryPoint) > 0; },
                              e2e::kWindowTimeoutMs))
        return true;
    ADD_FAILURE() << "no " << Utf8(entryPoint) << " call after the click: " << gd::SceneReport(control);
    return false;
}

}  // namespace

TEST(SlowFeedbackLibrary, StartUpAndLinksShowAWaitAndTheWindowKeepsAnswering)
{
    const bool zh = Chinese();
    ToolRun run;
    ASSERT_TRUE(run.Ready());
    // Every call takes 2 s: the start-up gate and the version check each get a wait.
    run.SetFeedback("open=0\ndelay_ms=2000\n");
    ASSERT_TRUE(run.Start());
    EXPECT_EQ("", WaitOutSlowCall(run, zh ? L"正在初始化，请稍等" : L"Preparing the tool, please wait", nullptr));
    ASSERT_NE(nullptr, run.WaitForPanel());
    EXPECT_EQ("", WaitOutSlowCall(run, zh ? L"正在检查新版本，请稍等" : L"Checking for a new version, please wait",
                                  run.Panel()));
    EXPECT_EQ(1, run.JournalCount(L"InitFreedbackDll"));
    EXPECT_EQ(1, run.JournalCount(L"GetToolIsNewVersion"));
    ASSERT_TRUE(run.Running());
    if (!zh)
        return;  // the English interface has no links

    HWND moreTools = run.PanelControl(IDC_MORE_TOOLS);
    ASSERT_TRUE(ClickAndWaitForCall(run, moreTools, L"OpenUrl"));
    EXPECT_EQ("", WaitOutSlowCall(run, L"正在打开网页，请稍等", run.Panel()));
    ASSERT_TRUE(gd::WaitFor([&] { return run.JournalCount(L"OpenUrl") == 1; }, 5000));

    HWND link = run.PanelControl(IDC_FEEDBACK_LINK);
    ASSERT_TRUE(ClickAndWaitForCall(run, link, L"FeedbackQuestion"));
    EXPECT_EQ("", WaitOutSlowCall(run, L"正在打开反馈页面，请稍等", run.Panel()));
    ASSERT_TRUE(gd::WaitFor([&] { return run.JournalCount(L"FeedbackQuestion") == 1; }, 5000));

    for (const e2e::JournalEntry& e : run.Journal()) {
        if (e[0] == L"OpenUrl") {
            EXPECT_EQ((e2e::JournalEntry{L"OpenUrl", L"https://support.corvel.example/detail/dc_172545.html"}), e);
        } else if (e[0] == L"FeedbackQuestion") {
            EXPECT_EQ((e2e::JournalEntry{L"FeedbackQuestion", L"10083", L"1.0.0"}), e);
        }
    }
    EXPECT_TRUE(Answers(run.Panel()));
}

TEST(HostileFolders, TheDeliveredToolInAFolderWithShellCharacters)
{
    Scratch parent(L"orv hostile e2e ");
    // A neighbour that must survive everything the tool does at exit.
    ASSERT_TRUE(gd::WriteFileBytes(parent / L"neighbour.txt", "stay"));
    ASSERT_TRUE(e2e::DeleteToolLog());
    const struct {
        const wchar_t* name;
        bool repairs;
        bool removed;
    } cases[] = {
        {L"R&D (1) 修复 ^!", true, false},
        {L"R&D (1) 修复 100%", false, false},
        {L"FastMend (1) 修复 ^&;,=", true, true},
        {L"Orvane 修复 1", true, true},
    };
    // Kept until the end: a run removes its copy when it goes.
    std::vector<std::unique_ptr<ToolRun>> runs;
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.name));
        runs.push_back(std::make_unique<ToolRun>(c.name, parent.Path()));
        ToolRun& run = *runs.back();
        ASSERT_TRUE(run.Ready());
        run.SetFeedback(e2e::kQuietFeedback);
        run.SetSimulator("mode=quiet,success\n");
        ASSERT_TRUE(run.Start());
        ASSERT_NE(nullptr, run.WaitForPanel());
        HWND repair = run.PanelControl(IDC_REPAIR);
        ASSERT_TRUE(gd::ClickWhenHittable(repair, e2e::kSettleTimeoutMs));
        HWND prompt = run.WaitForPrompt(30000);
        ASSERT_NE(nullptr, prompt) << "no outcome";
        const std::wstring text = ToolRun::PromptText(prompt);
        const std::wstring ran = gd::FileExists(run.Path(L"LUMAFWU\\LUMAFWU.ran")) ? L"ran" : L"";
        const std::string ranBefore = gd::ReadFileBytes(run.Path(L"LUMAFWU\\LUMAFWU.ran"));
        ASSERT_TRUE(run.ConfirmPrompt(prompt));
        if (HWND again = run.WaitForPrompt(4000)) {
            ADD_FAILURE() << "a second outcome prompt; before: " << ranBefore
                          << " now: " << gd::ReadFileBytes(run.Path(L"LUMAFWU\\LUMAFWU.ran")) << " same window "
                          << (again == prompt);
        }
        if (c.repairs) {
            EXPECT_EQ(L"ran", ran);
            EXPECT_EQ(Chinese() ? L"修复成功" : L"Success", Verdict(text));
        } else {
            EXPECT_EQ(L"", ran) << "the firmware tool must not run from this folder";
            if (Chinese()) {
                EXPECT_EQ(L"修复失败", text);
            }
            ASSERT_TRUE(gd::WaitFor([] { return !e2e::ToolLogRecords().empty(); }, 5000));
            EXPECT_EQ(std::vector<std::wstring>{Chinese() ? L"执行修复命令失败" : L"Failed to call the firmware tool"},
                      e2e::ToolLogRecords());
        }
        ASSERT_EQ("", PressClose(run));
        std::vector<std::wstring> cleanups;
        // The clean-up is started just before the tool ends and lives at least three
        // seconds: a look taken after the end was seen cannot miss it.
        ASSERT_TRUE(gd::WaitFor(
            [&] {
                const bool ended = !run.Running();
                for (const std::wstring& line : hardening::CommandLinesOf(L"cmd.exe")) {
                    if (line.find(L"rmdir") != std::wstring::npos && line.find(parent.Path()) != std::wstring::npos)
                        cleanups.push_back(line);
                }
                return ended;
            },
            15000));
        EXPECT_EQ(0u, run.ExitCode());
        if (c.removed) {
            // The clean-up without the user's AutoRun commands, on exactly this folder,
            // quoted: the tool's retired executable and library, then the folder if empty.
            ASSERT_FALSE(cleanups.empty());
            const std::wstring& line = cleanups.front();
            const std::wstring del = L" & del /f /q \"" + run.Folder() + L"\\";
            const std::wstring tail = L".old*\" & rmdir \"" + run.Folder() + L"\"";
            EXPECT_NE(std::wstring::npos, line.find(L" /D /C timeout /t 3 /nobreak & del ")) << Utf8(line);
            EXPECT_NE(std::wstring::npos, line.find(del + L"FastMendLUMAFWU.exe.")) << Utf8(line);
            EXPECT_NE(std::wstring::npos, line.find(del + L"CorvelFeedbackInformation.dll.")) << Utf8(line);
            EXPECT_TRUE(line.size() >= tail.size() && line.compare(line.size() - tail.size(), tail.size(), tail) == 0)
                << Utf8(line);
            EXPECT_EQ(std::wstring::npos, line.find(L"/s")) << Utf8(line);
        } else {
            // % or ! in its path: the clean-up leaves the folder alone.
            EXPECT_TRUE(cleanups.empty());
        }
    }
    for (const auto& c : cases) {
        if (c.removed) {
            ASSERT_TRUE(gd::WaitFor([&] { return !gd::FileExists(parent / c.name); }, 8000)) << Utf8(c.name);
        }
    }
    EXPECT_EQ("stay", gd::ReadFileBytes(parent / L"neighbour.txt"));
    for (const auto& c : cases)
        EXPECT_EQ(!c.removed, gd::FileExists(parent / c.name + L"\\FastMendLUMAFWU.exe")) << Utf8(c.name);
}

TEST(ChattyFirmwareTool, TheOutcomePromptComesInBoundedTimeAndCloses)
{
    ToolRun run;
    ASSERT_TRUE(run.Ready());
    run.SetFeedback(e2e::kQuietFeedback);
    // 4 MB of console output in one go, then a log that says Success.
    run.SetSimulator("mode=quiet,success,bytes:4194304\n");
    ASSERT_TRUE(run.Start());
    ASSERT_NE(nullptr, run.WaitForPanel());
    HWND repair = run.PanelControl(IDC_REPAIR);
    ASSERT_TRUE(gd::WaitUntilHittable(repair, e2e::kSettleTimeoutMs));
    const ULONGLONG pressed = ::GetTickCount64();
    gd::ClickControl(repair);
    HWND prompt = run.WaitForPrompt(45000);
    ASSERT_NE(nullptr, prompt) << "no outcome";
    const ULONGLONG took = ::GetTickCount64() - pressed;
    std::cout << "4 MB of output: outcome after " << took << " ms\n";
    EXPECT_LT(took, 30000u);
    const std::wstring text = FullText(::GetDlgItem(prompt, IDC_PROMPT_TEXT));
    EXPECT_EQ(Chinese() ? L"修复成功" : L"Success", Verdict(text));
    if (!Chinese()) {
        EXPECT_LT(text.size(), 140000u);
    }
    EXPECT_TRUE(Answers(prompt));
    ASSERT_TRUE(run.ConfirmPrompt(prompt));
    EXPECT_TRUE(Answers(run.Panel()));
}

TEST(RepairTwice, ADoubleClickStartsOneRepair)
{
    ToolRun run;
    ASSERT_TRUE(run.Ready());
    run.SetFeedback(e2e::kQuietFeedback);
    run.SetSimulator("mode=success\ndelay_ms=3000\n");
    ASSERT_TRUE(run.Start());
    ASSERT_NE(nullptr, run.WaitForPanel());
    HWND repair = run.PanelControl(IDC_REPAIR);
    ASSERT_TRUE(gd::WaitUntilHittable(repair, e2e::kSettleTimeoutMs));
    RECT r{};
    ::GetWindowRect(repair, &r);
    const POINT at = gd::Centre(r);
    gd::MoveTo(at.x, at.y);
    e2e::Idle(300);
    for (int i = 0; i < 2; ++i) {
        gd::ButtonDown();
        gd::ButtonUp();
    }
    HWND prompt = run.WaitForPrompt(30000);
    ASSERT_NE(nullptr, prompt);
    EXPECT_TRUE(run.Running());
    ASSERT_TRUE(run.ConfirmPrompt(prompt));
    EXPECT_EQ(nullptr, run.WaitForPrompt(8000)) << "a second outcome: the second click started another repair";
    EXPECT_TRUE(run.Running());
}

TEST(RepairTwice, AltF4OnTheProgressPromptNeitherEndsItNorFreesThePanel)
{
    ToolRun run;
    ASSERT_TRUE(run.Ready());
    run.SetFeedback(e2e::kQuietFeedback);
    run.SetSimulator("mode=success\ndelay_ms=4000\n");
    ASSERT_TRUE(run.Start());
    ASSERT_NE(nullptr, run.WaitForPanel());
    HWND repair = run.PanelControl(IDC_REPAIR);
    ASSERT_TRUE(gd::ClickWhenHittable(repair, e2e::kSettleTimeoutMs,
                                      [&] { return run.RunsBelow(L"LUMAFWU.exe"); },
                                      e2e::kWindowTimeoutMs));
    HWND progress = run.WaitForProgress();
    ASSERT_NE(nullptr, progress);
    ASSERT_TRUE(gd::WaitFor([&] { return ::GetForegroundWindow() == progress; }, e2e::kWindowTimeoutMs));
    gd::PressChord({VK_MENU, VK_F4});

    // While the firmware tool runs, the prompt stays and the panel stays disabled, so
    // that no second repair can start.
    bool leftEarly = false;
    HWND outcome = nullptr;
    gd::WaitFor([&] {
        if ((outcome = gd::FindTopWindow(run.Pid(), L"", L"", [](HWND h) { return ::GetDlgItem(h, IDC_PROMPT_FIRST); })))
            return true;
        if (!run.RunsBelow(L"LUMAFWU.exe"))
            return false;
        leftEarly = !::IsWindowVisible(progress) || ::IsWindowEnabled(run.Panel());
        return leftEarly;
    }, 30000);
    EXPECT_FALSE(leftEarly) << "Alt+F4 ended the progress prompt while the firmware tool ran";
    ASSERT_NE(nullptr, outcome = run.WaitForPrompt(30000));
    EXPECT_EQ(Chinese() ? L"修复成功" : L"Success", Verdict(FullText(::GetDlgItem(outcome, IDC_PROMPT_TEXT))));
    ASSERT_TRUE(run.ConfirmPrompt(outcome));
    EXPECT_TRUE(run.Running());
}
