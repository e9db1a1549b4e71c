#include "win/JobThread.h"

namespace win {

CJobTicket::CJobTicket() : m_done(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

bool CJobTicket::Done() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_bDone;
}

int CJobTicket::Result() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_nResult;
}

bool CJobTicket::NotifyWhenDone(HWND window, UINT message)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_notify = window;
    m_message = message;
    return !m_bDone || !window;
}

void CJobTicket::Finish(int result)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_bDone = true;
    m_nResult = result;
    // Under the lock, so that a window that has just stopped the notice is never posted
    // to; and before the event, so that whoever sees the job done finds the notice queued.
    if (m_notify)
        ::PostMessageW(m_notify, m_message, 0, 0);
    ::SetEvent(m_done.get());
}

bool CJobThread::Start()
{
    if (m_state)
        return true;
    auto state = std::make_shared<State>();
    state->pending.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!state->pending)
        return false;
    auto* held = new std::shared_ptr<State>(state);
    UniqueHandle thread(::CreateThread(nullptr, 0, &CJobThread::ThreadProc, held, 0, &state->threadId));
    if (!thread) {
        delete held;
        return false;
    }
    m_state = std::move(state);
    return true;
}

std::shared_ptr<CJobTicket> CJobThread::Post(std::function<int()> job)
{
    if (!m_state)
        return nullptr;
    auto ticket = std::make_shared<CJobTicket>();
    if (!ticket->DoneEvent())
        return nullptr;
    std::lock_guard<std::mutex> hold(m_state->lock);
    m_state->queue.emplace_back(std::move(job), ticket);
    ::SetEvent(m_state->pending.get());
    return ticket;
}

DWORD WINAPI CJobThread::ThreadProc(LPVOID param)
{
    // Never released: the thread serves until the process ends.
    std::shared_ptr<State>& state = *static_cast<std::shared_ptr<State>*>(param);
    try {
        Run(*state);
    } catch (...) {
    }
    return 0;
}

void CJobThread::Run(State& state)
{
    // No COM apartment is entered here: a job (a library that calls CoInitializeEx
    // itself) picks the one it needs, which it could not once the thread had another.
    // The thread's message queue exists before any job runs: a library loaded by the
    // first job then never sets up the window system for it inside its DllMain.
    MSG first;
    ::PeekMessageW(&first, nullptr, 0, 0, PM_NOREMOVE);
    HANDLE pending = state.pending.get();
    for (;;) {
        // One job, then one message: a window that keeps the queue busy (one that posts
        // to itself again, or never validates what it paints) cannot keep a job waiting.
        if (RunNext(state))
            continue;
        MSG msg;
        if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            // A job's window may ask the thread to quit; the thread serves on.
            if (msg.message != WM_QUIT) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
            continue;
        }
        {
            std::lock_guard<std::mutex> hold(state.lock);
            if (!state.queue.empty())
                continue;
            ::ResetEvent(pending);
        }
        ::MsgWaitForMultipleObjectsEx(1, &pending, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

bool CJobThread::RunNext(State& state)
{
    std::function<int()> job;
    std::shared_ptr<CJobTicket> ticket;
    {
        std::lock_guard<std::mutex> hold(state.lock);
        if (state.queue.empty())
            return false;
        job = std::move(state.queue.front().first);
        ticket = std::move(state.queue.front().second);
        state.queue.pop_front();
    }
    int result = 0;
    try {
        result = job();
    } catch (...) {
        result = 0;
    }
    ticket->Finish(result);
    return true;
}

bool WaitTakingSentMessages(const CJobTicket& ticket, DWORD timeoutMs)
{
    HANDLE done = ticket.DoneEvent();
    const ULONGLONG until = ::GetTickCount64() + timeoutMs;
    for (;;) {
        DWORD wait = INFINITE;
        if (timeoutMs != INFINITE) {
            const ULONGLONG now = ::GetTickCount64();
            wait = now >= until ? 0 : static_cast<DWORD>(until - now);
        }
        const DWORD r = ::MsgWaitForMultipleObjects(1, &done, FALSE, wait, QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0)
            return true;
        if (r != WAIT_OBJECT_0 + 1)
            return false;
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

}  // namespace win
