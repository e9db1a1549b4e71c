#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "dialogs/Messages.h"
#include "tests/support/Language.h"
#include "tools/guidriver/GuiDriver.h"
#include "win/Dialog.h"

// Running a modal dialog pair under a driver thread that acts on it with real input.
namespace dialog_test {

constexpr INT_PTR kForcedClose = -2;

// Runs `dlg` modally while `driver` acts on it from another thread. A driver that
// could not end the dialog closes it, so that a failing test does not hang, and
// the result is then kForcedClose.
inline INT_PTR RunWithDriver(CDialog& dlg, const std::function<void()>& driver, DWORD endWithinMs = 5000) {
    std::atomic<bool> done{false}, forced{false};
    std::thread t([&] {
        driver();
        if (!guidriver::WaitFor([&] { return done.load(); }, endWithinMs)) {
            forced = true;
            // A progress prompt ends only on its own message.
            ::PostMessageW(dlg.GetSafeHwnd(), WM_COMMAND, IDCANCEL, 0);
            ::PostMessageW(dlg.GetSafeHwnd(), WM_EXECUTE_PROMPT_CLOSE, 0, 0);
        }
    });
    INT_PTR r = dlg.DoModal();
    done = true;
    t.join();
    return forced ? kForcedClose : r;
}

// The child dialog holding `controlId`, once its pair has settled on screen.
inline HWND WaitForChildWith(int controlId) {
    HWND child = guidriver::WaitForWindowWithControl(::GetCurrentProcessId(), controlId, 10000);
    if (child) guidriver::WaitForProp(::GetWindow(child, GW_OWNER), L"Orvane.PairSettled", 5000);
    return child;
}

inline void Shot(const std::wstring& name) {
    const std::wstring folder = guidriver::ScreensFolder();
    if (!folder.empty()) guidriver::SaveScreenshot(folder + L"\\" + name + L".png");
}

inline int Language() { return support::SystemLanguage(); }

// Language and the screen's DPI, for screenshot names.
inline std::wstring Tag() {
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return std::wstring(Language() == 1 ? L"zh" : L"en") + L"-" + std::to_wstring(dpi);
}

inline bool PostKeyTo(HWND target, WPARAM vk) { return ::PostMessageW(target, WM_KEYDOWN, vk, 1) != FALSE; }

}  // namespace dialog_test
