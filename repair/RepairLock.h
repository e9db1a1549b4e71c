#pragma once
#include <windows.h>

#include <string>

#include "win/Handle.h"

// Two firmware tools started together would flash the same device and write the same
// log, and each tool instance could read the other's outcome. Every repair, windowed or
// unattended, holds this machine-wide mutex from the firmware tool's start until its log
// has been read.
extern const wchar_t kRepairLockName[];

// The firmware tool outlives a repair that is killed (Task Manager, a deployment tool's
// time-out), and the mutex is then free while the flash goes on. So the holder also
// creates this event, inheritable, before it starts the firmware tool: the command
// processor and the firmware tool inherit it and keep it in existence for as long as any
// of them runs, and no one takes the machine while it exists.
extern const wchar_t kFlashMarkerName[];

// How long an unattended run waits for another repair before it gives up.
constexpr DWORD kUnattendedLockWaitMs = 10 * 60 * 1000;

// How often a wait with nothing to wait on (someone else's object under one of the two
// names, or a flash left behind) looks again.
constexpr DWORD kLockPollMs = 250;

enum class LockResult { Acquired, TimedOut, Failed };

// What an attempt to create (or open) a named object says about its name.
enum class NameState {
    Created,   // a new object
    Existing,  // one of the same type was there and is now open
    Taken,     // someone else's: of another type, or one this process may not open
    Failed,    // anything else; the name is not the reason
};
NameState ClassifyNamedCreate(bool opened, DWORD error);

// Owns the mutex for the thread that acquired it, and the flash marker; released and
// closed on destruction.
class CRepairLock {
public:
    explicit CRepairLock(const wchar_t* lockName = kRepairLockName, const wchar_t* flashName = kFlashMarkerName);
    ~CRepairLock();
    CRepairLock(const CRepairLock&) = delete;
    CRepairLock& operator=(const CRepairLock&) = delete;

    // The machine is the caller's once it holds the mutex (taken over from a holder that
    // died, too) and no flash left behind by an earlier holder still runs; it then holds
    // the flash marker. Someone else's object under either name counts as a repair that
    // runs. timeoutMs bounds the whole wait (INFINITE: no bound).
    LockResult Acquire(DWORD timeoutMs);
    void Release();

private:
    std::wstring m_lockName;
    std::wstring m_flashName;
    win::UniqueHandle m_mutex;
    win::UniqueHandle m_flash;
    bool m_bHeld = false;
};
