#include "repair/MouseHook.h"

#include "dialogs/Messages.h"

namespace {
HWND g_target = nullptr;
HHOOK g_hook = nullptr;
}  // namespace

CMouseHook::CMouseHook() {
    g_target = nullptr;
    g_hook = nullptr;
}

int CMouseHook::SetTarget(HWND target) {
    if (!target) return 0;
    g_target = target;
    return 1;
}

int CMouseHook::Install() {
    g_hook = ::SetWindowsHookExW(WH_MOUSE_LL, &CMouseHook::MouseHookProc, nullptr, 0);
    return g_hook != nullptr;
}

void CMouseHook::Remove() {
    if (g_hook) {
        ::UnhookWindowsHookEx(g_hook);
        g_hook = nullptr;
    }
}

LRESULT CALLBACK CMouseHook::MouseHookProc(int code, WPARAM wp, LPARAM lp) {
    // Only posts: a slow low-level hook is removed by the system.
    if (wp == WM_LBUTTONDOWN && g_target) ::PostMessageW(g_target, WM_HOOK_LBUTTONDOWN, wp, lp);
    return ::CallNextHookEx(g_hook, code, wp, lp);
}
