#pragma once
#include <windows.h>

#include "repair/RepairContext.h"

// Exit codes of an unattended run (FastMendLUMAFWU.exe /quiet), for deployment tools.
constexpr int kExitRepaired = 0;
constexpr int kExitFailed = 1;
constexpr int kExitNoDevice = 2;
constexpr int kExitNotRun = 3;       // the firmware tool could not be run or left no log
constexpr int kExitUnsupported = 4;  // not Windows 10.0
constexpr int kExitBusy = 5;         // another repair held the machine for the whole wait
constexpr int kExitOnBattery = 6;    // nothing was run: the machine runs on its battery

// Whether a full command line (the program's name first) asks for an unattended run:
// one of its arguments is /quiet or /q, in any case. Every other argument is ignored.
bool IsUnattendedCommandLine(const wchar_t* commandLine);

int UnattendedExitCode(RepairOutcome outcome);

// The wait for another repair: kUnattendedLockWaitMs, or the shorter number of
// milliseconds a test puts into ORV_REPAIR_LOCK_WAIT_MS (value: that variable, or null).
DWORD UnattendedLockWait(const wchar_t* value);

// The repair without any window, feedback library or agreement, and without removing
// the tool's folder. Returns the exit code.
int RunUnattended();
