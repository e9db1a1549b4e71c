#pragma once
#include <windows.h>

// Messages between the repair worker, the main panel and the prompt dialogs.
constexpr UINT WM_EXECUTE_PROMPT_CLOSE = WM_USER + 501;  // 0x5F5: close the progress prompt
constexpr UINT WM_REPAIR_RESULT = WM_USER + 502;         // 0x5F6: wParam is an outcome code
constexpr UINT WM_FLASH_STATE = WM_USER + 503;           // 0x5F7: wParam 1 the firmware tool starts, 0 it has ended
constexpr UINT WM_PROMPT_RESULT = WM_USER + 533;         // 0x615: wParam 1 IDOK, else IDCANCEL
constexpr UINT WM_HOOK_LBUTTONDOWN = WM_USER + 1000;     // 0x7E8: a left button went down anywhere
// Agreement viewer to its owner: the keyboard left the viewer (Tab or Shift+Tab).
constexpr UINT WM_VIEWER_LEAVE = WM_USER + 1100;

// Outcome codes carried by WM_REPAIR_RESULT.
constexpr int REPAIR_SUCCESS = 1;
constexpr int REPAIR_FAILED = 2;
constexpr int REPAIR_NODEVICE = 3;
// Not an outcome: nothing was run because the machine runs on its battery. Kept apart
// from the three, whose neighbours (0, 4) show nothing.
constexpr int REPAIR_ON_BATTERY = 10;

static_assert(WM_EXECUTE_PROMPT_CLOSE == 0x5F5 && WM_REPAIR_RESULT == 0x5F6 &&
              WM_PROMPT_RESULT == 0x615 && WM_HOOK_LBUTTONDOWN == 0x7E8,
              "message values are shared with the dialogs");
