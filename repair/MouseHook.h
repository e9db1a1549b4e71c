#pragma once
#include <windows.h>

// A low-level mouse hook that tells one window about every left-button press on
// the screen (so the panel can hide its agreement viewer on a click elsewhere).
// The target and the hook handle are process-wide.
class CMouseHook {
public:
    CMouseHook();
    static int SetTarget(HWND target);
    static int Install();
    static void Remove();
    static LRESULT CALLBACK MouseHookProc(int code, WPARAM wp, LPARAM lp);
};
