// A press lands where the driver aimed it even when the target's thread, once it
// catches up, takes the pointer back to where it was: what a late X event about a
// window that vanished under the old position does under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tools/guidriver/GuiDriver.h"

namespace gd = guidriver;

namespace {

// The target: a child window that counts its presses and, once armed, answers the
// first message that makes its thread catch up by putting the pointer back on the
// stale spot.
std::atomic<int> g_targetPresses{0}, g_parentPresses{0};
std::atomic<bool> g_armed{false};
POINT g_stale{};

LRESULT CALLBACK TargetProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NULL && g_armed.exchange(false)) ::SetCursorPos(g_stale.x, g_stale.y);
    if (msg == WM_LBUTTONDOWN) ++g_targetPresses;
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_LBUTTONDOWN) ++g_parentPresses;
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

// Makes the two windows on a thread of their own, which then pumps until WM_QUIT.
void WindowThread(std::atomic<HWND>* parentOut, std::atomic<HWND>* targetOut) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSW parentClass{};
    parentClass.lpfnWndProc = &ParentProc;
    parentClass.hInstance = instance;
    parentClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    parentClass.lpszClassName = L"OrvDriverTestParent";
    ::RegisterClassW(&parentClass);
    WNDCLASSW targetClass = parentClass;
    targetClass.lpfnWndProc = &TargetProc;
    targetClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));
    targetClass.lpszClassName = L"OrvDriverTestTarget";
    ::RegisterClassW(&targetClass);

    HWND parent = ::CreateWindowExW(WS_EX_TOPMOST, L"OrvDriverTestParent", L"driver test", WS_POPUP | WS_VISIBLE,
                                    200, 200, 400, 200, nullptr, nullptr, instance, nullptr);
    HWND target = ::CreateWindowExW(0, L"OrvDriverTestTarget", L"target", WS_CHILD | WS_VISIBLE, 250, 50, 100, 100,
                                    parent, nullptr, instance, nullptr);
    *targetOut = target;
    *parentOut = parent;
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
    ::DestroyWindow(parent);
}

}  // namespace

TEST(GuiDriver, APressLandsOnTheTargetWhenALateEventTakesThePointerBack) {
    std::atomic<HWND> parent{nullptr}, target{nullptr};
    std::thread thread(WindowThread, &parent, &target);
    ASSERT_TRUE(gd::WaitFor([&] { return parent.load() != nullptr; }, 10000));
    const DWORD threadId = ::GetWindowThreadProcessId(parent, nullptr);

    RECT r{};
    ::GetWindowRect(parent, &r);
    g_stale = POINT{r.left + 50, r.top + 100};  // on the parent, well away from the target
    gd::MoveTo(g_stale.x, g_stale.y);
    ASSERT_TRUE(gd::WaitUntilHittable(target, 5000));

    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        g_targetPresses = 0;
        g_parentPresses = 0;
        g_armed = true;
        gd::ClickControl(target);
        EXPECT_FALSE(g_armed) << "the target's thread was never asked to catch up";
        gd::WaitFor([&] { return g_targetPresses + g_parentPresses > 0; }, 5000);
        EXPECT_EQ(g_targetPresses, 1) << "the press did not land on the target";
        EXPECT_EQ(g_parentPresses, 0) << "the press landed on the spot the pointer was taken back to";
        gd::MoveTo(g_stale.x, g_stale.y);
    }
    ::PostThreadMessageW(threadId, WM_QUIT, 0, 0);
    thread.join();
}
