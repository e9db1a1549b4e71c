#include "dialogs/JobWait.h"

#include "dialogs/ExecutePromptDlg.h"

int RunWithProgress(win::CJobThread& thread, std::function<int()> job, CWnd* owner, const std::wstring& text,
                    float scale, bool* failed)
{
    const std::shared_ptr<win::CJobTicket> ticket = thread.Post(std::move(job));
    if (failed)
        *failed = !ticket;
    if (!ticket)
        return 0;
    if (!win::WaitTakingSentMessages(*ticket, kJobGraceMs)) {
        CExecutePromptDlg prompt(owner);
        prompt.SetText(text);
        prompt.m_fScale = scale;
        prompt.CloseWhenDone(ticket);
        prompt.DoModal();
    }
    // The prompt ends only once the job is done; without one it is done already.
    win::WaitTakingSentMessages(*ticket, INFINITE);
    return ticket->Result();
}
