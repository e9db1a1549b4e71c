#include "repair/RepairLock.h"

const wchar_t kRepairLockName[] = L"Global\\Orvane.FastMendLUMAFWU.Repair";

CRepairLock::~CRepairLock()
{
    Release();
}

LockResult CRepairLock::Acquire(DWORD timeoutMs)
{
    if (m_bHeld)
        return LockResult::Acquired;
    if (!m_mutex)
        m_mutex.reset(::CreateMutexW(nullptr, FALSE, kRepairLockName));
    if (!m_mutex)
        return LockResult::Failed;
    switch (::WaitForSingleObject(m_mutex.get(), timeoutMs)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:
        m_bHeld = true;
        return LockResult::Acquired;
    case WAIT_TIMEOUT:
        return LockResult::TimedOut;
    default:
        return LockResult::Failed;
    }
}

void CRepairLock::Release()
{
    if (m_bHeld)
        ::ReleaseMutex(m_mutex.get());
    m_bHeld = false;
}
