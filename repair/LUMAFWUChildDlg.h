#pragma once
#include <windows.h>
#include <gdiplus.h>

#include <functional>
#include <string>

#include "dialogs/DialogPair.h"
#include "dialogs/ExecutePromptDlg.h"
#include "repair/FeedbackLibrary.h"
#include "repair/FlashGuard.h"
#include "repair/MouseHook.h"
#include "repair/PanelLayout.h"
#include "repair/RepairContext.h"
#include "skin/CheckBoxBtn.h"
#include "skin/DrawTextStatic.h"
#include "skin/ImageButton.h"
#include "skin/PngButton.h"

class CTooltipDlg;

// What the agreement box's gating thread works on: the two windows, never the panel,
// which may be gone by the time the thread runs (calls on a window that no longer
// exists simply fail).
struct RepairGate {
    HWND agreement = nullptr;
    HWND repair = nullptr;
};

// The gating thread: enables the repair button when the agreement box is ticked,
// disables it otherwise. Takes ownership of the RepairGate it is given (new).
DWORD WINAPI GateRepairButtonThreadProc(LPVOID gate);

// The main screen: the child of the main window's pair. It builds the tool's work
// environment (or ends the tool), runs repairs, and hands the links to the
// feedback library.
class CLUMAFWUChildDlg : public CLayeredChildDlg {
public:
    explicit CLUMAFWUChildDlg(CWnd* parent = nullptr);
    ~CLUMAFWUChildDlg() override;

    static constexpr UINT_PTR TIMER_HOVER = 33;
    static constexpr UINT_PTR TIMER_VERSIONCHECK = 38;

    // 1 for the Chinese interface (system language 0x0804), else 0.
    static int LanguageFromLangId(LANGID id) { return id == 0x0804 ? 1 : 0; }
    // What the English outcome prompt shows: the collected text, or a plain
    // failure text when a failed run left none.
    static std::wstring EnglishOutcomeText(int code, const std::wstring& resultText);

    int m_nLanguage = 0;

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
    UINT BackgroundPng() const override;
    void Layout(bool first) override;
    void OnTimer(UINT_PTR id) override;
    LRESULT OnNcHitTest(POINT pt) override;
    void OnLButtonDown(UINT flags, POINT pt) override;
    BOOL OnCommand(WPARAM wp, LPARAM lp) override;
    void OnDestroy() override;

private:
    void InitWorkEnvironment();
    // Shows a one-button prompt and ends the process with exit code 0.
    [[noreturn]] void FailAndExit(const wchar_t* zh, const wchar_t* en, CWnd* parent = nullptr);
    void ShowPrompt(const std::wstring& text, CWnd* parent = nullptr);
    void LayoutControls(int first);
    void CheckNewVersion();
    void OnRepair();
    void OnClose();
    void ReportPlainClose();
    // Makes one call into the feedback library on the library's thread and returns its
    // answer, however long it takes; a slow library never freezes the window, and when
    // the call takes more than a moment a progress prompt with the given text shows
    // until it returns.
    int CallLibrary(std::function<int(CFeedbackLibrary&)> call, const wchar_t* zh, const wchar_t* en);
    void OnAgreementClicked();
    void OpenFeedbackPage();
    void AgreementLinkStep(POINT screen);
    // Shows the agreement viewer, with the keyboard in it, or hides it.
    void ToggleViewer();
    // Hides the viewer; the keyboard it had goes back to the agreement link.
    void HideViewer();
    void OnHookButtonDown();
    LRESULT OnRepairResult(WPARAM code);

    RECT m_rcClient{};
    CDrawTextStatic m_stVersion;
    CPngButton m_btnClose;
    CPngButton m_btnMinimize;
    CImageButton m_btnRepair;
    CImageButton m_btnMoreTools;
    CCheckBoxBtn m_chkAgree;
    CDrawTextStatic m_stAgreementLink;
    CDrawTextStatic m_stFeedbackLink;
    CFeedbackLibrary& m_feedback = CFeedbackLibrary::ForProcess();
    CMouseHook m_hook;
    CRepairContext m_repair;
    // Once a repair has begun the new-version check never runs: its answer "new version"
    // ends the tool, which must not happen under a flash.
    bool m_bRepairBegun = false;
    CShutdownBlockReason m_shutdownReason;
    CExecutePromptDlg* m_pExecutePrompt = nullptr;
    CTooltipDlg* m_pTooltip = nullptr;
};
