#pragma once
#include <windows.h>

#include "dialogs/DialogPair.h"
#include "dialogs/FeedbackCalls.h"
#include "skin/ImageButton.h"
#include "skin/PngButton.h"

// Asks on closing whether the problem was solved and hands the answer to the
// feedback library on the library's thread while a progress prompt shows; then
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
    CProblemSolvingFeedbackChildDlg();

    FeedbackCalls m_calls;

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

private:
    // Reports the answer on the library's thread, with the progress prompt while it
    // takes, then closes the dialog. When the report cannot be queued, the failure is
    // logged and the dialog stays open.
    void Answer(int code, const wchar_t* failureText);

    bool m_bAnswering = false;
};

class CProblemSolvingFeedbackDlg : public CLayeredBackDlg {
public:
    explicit CProblemSolvingFeedbackDlg(CWnd* parent = nullptr);

    // Without a thread nothing is reported.
    void SetFeedbackCalls(const FeedbackCalls& calls) { m_calls = calls; }
    CProblemSolvingFeedbackChildDlg* Child() const { return static_cast<CProblemSolvingFeedbackChildDlg*>(m_pChild); }

protected:
    BOOL OnInitDialog() override;

private:
    FeedbackCalls m_calls;
};
