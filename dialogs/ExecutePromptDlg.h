#pragma once
#include <memory>
#include <string>

#include "dialogs/DialogPair.h"
#include "skin/DrawStateInfoStatic.h"
#include "win/JobThread.h"

// The progress prompt: a status line with growing dots over a small layered
// picture, shown modally while a job runs on another thread. Only
// WM_EXECUTE_PROMPT_CLOSE ends it (with IDOK).
class CExecutePromptChildDlg : public CLayeredChildDlg {
public:
    CExecutePromptChildDlg();
    void SetText(const std::wstring& text) { m_strText = text; }
    // The text the status line shows: the given one, or the repair notice when
    // it has fewer than two characters.
    static std::wstring ShownText(const std::wstring& text);

    CDrawStateInfoStatic m_status;

protected:
    void DoDataExchange() override;
    UINT BackgroundPng() const override;
    void Layout(bool first) override;
    void OnDestroy() override;

private:
    std::wstring m_strText;
};

class CExecutePromptDlg : public CLayeredBackDlg {
public:
    explicit CExecutePromptDlg(CWnd* parent = nullptr);
    void SetText(const std::wstring& text) { m_strText = text; }
    CExecutePromptChildDlg* Child() const { return static_cast<CExecutePromptChildDlg*>(m_pChild); }
    // Ends the prompt: at once when it runs, or as soon as it starts when the job
    // finished before the prompt's window existed.
    void Close();
    // Ends the prompt when the job is done, from whichever thread finishes it.
    void CloseWhenDone(std::shared_ptr<win::CJobTicket> ticket) { m_ticket = std::move(ticket); }

    // Where the back goes over its owner's window rectangle: centred
    // horizontally, 20 design pixels above the owner's middle.
    static RECT PlaceOverOwner(const RECT& owner, float scale);

protected:
    BOOL OnInitDialog() override;
    // The job goes on whatever the user does, so a close request of the system
    // (Alt+F4, the system menu) is ignored: ending the prompt early would give the
    // caller back its window, and with it a second start, while the job still runs.
    void OnCancel() override {}
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnDestroy() override;

private:
    std::wstring m_strText;
    bool m_bClosePending = false;
    std::shared_ptr<win::CJobTicket> m_ticket;
};
