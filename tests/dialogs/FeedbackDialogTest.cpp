#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "dialogs/Messages.h"
#include "dialogs/ProblemSolvingFeedbackDlg.h"
#include "log/Gbk.h"
#include "log/LogSave.h"
#include "repair/FeedbackLibrary.h"
#include "res/resource.h"
#include "tests/dialogs/DialogDriver.h"
#include "tests/support/Rects.h"
#include "tests/support/Text.h"
#include "tools/guidriver/GuiDriver.h"
#include "win/GdiPlus.h"
#include "win/Scale.h"

namespace gd = guidriver;
using namespace dialog_test;

namespace {

win::GdiplusSession g_gdiplus;

// ---- what happened on the dialog's thread ----

std::atomic<int> g_promptsShown{0};
std::atomic<int> g_promptCloses{0};

LRESULT CALLBACK SpyCallWndProc(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION) {
        const auto* m = reinterpret_cast<const CWPSTRUCT*>(lp);
        if (m->message == WM_EXECUTE_PROMPT_CLOSE) ++g_promptCloses;
        if (m->message == WM_INITDIALOG && ::GetDlgItem(m->hwnd, IDC_PROGRESS_TEXT)) ++g_promptsShown;
    }
    return ::CallNextHookEx(nullptr, code, wp, lp);
}

// The library's thread posts the close when the job is done.
LRESULT CALLBACK SpyGetMessage(int code, WPARAM wp, LPARAM lp) {
    const auto* m = reinterpret_cast<const MSG*>(lp);
    if (code == HC_ACTION && wp == PM_REMOVE && m->message == WM_EXECUTE_PROMPT_CLOSE) ++g_promptCloses;
    return ::CallNextHookEx(nullptr, code, wp, lp);
}

// Counts, on the calling thread, the progress prompts shown and the close
// messages they received.
class PromptSpy {
public:
    PromptSpy()
        : sent_(::SetWindowsHookExW(WH_CALLWNDPROC, &SpyCallWndProc, nullptr, ::GetCurrentThreadId())),
          posted_(::SetWindowsHookExW(WH_GETMESSAGE, &SpyGetMessage, nullptr, ::GetCurrentThreadId())) {
        g_promptsShown = 0;
        g_promptCloses = 0;
    }
    ~PromptSpy() {
        if (sent_) ::UnhookWindowsHookEx(sent_);
        if (posted_) ::UnhookWindowsHookEx(posted_);
    }
    PromptSpy(const PromptSpy&) = delete;
    PromptSpy& operator=(const PromptSpy&) = delete;
    bool ok() const { return sent_ && posted_; }

private:
    HHOOK sent_, posted_;
};

// ---- the stand-in library's journal ----

using Call = support::JournalEntry;

// The low 32 bits of the time, as the library receives them.
long long Low32(__time64_t t) { return static_cast<int>(static_cast<unsigned>(static_cast<unsigned long long>(t))); }

class FeedbackDialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_folder = gd::TempFolder(L"feedbackdlg");
        const std::wstring dll = gd::EnvPath(L"ORV_BUILD") + L"\\bin\\" + kFeedbackLibraryFileName;
        ::CopyFileW(dll.c_str(), (s_folder + L"\\" + kFeedbackLibraryFileName).c_str(), FALSE);
        WriteIni(0);
        s_library = new CFeedbackLibrary();
        s_loaded = s_library->Load(s_folder);
    }

    void SetUp() override {
        ASSERT_EQ(s_loaded, 1) << "the stand-in library did not load from a copy in a temporary folder";
        WriteIni(0);
        ::DeleteFileW(JournalPath().c_str());
    }

    // Addresses are journaled but never opened.
    static void WriteIni(int delayMs) {
        gd::WriteFileBytes(s_folder + L"\\CorvelFeedbackInformation.ini",
                           "open=0\ndelay_ms=" + std::to_string(delayMs) + "\n");
    }
    static std::wstring JournalPath() { return s_folder + L"\\CorvelFeedbackInformation.journal"; }
    static std::vector<Call> Journal() { return support::ReadJournal(JournalPath()); }

    // The report of one answer: the code with the tool's identity and a time
    // within the run, then the question page.
    static void ExpectReport(const std::vector<Call>& calls, int code, __time64_t before, __time64_t after) {
        ASSERT_EQ(calls.size(), 2u) << "code " << code;
        const Call& report = calls[0];
        ASSERT_EQ(report.size(), 5u);
        EXPECT_EQ(report[0], L"CustomerFeedbackEx");
        EXPECT_EQ(report[1], L"10083");
        EXPECT_EQ(report[2], L"1.0.0");
        EXPECT_EQ(report[3], std::to_wstring(code));
        const long long time = std::wcstoll(report[4].c_str(), nullptr, 10);
        EXPECT_EQ(report[4], std::to_wstring(time)) << "a plain decimal";
        EXPECT_GE(time, Low32(before) - 2);
        EXPECT_LE(time, Low32(after) + 2);
        const Call question{L"FeedbackQuestion", L"10083", L"1.0.0"};
        EXPECT_EQ(calls[1], question);
    }

    static std::wstring s_folder;
    static CFeedbackLibrary* s_library;
    static int s_loaded;
};

std::wstring FeedbackDialogTest::s_folder;
CFeedbackLibrary* FeedbackDialogTest::s_library = nullptr;
int FeedbackDialogTest::s_loaded = 0;

// Clicks a point once `control` is the window the pointer hits there.
bool ClickInside(HWND control, POINT p) {
    if (!gd::WaitFor([&] { return ::WindowFromPoint(p) == control; }, 3000)) return false;
    gd::Click(p.x, p.y);
    return true;
}

RECT ScreenRect(HWND h) {
    RECT r{};
    ::GetWindowRect(h, &r);
    return r;
}

// A control's rectangle relative to its dialog's client area.
RECT InClient(HWND control, HWND dialog) {
    RECT r = ScreenRect(control);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

HWND FindPrompt(DWORD timeoutMs) {
    return gd::WaitForWindowWithControl(::GetCurrentProcessId(), IDC_PROGRESS_TEXT, timeoutMs);
}

}  // namespace

TEST(FeedbackLayout, ButtonsSourcesAndRimFollowTheClientAndScale) {
    struct Case {
        const char* what;
        RECT client;
        float scale;
        RECT close;
        RECT buttons[3];
        RECT sources[3];
        int margin;
    };
    const RECT kSources[3] = {{67, 154, 333, 214}, {67, 234, 333, 294}, {67, 314, 333, 374}};
    const Case cases[] = {
        {"96 DPI", {0, 0, 400, 468}, 1.0f, {382, 6, 394, 18},
         {{67, 154, 333, 214}, {67, 234, 333, 294}, {67, 314, 333, 374}},
         {kSources[0], kSources[1], kSources[2]}, 9},
        // Narrower than the design: centred on the client, the picture behind a
        // button is the button's own place.
        {"narrow", {10, 20, 390, 460}, 1.0f, {372, 26, 384, 38},
         {{67, 160, 333, 220}, {67, 240, 333, 300}, {67, 320, 333, 380}},
         {{67, 160, 333, 220}, {67, 240, 333, 300}, {67, 320, 333, 380}}, 9},
        // The template's first size at 96 DPI: the same places as the final one.
        {"template at 96 DPI", {0, 0, 660, 558}, 1.0f, {642, 6, 654, 18},
         {{67, 154, 333, 214}, {67, 234, 333, 294}, {67, 314, 333, 374}},
         {kSources[0], kSources[1], kSources[2]}, 9},
        {"120 DPI", {0, 0, 480, 562}, 1.2f, {458, 7, 472, 21},
         {{80, 184, 399, 256}, {80, 280, 399, 352}, {80, 376, 399, 448}},
         {kSources[0], kSources[1], kSources[2]}, 10},
        {"144 DPI", {0, 0, 576, 674}, 1.44f, {550, 8, 567, 25},
         {{96, 221, 479, 307}, {96, 336, 479, 422}, {96, 451, 479, 537}},
         {kSources[0], kSources[1], kSources[2]}, 12},
    };
    for (const Case& c : cases) {
        const FeedbackLayout l = ComputeFeedbackLayout(c.client, c.scale);
        EXPECT_TRUE(support::SameRect(l.close, c.close)) << c.what << " close " << support::ShowRect(l.close);
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(support::SameRect(l.buttons[i], c.buttons[i])) << c.what << " button " << i << " " << support::ShowRect(l.buttons[i]);
            EXPECT_TRUE(support::SameRect(l.sources[i], c.sources[i])) << c.what << " source " << i << " " << support::ShowRect(l.sources[i]);
        }
        EXPECT_EQ(l.hitMargin, c.margin) << c.what;
    }
}

TEST_F(FeedbackDialogTest, AnswersReportTheirCodeThenTheQuestionAndClose) {
    struct Case {
        int control, code;
    };
    for (const Case c : {Case{IDC_SOLVED, 1}, Case{IDC_UNSOLVED, 2}, Case{IDC_FEEDBACK_CLOSE, 3}}) {
        ::DeleteFileW(JournalPath().c_str());
        PromptSpy spy;
        ASSERT_TRUE(spy.ok());
        CProblemSolvingFeedbackDlg dlg;
        dlg.SetFeedbackCalls(FeedbackCallsFor(*s_library));
        const __time64_t before = _time64(nullptr);
        std::atomic<bool> clicked{false};
        const INT_PTR r = RunWithDriver(dlg, [&] {
            HWND child = WaitForChildWith(IDC_SOLVED);
            if (!child) return;
            gd::ClickControl(::GetDlgItem(child, c.control));
            clicked = true;
        });
        const __time64_t after = _time64(nullptr);
        EXPECT_TRUE(clicked) << c.control;
        EXPECT_EQ(r, IDCANCEL) << c.control;
        ExpectReport(Journal(), c.code, before, after);
        EXPECT_LE(g_promptCloses.load(), 1);
        EXPECT_EQ(FindPrompt(0), nullptr) << "no progress prompt is left behind";
    }
}

TEST_F(FeedbackDialogTest, TitleSizeAndButtonPlacesAt96Dpi) {
    if (win::ScreenScale() != 1.0f) GTEST_SKIP() << "design sizes are checked at 96 DPI";
    CProblemSolvingFeedbackDlg dlg;
    dlg.SetFeedbackCalls(FeedbackCallsFor(*s_library));
    std::atomic<bool> found{false}, backOk{false}, childOk{false}, buttonsOk{false}, closeOk{false}, titleOk{false};
    std::string places;
    const INT_PTR r = RunWithDriver(dlg, [&] {
        HWND child = WaitForChildWith(IDC_SOLVED);
        if (!child) return;
        found = true;
        HWND back = ::GetWindow(child, GW_OWNER);
        const RECT b = ScreenRect(back), cw = ScreenRect(child);
        backOk = b.right - b.left == 410 && b.bottom - b.top == 479 && cw.left - b.left == 5 && cw.top - b.top == 4;
        RECT client{};
        ::GetClientRect(child, &client);
        childOk = client.right == 400 && client.bottom == 468;
        const RECT expected[3] = {{67, 154, 333, 214}, {67, 234, 333, 294}, {67, 314, 333, 374}};
        const int ids[3] = {IDC_SOLVED, IDC_UNSOLVED, IDC_MORE_SOLUTIONS};
        bool all = true;
        for (int i = 0; i < 3; ++i) {
            const RECT got = InClient(::GetDlgItem(child, ids[i]), child);
            places += support::ShowRect(got);
            all = all && support::SameRect(got, expected[i]);
        }
        buttonsOk = all;
        closeOk = support::SameRect(InClient(::GetDlgItem(child, IDC_FEEDBACK_CLOSE), child), RECT{382, 6, 394, 18});
        titleOk = gd::Describe(back).text == L"Orvane 2020灯效闪烁修复工具";
        gd::ClickControl(::GetDlgItem(child, IDC_FEEDBACK_CLOSE));
    });
    EXPECT_EQ(r, IDCANCEL);
    ASSERT_TRUE(found);
    EXPECT_TRUE(backOk);
    EXPECT_TRUE(childOk);
    EXPECT_TRUE(buttonsOk) << places;
    EXPECT_TRUE(closeOk);
    EXPECT_TRUE(titleOk);
}

TEST_F(FeedbackDialogTest, RimClicksOnTheAnswersAreIgnoredButNotOnMoreSolutionsOrClose) {
    PromptSpy spy;
    CProblemSolvingFeedbackDlg dlg;
    dlg.SetFeedbackCalls(FeedbackCallsFor(*s_library));
    std::atomic<bool> clicked{false}, ignored{false}, urlOpened{false}, stillOpen{false};
    const __time64_t before = _time64(nullptr);
    const INT_PTR r = RunWithDriver(dlg, [&] {
        HWND child = WaitForChildWith(IDC_SOLVED);
        if (!child) return;
        HWND back = ::GetWindow(child, GW_OWNER);
        const int rim = win::Scaled(9, win::ScreenScale());
        HWND solved = ::GetDlgItem(child, IDC_SOLVED), unsolved = ::GetDlgItem(child, IDC_UNSOLVED);
        const RECT s = ScreenRect(solved), u = ScreenRect(unsolved);
        const POINT sc = gd::Centre(s), uc = gd::Centre(u);
        // Inside the buttons, within the rim: left, top, right and bottom edges.
        clicked = ClickInside(solved, POINT{s.left + rim / 2, sc.y}) &&
                  ClickInside(solved, POINT{sc.x, s.top + rim - 1}) &&
                  ClickInside(unsolved, POINT{u.right - rim, uc.y}) &&
                  ClickInside(unsolved, POINT{uc.x, u.bottom - 1 - rim / 2});
        ignored = !gd::WaitFor([&] { return !Journal().empty() || !::IsWindowVisible(back); }, 500);

        HWND more = ::GetDlgItem(child, IDC_MORE_SOLUTIONS);
        const RECT m = ScreenRect(more);
        ClickInside(more, POINT{m.left + 2, m.top + 2});
        urlOpened = gd::WaitFor([&] { return !Journal().empty(); }, 3000) && Journal().size() == 1 &&
                    Journal()[0] == Call{L"OpenUrl", L"https://support.corvel.example/"};
        stillOpen = !gd::WaitFor([&] { return !::IsWindowVisible(back); }, 300);

        ::DeleteFileW(JournalPath().c_str());
        HWND close = ::GetDlgItem(child, IDC_FEEDBACK_CLOSE);
        const RECT x = ScreenRect(close);
        ClickInside(close, POINT{x.left, x.top});
    });
    const __time64_t after = _time64(nullptr);
    EXPECT_TRUE(clicked);
    EXPECT_TRUE(ignored) << "a click within the rim of an answer reported something or closed the dialog";
    EXPECT_TRUE(urlOpened);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(r, IDCANCEL);
    ExpectReport(Journal(), 3, before, after);
    EXPECT_EQ(g_promptsShown.load(), 0) << "a report that is back at once needs no prompt";
}

TEST_F(FeedbackDialogTest, SlowLibraryKeepsThePromptOpenUntilItReturns) {
    WriteIni(2000);
    PromptSpy spy;
    CProblemSolvingFeedbackDlg dlg;
    dlg.SetFeedbackCalls(FeedbackCallsFor(*s_library));
    std::atomic<bool> promptShown{false}, textOk{false}, heldOpen{false}, secondPressIgnored{false};
    std::atomic<bool> promptGone{false};
    const __time64_t before = _time64(nullptr);
    const ULONGLONG start = ::GetTickCount64();
    const INT_PTR r = RunWithDriver(dlg, [&] {
        HWND child = WaitForChildWith(IDC_SOLVED);
        if (!child) return;
        gd::ClickControl(::GetDlgItem(child, IDC_SOLVED));
        HWND promptChild = FindPrompt(5000);
        if (!promptChild) return;
        promptShown = true;
        HWND prompt = ::GetWindow(promptChild, GW_OWNER);
        textOk = gd::Describe(::GetDlgItem(promptChild, IDC_PROGRESS_TEXT)).text == L"正在清理临时文件，请稍等";
        gd::WaitForProp(prompt, L"Orvane.PairSettled", 3000);
        Shot(L"feedback-progress-" + Tag());

        // The close button stays reachable beside the prompt; a second answer
        // must neither report nor replace the running prompt.
        ClickInside(::GetDlgItem(child, IDC_FEEDBACK_CLOSE), gd::Centre(ScreenRect(::GetDlgItem(child, IDC_FEEDBACK_CLOSE))));

        // The second library call has begun and takes its time: the prompt is still up.
        gd::WaitFor([&] { return Journal().size() >= 2; }, 5000);
        heldOpen = Journal().size() == 2 && ::IsWindowVisible(prompt) && ::IsWindow(promptChild);
        promptGone = gd::WaitForGone(prompt, 8000);
        secondPressIgnored = Journal().size() == 2;
    }, 10000);
    const ULONGLONG elapsed = ::GetTickCount64() - start;
    const __time64_t after = _time64(nullptr);
    EXPECT_EQ(r, IDCANCEL);
    EXPECT_TRUE(promptShown);
    EXPECT_TRUE(textOk);
    EXPECT_TRUE(heldOpen);
    EXPECT_TRUE(promptGone);
    EXPECT_TRUE(secondPressIgnored);
    EXPECT_GE(elapsed, 3900u) << "both library calls take two seconds each";
    ExpectReport(Journal(), 1, before, after);
    EXPECT_EQ(g_promptsShown.load(), 1);
    EXPECT_EQ(g_promptCloses.load(), 1) << "the prompt is closed exactly once";
}

// A report that is back within a moment shows no progress prompt at all.
TEST_F(FeedbackDialogTest, AQuickReportClosesWithoutAPrompt) {
    PromptSpy spy;
    CProblemSolvingFeedbackDlg dlg;
    dlg.SetFeedbackCalls(FeedbackCallsFor(*s_library));
    const __time64_t before = _time64(nullptr);
    const INT_PTR r = RunWithDriver(dlg, [&] {
        HWND child = WaitForChildWith(IDC_SOLVED);
        if (child) gd::ClickControl(::GetDlgItem(child, IDC_UNSOLVED));
    });
    const __time64_t after = _time64(nullptr);
    EXPECT_EQ(r, IDCANCEL);
    ExpectReport(Journal(), 2, before, after);
    EXPECT_EQ(g_promptsShown.load(), 0);
    EXPECT_EQ(g_promptCloses.load(), 0);
}

// The library's thread is not running (it could not be started): each answer is
// logged as a failure and the dialog stays open.
TEST_F(FeedbackDialogTest, AnAnswerThatCannotBeQueuedIsLoggedAndTheDialogStaysOpen) {
    const std::wstring log = CLogSave::GetInstance()->GetLogFolder() + FromGbk(ToolLogName());
    ::DeleteFileW(log.c_str());
    win::CJobThread notYet;
    FeedbackCalls calls = FeedbackCallsFor(*s_library);
    calls.thread = &notYet;
    PromptSpy spy;
    CProblemSolvingFeedbackDlg dlg;
    dlg.SetFeedbackCalls(calls);
    struct Case {
        int control;
        const wchar_t* line;
    };
    const Case cases[] = {{IDC_FEEDBACK_CLOSE, L"创建反馈关闭线程失败"},
                          {IDC_SOLVED, L"创建反馈解决线程失败"},
                          {IDC_UNSOLVED, L"创建反馈未解决线程失败"}};
    std::atomic<int> logged{0};
    std::atomic<bool> stayedOpen{false};
    const __time64_t before = _time64(nullptr);
    const INT_PTR r = RunWithDriver(dlg, [&] {
        HWND child = WaitForChildWith(IDC_SOLVED);
        if (!child) return;
        HWND back = ::GetWindow(child, GW_OWNER);
        for (const Case& c : cases) {
            gd::ClickControl(::GetDlgItem(child, c.control));
            if (gd::WaitFor([&] { return gd::ReadFileBytes(log).find(Gbk(c.line)) != std::string::npos; }, 3000))
                ++logged;
        }
        stayedOpen = !gd::WaitFor([&] { return !::IsWindowVisible(back) || !Journal().empty(); }, 300);
        // Once the thread runs, the next press reports and closes.
        notYet.Start();
        gd::ClickControl(::GetDlgItem(child, IDC_SOLVED));
    });
    const __time64_t after = _time64(nullptr);
    EXPECT_EQ(logged.load(), 3);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(r, IDCANCEL);
    ExpectReport(Journal(), 1, before, after);
    EXPECT_EQ(g_promptsShown.load(), 0) << "no prompt for a failed press, nor for a report back at once";

    const std::string text = gd::ReadFileBytes(log);
    size_t at = 0;
    for (const Case& c : cases) {
        const size_t found = text.find(Gbk(c.line) + "\r", at);
        ASSERT_NE(found, std::string::npos) << "in order, one record each";
        at = found + 1;
    }
}

TEST_F(FeedbackDialogTest, EscapeAndEnterDoNothing) {
    CProblemSolvingFeedbackDlg dlg;
    dlg.SetFeedbackCalls(FeedbackCallsFor(*s_library));
    std::atomic<bool> stayedOpen{false};
    const INT_PTR r = RunWithDriver(dlg, [&] {
        HWND child = WaitForChildWith(IDC_SOLVED);
        if (!child) return;
        HWND back = ::GetWindow(child, GW_OWNER);
        for (WPARAM key : {VK_ESCAPE, VK_RETURN}) {
            PostKeyTo(child, key);
            PostKeyTo(back, key);
            PostKeyTo(::GetDlgItem(child, IDC_SOLVED), key);
        }
        stayedOpen = !gd::WaitFor([&] { return !::IsWindowVisible(back) || !Journal().empty(); }, 500);
        gd::ClickControl(::GetDlgItem(child, IDC_FEEDBACK_CLOSE));
    });
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(r, IDCANCEL);
    ASSERT_EQ(Journal().size(), 2u);
    EXPECT_EQ(Journal()[0][3], L"3");
}

TEST_F(FeedbackDialogTest, WithoutALibraryNothingIsCalledAndAnAnswerStillCloses) {
    CProblemSolvingFeedbackDlg dlg;
    std::atomic<bool> stayedOpen{false};
    const INT_PTR r = RunWithDriver(dlg, [&] {
        HWND child = WaitForChildWith(IDC_SOLVED);
        if (!child) return;
        HWND back = ::GetWindow(child, GW_OWNER);
        gd::ClickControl(::GetDlgItem(child, IDC_MORE_SOLUTIONS));
        stayedOpen = !gd::WaitFor([&] { return !::IsWindowVisible(back); }, 300);
        gd::ClickControl(::GetDlgItem(child, IDC_SOLVED));
    });
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(r, IDCANCEL);
    EXPECT_TRUE(Journal().empty());
}

TEST_F(FeedbackDialogTest, Screenshots) {
    CProblemSolvingFeedbackDlg dlg;
    dlg.SetFeedbackCalls(FeedbackCallsFor(*s_library));
    std::atomic<bool> hovered{false};
    std::string scene;  // written by the driver, read after it has ended
    const INT_PTR r = RunWithDriver(dlg, [&] {
        HWND child = WaitForChildWith(IDC_SOLVED);
        if (!child) return;
        HWND solved = ::GetDlgItem(child, IDC_SOLVED);
        gd::WaitUntilHittable(solved, 3000);
        gd::WaitFor([] { return false; }, 300);  // let the first paint finish
        Shot(L"feedback-" + Tag());
        // Enter the button from outside, so that it sees the pointer arrive; the
        // lighter hover picture then shows where the normal one was.
        const RECT b = ScreenRect(solved);
        const POINT c = gd::Centre(b), probe{b.left + (c.x - b.left) / 4, c.y};
        const COLORREF normal = gd::ScreenPixel(probe.x, probe.y);
        gd::MoveTo(c.x, b.top - 20);
        gd::MoveTo(c.x, c.y);
        hovered = gd::WaitFor([&] { return gd::ScreenPixel(probe.x, probe.y) != normal; }, 3000);
        if (!hovered) scene = gd::SceneReport(solved);
        Shot(L"feedback-hover-" + Tag());
        gd::ClickControl(::GetDlgItem(child, IDC_FEEDBACK_CLOSE));
    });
    EXPECT_EQ(r, IDCANCEL);
    EXPECT_TRUE(hovered) << "the hover picture of 解决; " << scene;
}
