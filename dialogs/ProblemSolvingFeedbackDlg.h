#pragma once
#include <windows.h>

#include "dialogs/DialogPair.h"
#include "repair/FeedbackLibrary.h"
#include "skin/ImageButton.h"
#include "skin/PngButton.h"

class CExecutePromptDlg;

// Asks on closing whether the problem was solved and hands the answer to the
// feedback library on a thread of its own while a progress prompt shows; then
// closes itself. DoModal's result carries nothing.

// Answer codes of the feedback library.
constexpr int kFeedbackAnswerSolved = 1;
constexpr int kFeedbackAnswerUnsolved = 2;
constexpr int kFeedbackAnswerClosed = 3;

// The child's controls for a client rectangle and scale. The three large buttons
// are, in this order, "解决", "未解决" and "更多方案"; sources are the parts of the
// child's picture behind them, and a click counts only inside a button shrunk by
// the hit margin.
struct FeedbackLayout {
    RECT close;
    RECT buttons[3];
    RECT sources[3];
    int hitMargin;
};
FeedbackLayout ComputeFeedbackLayout(const RECT& client, float scale);

class CProblemSolvingFeedbackChildDlg : public CLayeredChildDlg {
public:
    // Sent by an answer thread once the library calls have returned.
    static constexpr UINT WM_FEEDBACK_ANSWERED = WM_USER + 540;

    // How answer threads are started; tests put a failing or a finish-first
    // version in its place.
    using CreateThreadFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD,
                                           LPDWORD);
    static CreateThreadFn s_pfnCreateThread;

    CProblemSolvingFeedbackChildDlg();
    ~CProblemSolvingFeedbackChildDlg() override;

    CFeedbackLibrary* m_pFeedbackLibrary = nullptr;
    UINT m_nPatienceMs = kFeedbackPatienceMs;

    CPngButton m_btnClose;
    CImageButton m_btnSolved;
    CImageButton m_btnUnsolved;
    CImageButton m_btnMoreSolutions;

protected:
    void DoDataExchange() override;
    UINT BackgroundPng() const override;
    void Layout(bool first) override;
    BOOL OnCommand(WPARAM wp, LPARAM lp) override;
    void OnDestroy() override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnTimer(UINT_PTR id) override;

private:
    static constexpr UINT_PTR TIMER_PATIENCE = 41;
    // Starts the answer thread and shows the progress prompt until it reports.
    void Answer(int code, const wchar_t* threadFailureText);
    // The thread is done (or taking too long): closes the prompt if it runs, then
    // the dialog. Only the first call counts.
    void OnAnswered();

    CExecutePromptDlg* m_pExecutePrompt = nullptr;
    bool m_bAnswering = false;
    bool m_bAnswered = false;
};

class CProblemSolvingFeedbackDlg : public CLayeredBackDlg {
public:
    explicit CProblemSolvingFeedbackDlg(CWnd* parent = nullptr);

    // Not owned; may be null, and then nothing is reported.
    void SetFeedbackLibrary(CFeedbackLibrary* library) { m_pFeedbackLibrary = library; }
    // How long the answer may take before the dialog closes without it.
    void SetPatience(UINT ms) { m_nPatienceMs = ms; }
    CProblemSolvingFeedbackChildDlg* Child() const { return static_cast<CProblemSolvingFeedbackChildDlg*>(m_pChild); }

protected:
    BOOL OnInitDialog() override;

private:
    CFeedbackLibrary* m_pFeedbackLibrary = nullptr;
    UINT m_nPatienceMs = kFeedbackPatienceMs;
};
