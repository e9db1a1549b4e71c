#pragma once
#include <windows.h>

#include <string>

#include "win/SessionEnd.h"

// The platform calls made around a flash. Wine shows the effect of none of them, so
// tests put recorders in their place.
struct FlashCalls {
    EXECUTION_STATE(WINAPI* setExecutionState)(EXECUTION_STATE) = &::SetThreadExecutionState;
    BOOL(WINAPI* blockReasonCreate)(HWND, LPCWSTR) = &::ShutdownBlockReasonCreate;
    BOOL(WINAPI* blockReasonDestroy)(HWND) = &::ShutdownBlockReasonDestroy;
};

// Held on the thread that runs the firmware tool, from just before its start until it
// has ended, on every path. Meanwhile the machine does not fall asleep on its own (the
// state belongs to this thread), every window of the tool refuses to let the session end,
// and the panel, when there is one, is told (WM_FLASH_STATE) so that it gives the system
// the reason.
class CFlashGuard {
public:
    CFlashGuard(const FlashCalls& calls, HWND panel);
    ~CFlashGuard();
    CFlashGuard(const CFlashGuard&) = delete;
    CFlashGuard& operator=(const CFlashGuard&) = delete;

private:
    FlashCalls m_calls;
    HWND m_hPanel;
    win::CSessionEndHold m_hold;
};

// What the system shows beside the tool while it refuses to let the session end.
std::wstring ShutdownBlockReasonText(int language);

// The panel's side of a flash: the reason belongs to a window of the user-interface
// thread and is given and taken back there.
class CShutdownBlockReason {
public:
    explicit CShutdownBlockReason(const FlashCalls& calls = FlashCalls()) : m_calls(calls) {}
    ~CShutdownBlockReason() { Clear(); }
    CShutdownBlockReason(const CShutdownBlockReason&) = delete;
    CShutdownBlockReason& operator=(const CShutdownBlockReason&) = delete;

    // Gives window's reason; once, however often it is asked while set.
    void Set(HWND window, int language);
    void Clear();

private:
    FlashCalls m_calls;
    HWND m_hWindow = nullptr;
};
