// The library thread: one thread for every job, in order, whatever a job does to it.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <vector>

#include "win/Handle.h"
#include "win/JobThread.h"

namespace {

LRESULT CALLBACK CountTimer(HWND window, UINT message, WPARAM wp, LPARAM lp)
{
    if (message == WM_TIMER) {
        ::KillTimer(window, wp);
        ++*reinterpret_cast<std::atomic<int>*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        return 0;
    }
    return ::DefWindowProcW(window, message, wp, lp);
}

// Set when the test has seen what it waits for: the busy windows below then calm down,
// so that a thread they kept busy serves again.
std::atomic<bool> g_calm{false};
// Messages the busy windows have handled.
std::atomic<int> g_busy{0};

// A window that keeps its thread's queue busy: a message it posts to itself again, and
// what it paints never validated.
LRESULT CALLBACK Busy(HWND window, UINT message, WPARAM wp, LPARAM lp)
{
    if (message == WM_APP || message == WM_PAINT)
        ++g_busy;
    if (message == WM_APP) {
        if (!g_calm)
            ::PostMessageW(window, WM_APP, 0, 0);
        return 0;
    }
    if (message == WM_PAINT) {
        if (g_calm)
            ::ValidateRect(window, nullptr);
        return 0;
    }
    return ::DefWindowProcW(window, message, wp, lp);
}

}  // namespace

TEST(JobThread, AWindowThatKeepsTheQueueBusyNeverKeepsAJobWaiting)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = Busy;
    wc.lpszClassName = L"OrvJobThreadBusy";
    ::RegisterClassW(&wc);
    const struct {
        const char* name;
        bool paints;
    } cases[] = {{"a message it posts itself again", false}, {"a paint it never validates", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        g_calm = false;
        g_busy = 0;
        win::CJobThread thread;
        ASSERT_TRUE(thread.Start());
        HWND window = nullptr;
        auto made = thread.Post([&] {
            if (c.paints) {
                // Visible, so that it has something to paint; out of the way of the screen.
                window = ::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1,
                                           1, nullptr, nullptr, nullptr, nullptr);
                if (window) {
                    ::SetWindowPos(window, HWND_BOTTOM, 0, 0, 1, 1, SWP_SHOWWINDOW | SWP_NOACTIVATE);
                    ::InvalidateRect(window, nullptr, FALSE);
                }
            } else {
                window = ::CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
                if (window)
                    ::PostMessageW(window, WM_APP, 0, 0);
            }
            return window ? 1 : 0;
        });
        ASSERT_TRUE(win::WaitTakingSentMessages(*made, 10000));
        ASSERT_EQ(1, made->Result());
        // Only once the thread is busy with the window: a job queued earlier would run
        // before it got to the window's messages at all.
        const ULONGLONG until = ::GetTickCount64() + 10000;
        while (g_busy < 100 && ::GetTickCount64() < until)
            ::Sleep(10);
        ASSERT_GE(g_busy.load(), 100) << "the window is not busy";
        auto next = thread.Post([] { return 42; });
        const bool done = win::WaitTakingSentMessages(*next, 5000);
        g_calm = true;
        ASSERT_TRUE(done) << "the next job waited behind the window's messages";
        EXPECT_EQ(42, next->Result());
        auto destroyed = thread.Post([&] { return ::DestroyWindow(window) ? 1 : 0; });
        ASSERT_TRUE(win::WaitTakingSentMessages(*destroyed, 10000));
        EXPECT_EQ(1, destroyed->Result());
    }
}

TEST(JobThread, RunsEveryJobInOrderOnOneThreadThatOutlivesWhatJobsDo)
{
    win::CJobThread thread;
    EXPECT_EQ(nullptr, thread.Post([] { return 1; })) << "not started yet";
    ASSERT_TRUE(thread.Start());
    std::vector<int> order;
    std::vector<DWORD> ids;
    std::vector<std::shared_ptr<win::CJobTicket>> tickets;
    for (int i = 0; i < 20; ++i) {
        tickets.push_back(thread.Post([i, &order, &ids] {
            order.push_back(i);
            ids.push_back(::GetCurrentThreadId());
            // A window's quit request and an exception end neither the thread nor the queue.
            if (i == 5)
                ::PostQuitMessage(0);
            if (i == 7)
                throw std::runtime_error("job failed");
            return i + 100;
        }));
    }
    for (const auto& t : tickets)
        ASSERT_TRUE(win::WaitTakingSentMessages(*t, 10000));
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(i, order[i]);
        EXPECT_EQ(thread.ThreadId(), ids[i]);
        EXPECT_EQ(i == 7 ? 0 : i + 100, tickets[i]->Result());
    }
    EXPECT_NE(::GetCurrentThreadId(), thread.ThreadId());

    // A window with a timer made by one job is served after that job has returned.
    std::atomic<int> fired{0};
    HWND window = nullptr;
    auto made = thread.Post([&] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = CountTimer;
        wc.lpszClassName = L"OrvJobThreadTest";
        ::RegisterClassW(&wc);
        window = ::CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&fired));
        return ::SetTimer(window, 1, 100, nullptr) ? 1 : 0;
    });
    ASSERT_TRUE(win::WaitTakingSentMessages(*made, 10000));
    ASSERT_EQ(1, made->Result());
    const ULONGLONG until = ::GetTickCount64() + 5000;
    while (!fired && ::GetTickCount64() < until)
        ::Sleep(20);
    EXPECT_EQ(1, fired.load());
    auto destroyed = thread.Post([&] { return ::DestroyWindow(window) ? 1 : 0; });
    ASSERT_TRUE(win::WaitTakingSentMessages(*destroyed, 10000));
}

// A job held on the library thread until the test lets it go, and a message-only
// window of the test's own thread for its notice. A failed check lets the job go too.
class HeldJobNotice : public ::testing::Test {
protected:
    void SetUp() override
    {
        release_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        ASSERT_TRUE(release_);
        ASSERT_TRUE(thread_.Start());
        HANDLE release = release_.get();
        held_ = thread_.Post([release] {
            ::WaitForSingleObject(release, 10000);
            return 3;
        });
        ASSERT_TRUE(held_);
        window_ = ::CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, window_);
    }
    void TearDown() override
    {
        if (release_)
            ::SetEvent(release_.get());
        if (window_)
            ::DestroyWindow(window_);
    }
    void Release() { ::SetEvent(release_.get()); }

    // Declared first: it outlives the thread, which ends with the job.
    win::UniqueHandle release_;
    win::CJobThread thread_;
    std::shared_ptr<win::CJobTicket> held_;
    HWND window_ = nullptr;
};

TEST_F(HeldJobNotice, IsPostedOnceAndNeverForAJobDoneBeforeItWasAsked)
{
    const UINT kDone = WM_APP + 7;
    EXPECT_TRUE(held_->NotifyWhenDone(window_, kDone));
    Release();
    ASSERT_TRUE(win::WaitTakingSentMessages(*held_, 10000));
    MSG msg;
    int notices = 0;
    while (::PeekMessageW(&msg, window_, kDone, kDone, PM_REMOVE))
        ++notices;
    EXPECT_EQ(1, notices);
    EXPECT_EQ(3, held_->Result());
    EXPECT_FALSE(held_->NotifyWhenDone(window_, kDone)) << "a job done already is not waited for";
    EXPECT_FALSE(::PeekMessageW(&msg, window_, kDone, kDone, PM_REMOVE));
}

// A window that goes away stops the notice, and nothing is posted to it afterwards.
TEST_F(HeldJobNotice, StoppedWithNullIsNeverPosted)
{
    const UINT kDone = WM_APP + 9;
    EXPECT_TRUE(held_->NotifyWhenDone(window_, kDone));
    EXPECT_TRUE(held_->NotifyWhenDone(nullptr, 0));
    Release();
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(held_->DoneEvent(), 10000));
    MSG msg;
    EXPECT_FALSE(::PeekMessageW(&msg, window_, 0, 0, PM_REMOVE)) << "message " << msg.message << " came";
}

// Whoever sees a job done finds its notice queued: the waiting prompt relies on that.
// A short job races the request for the notice; whichever wins, the answer is right.
TEST(JobThread, TheNoticeIsQueuedBeforeTheJobShowsDoneEveryTime)
{
    win::CJobThread thread;
    ASSERT_TRUE(thread.Start());
    HWND window = ::CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    const UINT kDone = WM_APP + 8;
    int missing = 0, unasked = 0, waited = 0;
    for (int i = 0; i < 1000; ++i) {
        auto ticket = thread.Post([] { return 1; });
        ASSERT_TRUE(ticket);
        const bool willNotify = ticket->NotifyWhenDone(window, kDone);
        waited += willNotify;
        ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(ticket->DoneEvent(), 10000));
        MSG msg;
        const bool queued = ::PeekMessageW(&msg, window, kDone, kDone, PM_REMOVE) != FALSE;
        if (willNotify && !queued) ++missing;
        if (!willNotify && queued) ++unasked;
        while (::PeekMessageW(&msg, window, kDone, kDone, PM_REMOVE)) ++unasked;
    }
    EXPECT_EQ(0, missing) << "a job showed done before its notice was queued";
    EXPECT_EQ(0, unasked) << "a notice came for a job done before it was asked, or came twice";
    EXPECT_GT(waited, 0) << "no request came before its job was done: the race was never run";
    ::DestroyWindow(window);
}
