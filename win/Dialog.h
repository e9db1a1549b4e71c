#pragma once
#include "win/Wnd.h"

// A dialog made from a numbered template of the program's resources, run modally
// (DoModal) or modelessly (Create). The dialog manager's procedure only hands over
// WM_INITDIALOG; the window is then subclassed like any other CWnd.
class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    ~CDialog() override;

    // Runs the dialog modally. With no parent the owner is the main window's last
    // active popup; the owner (and the top-level window above it) stays disabled
    // while the dialog runs. Returns the EndDialog result, or -1 when the dialog
    // could not be created.
    virtual INT_PTR DoModal();
    // Creates the dialog modelessly with the given parent as owner.
    virtual BOOL Create(UINT templateId, CWnd* parent);
    // For a modal dialog: hides it and enables its owner at once; DoModal returns
    // `result` once its loop gets control back.
    void EndDialog(INT_PTR result);
    bool IsModal() const { return m_modal; }

    BOOL PreTranslateMessage(MSG* msg) override;

    // The centre of the owner (or the screen's work area when there is none).
    void CenterWindow(HWND over = nullptr);
    // Moves the keyboard focus to a control of this dialog, as Tab would.
    void GotoDlgCtrl(HWND control);

protected:
    virtual BOOL OnInitDialog();
    // Binds the template's controls to their objects; called by OnInitDialog.
    virtual void DoDataExchange() {}
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

    UINT m_templateId;
    CWnd* m_pParent;

private:
    static INT_PTR CALLBACK StaticDlgProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    HWND CreateFromTemplate(HWND owner);
    // Ends a modal dialog's presence: the owner it disabled takes input again, the
    // window hides, and activation goes back to the owner if it was here.
    void LeaveScreen();

    bool m_modal = false;
    bool m_endModal = false;
    HWND m_hDisabledOwner = nullptr;
    INT_PTR m_result = -1;
};

// Keys that no dialog of the tool acts on.
bool IsEscOrEnterKeyDown(const MSG* msg);
// Whether a dialog of the tool shows focus cues: once the user works with the
// keyboard in it, or when it opened right after a key press.
bool DialogShowsFocusCues(HWND dialog);

// Picks the owner of a modal dialog the way the dialog framework does: the given
// parent (or the main window) moved up to a top-level window, then, when no parent
// was given, its last active popup. *top receives the top-level window to disable
// as well (null when it is the owner itself or already disabled).
HWND GetSafeOwner(HWND parent, HWND* top);
