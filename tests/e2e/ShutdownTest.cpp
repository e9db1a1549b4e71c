// The main window's system menu and the ways the tool ends: the About box, the exit
// clean-up after a close from the system menu (what it removes, what it leaves, and a
// second run started from the same folder at once), and the English close button.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/e2e/ToolRun.h"
#include "win/Handle.h"

namespace gd = guidriver;
using e2e::ToolRun;

namespace {

struct MenuItem {
    UINT id = 0;
    UINT type = 0;
    std::wstring text;
};

// The system menu of a window of another process, read from inside that process by
// the probe library hooked into the window's thread (menus are per process under Wine).
std::vector<MenuItem> ReadSystemMenu(HWND window) {
    std::vector<MenuItem> items;
    HMODULE probe = ::LoadLibraryW(e2e::BuildPath(L"tests\\e2e_menuprobe.dll").c_str());
    auto proc = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(::GetProcAddress(probe, "MenuProbeGetMessage")));
    DWORD pid = 0;
    const DWORD thread = ::GetWindowThreadProcessId(window, &pid);
    if (!probe || !proc || !thread) return items;
    const std::wstring report = e2e::BuildPath(L"tests\\menuprobe-" + std::to_wstring(pid) + L".txt");
    ::DeleteFileW(report.c_str());
    HHOOK hook = ::SetWindowsHookExW(WH_GETMESSAGE, proc, probe, thread);
    if (hook) {
        ::PostMessageW(window, ::RegisterWindowMessageW(L"Orvane.E2E.ReadSystemMenu"), 0, 0);
        gd::WaitFor([&] { return gd::FileExists(report); }, e2e::kSettleTimeoutMs);
        ::UnhookWindowsHookEx(hook);
    }
    const std::string bytes = gd::ReadFileBytes(report);
    ::DeleteFileW(report.c_str());
    std::wstring text(bytes.size(), L'\0');
    text.resize(::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0],
                                      static_cast<int>(text.size())));
    size_t start = 0;
    for (size_t end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1) {
        const std::wstring line = text.substr(start, end - start);
        const size_t a = line.find(L'\t'), b = line.find(L'\t', a + 1);
        if (a == std::wstring::npos || b == std::wstring::npos) continue;
        items.push_back({static_cast<UINT>(std::stoul(line.substr(0, a))),
                         static_cast<UINT>(std::stoul(line.substr(a + 1, b - a - 1))), line.substr(b + 1)});
    }
    return items;
}

// A closed tool: how it ended and what its folder held at that moment.
struct Closed {
    bool exited = false;
    bool folderThere = false;
    size_t cleanupCommands = 0;
    std::vector<std::shared_ptr<win::UniqueHandle>> commands;  // the clean-up commands
    ULONGLONG endedAt = 0;
    std::vector<e2e::FileSnapshot> files;
    std::vector<e2e::JournalEntry> journal;

    // Waits until every clean-up command the tool started has ended.
    bool WaitForCommands(DWORD timeoutMs) const {
        return gd::WaitFor(
            [this] {
                for (const auto& c : commands) {
                    if (::WaitForSingleObject(c->get(), 0) == WAIT_TIMEOUT) return false;
                }
                return true;
            },
            timeoutMs, 50);
    }
};

// Waits for the end of a tool that was asked to close and notes the state at once,
// before a clean-up command could have acted (it waits 3 s first).
Closed AwaitEnd(ToolRun& run) {
    Closed c;
    c.exited = run.WaitForExit(e2e::kStartTimeoutMs);
    c.endedAt = ::GetTickCount64();
    for (DWORD pid : run.ChildProcesses(L"cmd.exe")) {
        auto h = std::make_shared<win::UniqueHandle>(::OpenProcess(SYNCHRONIZE, FALSE, pid));
        if (*h) c.commands.push_back(h);
    }
    c.cleanupCommands = c.commands.size();
    c.folderThere = gd::FileExists(run.Folder());
    c.files = e2e::SnapshotTree(run.Folder());
    c.journal = run.Journal();
    return c;
}

bool CloseFromSystemMenu(const ToolRun& run) { return ::PostMessageW(run.Back(), WM_SYSCOMMAND, SC_CLOSE, 0); }

void WaitUntil(ULONGLONG tick) {
    gd::WaitFor([tick] { return ::GetTickCount64() >= tick; }, 15000);
}

int Count(const std::vector<e2e::JournalEntry>& journal, const std::wstring& name) {
    int n = 0;
    for (const auto& e : journal) n += e[0] == name;
    return n;
}

}  // namespace

TEST(SystemMenu, HoldsTheAboutItemBelowASeparatorAndOpensTheAboutBox) {
    ToolRun run;
    ASSERT_EQ(run.StartQuiet(), "");
    HWND back = run.Back();

    const std::vector<MenuItem> menu = ReadSystemMenu(back);
    ASSERT_GE(menu.size(), 3u) << "the system menu could not be read";
    const MenuItem& last = menu.back();
    EXPECT_EQ(last.id, static_cast<UINT>(IDM_ABOUTBOX));
    EXPECT_EQ(last.text, L"关于 FastMendLUMAFWU(&A)...");
    EXPECT_FALSE(last.type & MFT_SEPARATOR);
    EXPECT_TRUE(menu[menu.size() - 2].type & MFT_SEPARATOR);

    ASSERT_TRUE(::PostMessageW(back, WM_SYSCOMMAND, IDM_ABOUTBOX, 0));
    HWND about = gd::WaitForTopWindow(run.Pid(), L"关于 FastMendLUMAFWU", L"", e2e::kWindowTimeoutMs);
    ASSERT_NE(about, nullptr) << "no About box";
    bool versionLine = false;  // the statics share one id, so look at every child
    for (HWND c = ::GetWindow(about, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
        versionLine = versionLine || ToolRun::Text(c) == L"FastMendLUMAFWU，版本 1.0";
    }
    EXPECT_TRUE(versionLine);
    auto kids = gd::Children(about);
    ASSERT_TRUE(kids.count(IDOK));
    EXPECT_EQ(kids[IDOK].text, L"确定");
    ASSERT_TRUE(gd::ClickWhenHittable(kids[IDOK].hwnd, e2e::kSettleTimeoutMs));
    EXPECT_TRUE(gd::WaitForGone(about, e2e::kWindowTimeoutMs));
    EXPECT_TRUE(run.Running());
    EXPECT_TRUE(::IsWindowVisible(run.Panel()));
}

// Four tools closed from the system menu at once: only the folder made for the
// tool goes, the others stay as they were, file for file.
TEST(ExitCleanUp, RemovesOnlyAFolderMadeForTheTool) {
    struct Case {
        const char* name;
        const wchar_t* folderName;
        bool removed;
        std::unique_ptr<ToolRun> run;
        Closed closed;
    };
    Case cases[] = {
        {"made for the tool", L"Orvane 灯效修复", true, nullptr, {}},
        {"holds a file of the user's", L"Orvane", false, nullptr, {}},
        {"has no LUMAFWU folder", L"Orvane", false, nullptr, {}},
        {"path holds %", L"Orvane 100%OS%", false, nullptr, {}},
    };
    for (Case& c : cases) {
        c.run = std::make_unique<ToolRun>(c.folderName);
        ASSERT_TRUE(c.run->Ready()) << c.name;
        c.run->SetFeedback(e2e::kQuietFeedback);
    }
    // Beside the removable folder: must survive its removal.
    const std::wstring parent = cases[0].run->Folder().substr(0, cases[0].run->Folder().rfind(L'\\'));
    ASSERT_TRUE(gd::WriteFileBytes(parent + L"\\beside.txt", "not the tool's"));
    ASSERT_TRUE(gd::WriteFileBytes(cases[1].run->Path(L"我的笔记.txt"), "the user's own notes"));
    ASSERT_TRUE(gd::RemoveTree(cases[2].run->Path(L"LUMAFWU")));

    for (Case& c : cases) ASSERT_TRUE(c.run->Start()) << c.name;
    for (Case& c : cases) ASSERT_NE(c.run->WaitForPanel(), nullptr) << c.name;
    for (Case& c : cases) {
        ASSERT_TRUE(CloseFromSystemMenu(*c.run)) << c.name;
        c.closed = AwaitEnd(*c.run);
    }

    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(c.closed.exited);
        EXPECT_EQ(c.run->ExitCode(), 0u);
        EXPECT_TRUE(c.closed.folderThere) << "the folder went before the tool had ended";
        EXPECT_EQ(c.closed.cleanupCommands, c.removed ? 1u : 0u) << "clean-up commands started";
        // Closing from the system menu reports no feedback.
        EXPECT_EQ(Count(c.closed.journal, L"CustomerFeedbackEx"), 0);
        EXPECT_EQ(Count(c.closed.journal, L"CustomerFeedback"), 0);
    }

    ToolRun& made = *cases[0].run;
    EXPECT_TRUE(gd::WaitFor([&] { return !gd::FileExists(made.Folder()); }, 8000)) << "the tool's folder stayed";
    EXPECT_EQ(gd::ReadFileBytes(parent + L"\\beside.txt"), "not the tool's");

    ULONGLONG last = 0;
    for (const Case& c : cases) last = std::max(last, c.closed.endedAt);
    WaitUntil(last + 6000);
    for (Case& c : cases) {
        if (c.removed) continue;
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(c.closed.files.empty());
        EXPECT_TRUE(e2e::SnapshotTree(c.run->Folder()) == c.closed.files) << "the folder changed";
    }
}

// A report or a screenshot saved into the folder just after the tool closed stays, and
// so does the folder; what the tool was delivered with goes.
TEST(ExitCleanUp, AFileSavedRightAfterTheEndStaysAndSoDoesItsFolder) {
    ToolRun run;
    ASSERT_EQ(run.StartQuiet(), "");
    ASSERT_TRUE(CloseFromSystemMenu(run));
    const Closed closed = AwaitEnd(run);
    ASSERT_TRUE(closed.exited);
    ASSERT_TRUE(gd::WriteFileBytes(run.Path(L"report.txt"), "saved as the tool closed"));
    ASSERT_EQ(closed.cleanupCommands, 1u);
    ASSERT_TRUE(closed.WaitForCommands(20000)) << "the clean-up command did not end";

    EXPECT_EQ(gd::ReadFileBytes(run.Path(L"report.txt")), "saved as the tool closed");
    const std::vector<e2e::FileSnapshot> left = e2e::SnapshotTree(run.Folder());
    ASSERT_EQ(left.size(), 1u) << "more than the report is left";
    EXPECT_EQ(left[0].relative, L"report.txt");
}

// The tool closed and its download unpacked again into the same folder at once (a
// re-extracted download), then started at once or a few seconds later: the first run's
// clean-up leaves every file of the second alone, and the second shows its panel and
// repairs.
TEST(ExitCleanUp, ASecondRunFromTheSameFolderKeepsItsFilesAndRepairs) {
    const bool chinese = e2e::SystemLanguage() == 1;
    for (const bool atOnce : {true, false}) {
        SCOPED_TRACE(atOnce ? "started at once" : "started after the first run's clean-up");
        ToolRun run;
        ASSERT_EQ(run.StartQuiet(), "");
        ASSERT_TRUE(CloseFromSystemMenu(run));
        const Closed first = AwaitEnd(run);
        ASSERT_TRUE(first.exited);
        ASSERT_EQ(first.cleanupCommands, 1u);

        ASSERT_TRUE(run.Redeliver());
        ASSERT_TRUE(run.SetFeedback(e2e::kQuietFeedback));
        ASSERT_TRUE(run.SetSimulator("mode=quiet,success\ndelay_ms=500\n"));
        const wchar_t* const kept[] = {L"FastMendLUMAFWU.exe", L"CorvelFeedbackInformation.dll",
                                       L"CorvelFeedbackInformation.ini", L"LUMAFWU\\LUMAFWU.exe",
                                       L"LUMAFWU\\LUMAFWU.behavior"};
        std::vector<std::string> bytes;
        for (const wchar_t* file : kept) bytes.push_back(gd::ReadFileBytes(run.Path(file)));
        if (atOnce) {
            ASSERT_TRUE(run.Start());
            ASSERT_EQ(::WaitForSingleObject(first.commands.front()->get(), 0), static_cast<DWORD>(WAIT_TIMEOUT))
                << "the second run started only after the first run's clean-up";
        }
        ASSERT_TRUE(first.WaitForCommands(20000)) << "the first run's clean-up command did not end";
        for (size_t i = 0; i < bytes.size(); ++i) {
            EXPECT_FALSE(bytes[i].empty());
            EXPECT_TRUE(gd::ReadFileBytes(run.Path(kept[i])) == bytes[i]) << gd::Utf8(kept[i]) << " was not kept";
        }
        if (!atOnce) {
            ASSERT_TRUE(run.Start());
        }
        ASSERT_NE(run.WaitForPanel(), nullptr) << "the second run showed no panel";

        HWND repair = run.PanelControl(IDC_REPAIR);
        ASSERT_TRUE(gd::ClickWhenHittable(repair, e2e::kSettleTimeoutMs));
        HWND prompt = run.WaitForPrompt(30000);
        ASSERT_NE(prompt, nullptr) << "no outcome";
        const std::wstring text = ToolRun::PromptText(prompt);
        EXPECT_EQ(chinese ? text : text.substr(text.rfind(L'\n') + 1), chinese ? L"修复成功" : L"Success");
        ASSERT_TRUE(run.ConfirmPrompt(prompt));

        // The second run's own end clears the folder of both runs.
        ASSERT_TRUE(CloseFromSystemMenu(run));
        const Closed second = AwaitEnd(run);
        ASSERT_TRUE(second.exited);
        ASSERT_TRUE(second.WaitForCommands(20000));
        EXPECT_FALSE(gd::FileExists(run.Folder())) << "the folder stayed";
    }
}

// A folder whose name ends in a blank (an archiver or a \\?\ path can make one) is
// read by every call by path as its neighbour without the blank. The clean-up leaves
// both alone.
TEST(ExitCleanUp, AFolderEndingInABlankIsLeftAndItsNeighbourKeepsItsFiles) {
    const std::wstring parent = gd::TempFolder(L"orv_e2e_blank_");
    ASSERT_FALSE(parent.empty());
    const std::wstring neighbour = parent + L"\\Orvane";
    ASSERT_TRUE(::CreateDirectoryW(neighbour.c_str(), nullptr));
    ASSERT_TRUE(gd::WriteFileBytes(neighbour + L"\\thesis.docx", "the user's own"));
    {
        ToolRun run(L"Orvane ", L"\\\\?\\" + parent);
        ASSERT_EQ(run.StartQuiet(), "");
        const std::vector<e2e::FileSnapshot> before = e2e::SnapshotTree(run.Folder());
        ASSERT_TRUE(CloseFromSystemMenu(run));
        const Closed closed = AwaitEnd(run);
        ASSERT_TRUE(closed.exited);
        EXPECT_EQ(closed.cleanupCommands, 0u) << "a clean-up command was started";
        ASSERT_TRUE(closed.WaitForCommands(20000));
        WaitUntil(closed.endedAt + 5000);
        EXPECT_EQ(gd::ReadFileBytes(neighbour + L"\\thesis.docx"), "the user's own");
        EXPECT_TRUE(e2e::SnapshotTree(run.Folder()) == before) << "the tool's folder changed";
    }
    gd::RemoveTree(parent);
}

TEST(EnglishClose, CloseButtonReportsCodeOneOnceAndClosesAtOnce) {
    ASSERT_EQ(e2e::SystemLanguage(), 0) << "the close button asks for feedback in the Chinese interface";
    ToolRun run;
    ASSERT_EQ(run.StartQuiet(), "");
    HWND close = run.PanelControl(IDC_CLOSE);
    ASSERT_TRUE(gd::WaitUntilHittable(close, e2e::kSettleTimeoutMs));

    const long long before = static_cast<long long>(std::time(nullptr));
    const ULONGLONG clickedAt = ::GetTickCount64();
    gd::ClickControl(close);
    const Closed closed = AwaitEnd(run);
    const long long after = static_cast<long long>(std::time(nullptr));
    ASSERT_TRUE(closed.exited) << "the tool did not close";
    EXPECT_LT(closed.endedAt - clickedAt, 5000u) << "no dialog should hold the close up";
    EXPECT_EQ(run.ExitCode(), 0u);

    ASSERT_EQ(Count(closed.journal, L"CustomerFeedbackEx"), 1);
    for (const auto& e : closed.journal) {
        if (e[0] != L"CustomerFeedbackEx") continue;
        ASSERT_EQ(e.size(), 5u);
        EXPECT_EQ(e[1], L"10083");
        EXPECT_EQ(e[2], L"1.0.0");
        EXPECT_EQ(e[3], L"1");
        const long long stamp = std::stoll(e[4]);
        EXPECT_TRUE(stamp >= before - 2 && stamp <= after + 2) << "time text " << stamp;
    }
    EXPECT_EQ(Count(closed.journal, L"FeedbackQuestion"), 0);

    // Closing this way starts the clean-up too.
    EXPECT_TRUE(closed.folderThere);
    EXPECT_EQ(closed.cleanupCommands, 1u);
    EXPECT_TRUE(gd::WaitFor([&] { return !gd::FileExists(run.Folder()); }, 8000)) << "the tool's folder stayed";
}
