#pragma once
#include <windows.h>

#include "win/Handle.h"

// Two firmware tools started together would flash the same device and write the same
// log, and each tool instance could read the other's outcome. Every repair, windowed or
// unattended, holds this machine-wide mutex from the firmware tool's start until its log
// has been read.
extern const wchar_t kRepairLockName[];

// How long an unattended run waits for another repair before it gives up.
constexpr DWORD kUnattendedLockWaitMs = 10 * 60 * 1000;

enum class LockResult { Acquired, TimedOut, Failed };

// Owns the mutex for the thread that acquired it; released and closed on destruction.
class CRepairLock {
public:
    CRepairLock() = default;
    ~CRepairLock();
    CRepairLock(const CRepairLock&) = delete;
    CRepairLock& operator=(const CRepairLock&) = delete;

    // A mutex abandoned by a repair that died counts as acquired: its holder is gone.
    LockResult Acquire(DWORD timeoutMs);
    void Release();

private:
    win::UniqueHandle m_mutex;
    bool m_bHeld = false;
};
