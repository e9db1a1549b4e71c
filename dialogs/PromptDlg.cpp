#include "dialogs/PromptDlg.h"

#include "dialogs/Messages.h"
#include "res/resource.h"
#include "win/Scale.h"

using win::Scaled;

namespace {

constexpr PairInsets kInsets{5, 3, 5, 7};
constexpr int kBackWidth = 336, kBackHeight = 156;
constexpr int kStripHeight = 30, kStripExcludeRight = 26;

constexpr UINT kYesZh[4] = {IDP_YES_ZH_NORMAL, IDP_YES_ZH_HOVER, IDP_YES_ZH_PRESSED, IDP_YES_ZH_PRESSED};
constexpr UINT kNoZh[4] = {IDP_NO_ZH_NORMAL, IDP_NO_ZH_HOVER, IDP_NO_ZH_PRESSED, IDP_NO_ZH_PRESSED};
constexpr UINT kConfirmZh[4] = {IDP_CONFIRM_ZH_NORMAL, IDP_CONFIRM_ZH_HOVER, IDP_CONFIRM_ZH_PRESSED,
                                IDP_CONFIRM_ZH_PRESSED};
constexpr UINT kCancelZh[4] = {IDP_CANCEL_ZH_NORMAL, IDP_CANCEL_ZH_HOVER, IDP_CANCEL_ZH_PRESSED,
                               IDP_CANCEL_ZH_PRESSED};
constexpr UINT kOkEn[4] = {IDP_OK_EN_NORMAL, IDP_OK_EN_HOVER, IDP_OK_EN_PRESSED, IDP_OK_EN_PRESSED};
constexpr UINT kNoEn[4] = {IDP_NO_EN_NORMAL, IDP_NO_EN_HOVER, IDP_NO_EN_PRESSED, IDP_NO_EN_PRESSED};
constexpr UINT kCancelEn[4] = {IDP_CANCEL_EN_NORMAL, IDP_CANCEL_EN_HOVER, IDP_CANCEL_EN_PRESSED,
                               IDP_CANCEL_EN_PRESSED};

void Copy4(UINT (&dst)[4], const UINT (&src)[4]) {
    for (int i = 0; i < 4; ++i) dst[i] = src[i];
}

void MoveTo(CWnd& w, int left, int top, int width, int height) { w.MoveWindow(left, top, width, height, TRUE); }

}  // namespace

PromptButtons PromptButtonsFor(int mode, int language) {
    const bool zh = language == 1;
    const bool confirmSet = mode == 3 || mode == 4;
    PromptButtons b{};
    Copy4(b.first, zh ? (confirmSet ? kConfirmZh : kYesZh) : kOkEn);
    Copy4(b.second, zh ? (confirmSet ? kCancelZh : kNoZh) : (confirmSet ? kCancelEn : kNoEn));
    b.firstName = zh ? (confirmSet ? L"确认" : L"是") : L"OK";
    b.secondName = zh ? (confirmSet ? L"取消" : L"否") : (confirmSet ? L"Cancel" : L"NO");
    b.showSecond = mode == 2 || mode == 4;
    b.centreFirst = mode == 1 || mode == 3;
    return b;
}

CPromptChildDlg::CPromptChildDlg() : CLayeredChildDlg(IDD_PROMPT_CHILD, nullptr, kStripHeight, kStripExcludeRight) {}

UINT CPromptChildDlg::BackgroundPng() const {
    return m_nLanguage == 1 ? IDP_PROMPT_CHILD_ZH : IDP_PROMPT_CHILD_EN;
}

void CPromptChildDlg::DoDataExchange() {
    m_btnClose.SubclassDlgItem(IDC_CLOSE, this);
    m_btnFirst.SubclassDlgItem(IDC_PROMPT_FIRST, this);
    m_btnSecond.SubclassDlgItem(IDC_PROMPT_SECOND, this);
    m_stText.SubclassDlgItem(IDC_PROMPT_TEXT, this);
}

BOOL CPromptChildDlg::OnCommand(WPARAM wp, LPARAM) {
    if (HIWORD(wp) != BN_CLICKED) return FALSE;
    HWND back = GetParent();
    switch (LOWORD(wp)) {
    case IDC_PROMPT_FIRST: ::SendMessageW(back, WM_PROMPT_RESULT, 1, 0); return TRUE;
    case IDC_PROMPT_SECOND: ::SendMessageW(back, WM_PROMPT_RESULT, 2, 0); return TRUE;
    case IDC_CLOSE: ::SendMessageW(back, WM_CLOSE, 0, 0); return TRUE;
    default: return FALSE;
    }
}

void CPromptChildDlg::OnDestroy() {
    CLayeredChildDlg::OnDestroy();
    m_btnClose.ReleaseImages();
    m_btnFirst.ReleaseImages();
    m_btnSecond.ReleaseImages();
}

void CPromptChildDlg::Layout(bool first) {
    const float s = m_fScale;
    const RECT c = GetClientRect();
    const int half = (c.right - c.left) / 2;

    MoveTo(m_btnClose, c.right - Scaled(26, s), c.top + Scaled(8, s), Scaled(12, s), Scaled(12, s));
    if (first) {
        m_btnClose.m_fScale = s;
        m_btnClose.SetBkImage(m_pBkImage);
        m_btnClose.SetBkImageRect(321, 8, 333, 20);
        m_btnClose.SetImages(IDP_PROMPT_CLOSE_NORMAL, IDP_PROMPT_CLOSE_HOVER, IDP_PROMPT_CLOSE_PRESSED,
                             IDP_PROMPT_CLOSE_PRESSED);
    }

    const int buttonW = Scaled(55, s), buttonH = Scaled(24, s), buttonTop = Scaled(107, s);
    MoveTo(m_btnFirst, half - Scaled(55, s) - Scaled(12, s), buttonTop, buttonW, buttonH);
    MoveTo(m_btnSecond, half + Scaled(12, s), buttonTop, buttonW, buttonH);
    if (first) {
        m_btnFirst.SetBkImage(m_pBkImage);
        m_btnFirst.SetBkImageRect(106, 107, 161, 131);
        m_btnSecond.SetBkImage(m_pBkImage);
        m_btnSecond.SetBkImageRect(185, 107, 240, 131);
    }

    const PromptButtons b = PromptButtonsFor(m_nMode, m_nLanguage);
    if (first) {
        m_btnFirst.SetImages(b.first[0], b.first[1], b.first[2], b.first[3]);
        m_btnSecond.SetImages(b.second[0], b.second[1], b.second[2], b.second[3]);
        // What screen readers say; the pictures carry the words on screen.
        m_btnFirst.SetWindowText(b.firstName);
        m_btnSecond.SetWindowText(b.secondName);
        m_btnClose.SetWindowText(m_nLanguage == 1 ? L"关闭" : L"Close");
        SetWindowText(m_nLanguage == 1 ? L"提示" : L"Notice");
    }
    m_btnFirst.ShowWindow(SW_SHOW);
    m_btnSecond.ShowWindow(b.showSecond ? SW_SHOW : SW_HIDE);
    if (b.centreFirst) MoveTo(m_btnFirst, half - static_cast<int>(55 * s / 2), buttonTop, buttonW, buttonH);

    if (first) m_stText.CreateFontFromParent();
    m_stText.SetWindowText(m_strText);
    const int left = c.left + Scaled(10, s), top = c.top + Scaled(50, s);
    MoveTo(m_stText, left, top, c.right - Scaled(10, s) - left, c.bottom - Scaled(40, s) - top);
}

CPromptDlg::CPromptDlg(CWnd* parent) : CLayeredBackDlg(IDD_PROMPT_BACK, parent, kInsets, 1) {}

BOOL CPromptDlg::OnInitDialog() {
    CLayeredBackDlg::OnInitDialog();
    const float s = m_fScale;
    const UINT png = m_nLanguage == 1 ? IDP_PROMPT_BACK_ZH : IDP_PROMPT_BACK_EN;
    if (!DrawLayeredBack(png, Scaled(kBackWidth, s), Scaled(kBackHeight, s))) return TRUE;

    auto* child = new CPromptChildDlg();
    child->m_nLanguage = m_nLanguage;
    child->m_fScale = s;
    child->m_strText = m_strText;
    child->m_nMode = m_nMode;
    CreateChild(child, IDD_PROMPT_CHILD);
    // Not moved here: the dialog is centred over its owner after initialisation,
    // and the back's move carries the child along.
    return TRUE;
}

LRESULT CPromptDlg::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PROMPT_RESULT) {
        if (wp == 1) OnOK(); else OnCancel();
        return 0;
    }
    return CLayeredBackDlg::WindowProc(msg, wp, lp);
}
