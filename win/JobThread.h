#pragma once
#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "win/Handle.h"

namespace win {

// One job handed to a CJobThread: its answer, and who is told when it is there.
class CJobTicket {
public:
    CJobTicket();
    bool Done() const;
    // The job's answer (0 when it failed by exception); meaningful once Done().
    int Result() const;
    // Signalled when the job is done.
    HANDLE DoneEvent() const { return m_done.get(); }
    // Posts `message` to `window` when the job is done. False, posting nothing, when it
    // is done already. Null stops the notice (a window that goes away must do that).
    bool NotifyWhenDone(HWND window, UINT message);

private:
    friend class CJobThread;
    void Finish(int result);

    mutable std::mutex m_lock;
    bool m_bDone = false;
    int m_nResult = 0;
    HWND m_notify = nullptr;
    UINT m_message = 0;
    UniqueHandle m_done;
};

// A thread that lives as long as the process and runs the jobs given to it one at a
// time, in the order given. Between jobs, and while it waits for one, it dispatches its
// messages one at a time, so that windows, timers and apartment state that a job
// leaves behind on it live on and are served; a job that is waiting runs before the
// next message. It enters no COM apartment itself: its jobs choose. It is never
// stopped: what a job set up there may be in use until the process ends.
class CJobThread {
public:
    CJobThread() = default;
    CJobThread(const CJobThread&) = delete;
    CJobThread& operator=(const CJobThread&) = delete;

    // Starts the thread once; false when it could not be started.
    bool Start();
    bool Running() const { return m_state != nullptr; }
    DWORD ThreadId() const { return m_state ? m_state->threadId : 0; }
    // Queues a job; null when the thread is not running.
    std::shared_ptr<CJobTicket> Post(std::function<int()> job);

private:
    // What the thread works on; it holds its own reference, so that the thread never
    // reaches a freed object, whatever becomes of this one.
    struct State {
        std::mutex lock;
        std::deque<std::pair<std::function<int()>, std::shared_ptr<CJobTicket>>> queue;
        // Set while jobs wait; a job's own modal loop can never swallow it, as it could
        // a thread message.
        UniqueHandle pending;
        DWORD threadId = 0;
    };
    static DWORD WINAPI ThreadProc(LPVOID param);
    static void Run(State& state);
    // Runs the first job queued; false when there was none.
    static bool RunNext(State& state);

    std::shared_ptr<State> m_state;
};

// Waits for a job while this thread takes the messages other threads send it (a
// low-level hook of this thread is called that way). True when it was done in time.
bool WaitTakingSentMessages(const CJobTicket& ticket, DWORD timeoutMs);

}  // namespace win
