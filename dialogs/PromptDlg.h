#pragma once
#include <string>

#include "dialogs/DialogPair.h"
#include "skin/DrawTextStatic.h"
#include "skin/PngButton.h"

// The tool's message box: one text and one or two picture buttons, Chinese or
// English pictures. DoModal returns IDOK for the first button, IDCANCEL for the
// second and for the close button.

// Pictures (normal, hover, pressed, disabled), names and placement of the two
// buttons. A button's name is the word its pictures show, for screen readers.
struct PromptButtons {
    UINT first[4];
    UINT second[4];
    const wchar_t* firstName;
    const wchar_t* secondName;
    bool showSecond;
    bool centreFirst;
};
PromptButtons PromptButtonsFor(int mode, int language);

class CPromptChildDlg : public CLayeredChildDlg {
public:
    CPromptChildDlg();

    std::wstring m_strText;
    int m_nMode = 1;
    int m_nLanguage = 0;

    CPngButton m_btnClose;
    CPngButton m_btnFirst;
    CPngButton m_btnSecond;
    CDrawTextStatic m_stText;

protected:
    void DoDataExchange() override;
    UINT BackgroundPng() const override;
    void Layout(bool first) override;
    BOOL OnCommand(WPARAM wp, LPARAM lp) override;
    void OnDestroy() override;

private:
};

class CPromptDlg : public CLayeredBackDlg {
public:
    explicit CPromptDlg(CWnd* parent = nullptr);

    void SetText(const std::wstring& text) { m_strText = text; }
    void SetButtonMode(int mode) { m_nMode = mode; }
    CPromptChildDlg* Child() const { return static_cast<CPromptChildDlg*>(m_pChild); }

    int m_nLanguage = 0;

protected:
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    std::wstring m_strText;
    int m_nMode = 1;
};
