#include "repair/RepairLock.h"

#include <algorithm>

const wchar_t kRepairLockName[] = L"Global\\Orvane.FastMendLUMAFWU.Repair";
const wchar_t kFlashMarkerName[] = L"Global\\Orvane.FastMendLUMAFWU.Flash";

namespace {

// The part of a wait that is left; INFINITE stays INFINITE.
class Deadline {
public:
    explicit Deadline(DWORD ms) : m_ms(ms), m_start(::GetTickCount64()) {}
    DWORD Left() const
    {
        if (m_ms == INFINITE)
            return INFINITE;
        const ULONGLONG spent = ::GetTickCount64() - m_start;
        return spent >= m_ms ? 0 : static_cast<DWORD>(m_ms - spent);
    }
    // Waits one poll interval, or what is left; false when nothing was left.
    bool Pause() const
    {
        const DWORD left = Left();
        if (left == 0)
            return false;
        ::Sleep(std::min(left, kLockPollMs));
        return true;
    }

private:
    DWORD m_ms;
    ULONGLONG m_start;
};

// The machine's repair mutex, created or opened; null with the name's state otherwise.
HANDLE OpenLockMutex(const std::wstring& name, NameState& state)
{
    ::SetLastError(ERROR_SUCCESS);
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
    DWORD error = ::GetLastError();
    if (!mutex && error == ERROR_ACCESS_DENIED) {
        // Creating asks for every right; waiting and releasing need only these two. When
        // the name holds nothing at all, the denial was about creating it.
        mutex = ::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str());
        error = mutex ? ERROR_ALREADY_EXISTS : ::GetLastError();
    }
    state = ClassifyNamedCreate(mutex != nullptr, error);
    return mutex;
}

}  // namespace

NameState ClassifyNamedCreate(bool opened, DWORD error)
{
    if (opened)
        return error == ERROR_ALREADY_EXISTS ? NameState::Existing : NameState::Created;
    // ERROR_INVALID_HANDLE: an object of another type has the name.
    return error == ERROR_INVALID_HANDLE || error == ERROR_ACCESS_DENIED ? NameState::Taken : NameState::Failed;
}

CRepairLock::CRepairLock(const wchar_t* lockName, const wchar_t* flashName)
    : m_lockName(lockName), m_flashName(flashName)
{
}

CRepairLock::~CRepairLock()
{
    Release();
}

LockResult CRepairLock::Acquire(DWORD timeoutMs)
{
    if (m_bHeld)
        return LockResult::Acquired;
    const Deadline deadline(timeoutMs);
    while (!m_mutex) {
        NameState state = NameState::Failed;
        m_mutex.reset(OpenLockMutex(m_lockName, state));
        if (m_mutex)
            break;
        if (state == NameState::Failed)
            return LockResult::Failed;
        if (!deadline.Pause())
            return LockResult::TimedOut;
    }
    switch (::WaitForSingleObject(m_mutex.get(), deadline.Left())) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:
        m_bHeld = true;
        break;
    case WAIT_TIMEOUT:
        return LockResult::TimedOut;
    default:
        return LockResult::Failed;
    }
    // A flash whose repair died may still run: the mutex then came abandoned, or from
    // someone who gave up waiting for that flash.
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    for (;;) {
        ::SetLastError(ERROR_SUCCESS);
        win::UniqueHandle flash(::CreateEventW(&inherited, TRUE, FALSE, m_flashName.c_str()));
        const NameState state = ClassifyNamedCreate(static_cast<bool>(flash), ::GetLastError());
        if (state == NameState::Created) {
            m_flash = std::move(flash);
            return LockResult::Acquired;
        }
        flash.reset();
        if (state == NameState::Failed || !deadline.Pause()) {
            Release();
            return state == NameState::Failed ? LockResult::Failed : LockResult::TimedOut;
        }
    }
}

void CRepairLock::Release()
{
    m_flash.reset();
    if (m_bHeld)
        ::ReleaseMutex(m_mutex.get());
    m_bHeld = false;
}
