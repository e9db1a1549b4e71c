// The library thread: one thread for every job, in order, whatever a job does to it.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <vector>

#include "win/JobThread.h"
#include "win/PeImports.h"

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

}  // namespace

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

TEST(JobThread, ANoticeIsPostedOnceAndNeverForAJobDoneBeforeItWasAsked)
{
    win::CJobThread thread;
    ASSERT_TRUE(thread.Start());
    HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    auto held = thread.Post([release] {
        ::WaitForSingleObject(release, 10000);
        return 3;
    });
    // This thread's own window gets the notice.
    HWND window = ::CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    const UINT kDone = WM_APP + 7;
    EXPECT_TRUE(held->NotifyWhenDone(window, kDone));
    ::SetEvent(release);
    ASSERT_TRUE(win::WaitTakingSentMessages(*held, 10000));
    MSG msg;
    int notices = 0;
    while (::PeekMessageW(&msg, window, kDone, kDone, PM_REMOVE))
        ++notices;
    EXPECT_EQ(1, notices);
    EXPECT_EQ(3, held->Result());
    EXPECT_FALSE(held->NotifyWhenDone(window, kDone)) << "a job done already is not waited for";
    EXPECT_FALSE(::PeekMessageW(&msg, window, kDone, kDone, PM_REMOVE));
    ::DestroyWindow(window);
    ::CloseHandle(release);
}

TEST(PeImports, NamesTheImportedLibrariesAndSurvivesBrokenFiles)
{
    wchar_t system[MAX_PATH] = {};
    ASSERT_NE(0u, ::GetSystemDirectoryW(system, MAX_PATH));
    wchar_t self[MAX_PATH] = {};
    ASSERT_NE(0u, ::GetModuleFileNameW(nullptr, self, MAX_PATH));
    const std::vector<std::string> names = win::ImportedLibraryNames(self);
    bool kernel = false;
    for (std::string n : names) {
        for (char& c : n)
            c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
        kernel = kernel || n == "kernel32.dll";
    }
    EXPECT_TRUE(kernel);
    EXPECT_TRUE(win::ImportedLibraryNames(std::wstring(system) + L"\\no such library.dll").empty());
    std::string image(4096, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    image[0x3D] = '\xFF';  // the NT headers would lie far past the end
    image[0x3E] = '\xFF';
    EXPECT_TRUE(win::ImportedLibraryNamesIn(image).empty());
    EXPECT_TRUE(win::ImportedLibraryNamesIn("MZ").empty());
}
