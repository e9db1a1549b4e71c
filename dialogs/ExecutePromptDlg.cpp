#include "dialogs/ExecutePromptDlg.h"

#include "dialogs/Messages.h"
#include "res/resource.h"
#include "win/Scale.h"

using win::Scaled;

namespace {

constexpr PairInsets kInsets{14, 12, 14, 16};
constexpr int kBackWidth = 232, kBackHeight = 132;
const wchar_t kRepairNotice[] = L"正在修复，请稍等";

}  // namespace

CExecutePromptChildDlg::CExecutePromptChildDlg() : CLayeredChildDlg(IDD_PROGRESS_CHILD, nullptr) {}

std::wstring CExecutePromptChildDlg::ShownText(const std::wstring& text) {
    return text.size() < 2 ? std::wstring(kRepairNotice) : text;
}

void CExecutePromptChildDlg::DoDataExchange() { m_status.SubclassDlgItem(IDC_PROGRESS_TEXT, this); }

void CExecutePromptChildDlg::OnDestroy() {
    m_status.StopDotAnimation();
    CLayeredChildDlg::OnDestroy();
}

UINT CExecutePromptChildDlg::BackgroundPng() const { return IDP_PROGRESS_CHILD; }

void CExecutePromptChildDlg::Layout(bool first) {
    const float s = m_fScale;
    const RECT c = GetClientRect();
    m_status.SetWindowText(ShownText(m_strText));
    m_status.SetAlignMode(5);
    m_status.SetFontColor(RGB(255, 255, 255));
    const int left = c.left + Scaled(10, s);
    const int top = c.top + (c.bottom - c.top) / 2 - Scaled(10, s);
    const int right = c.right - Scaled(10, s);
    const int bottom = top + Scaled(40, s);
    m_status.SetBkImageRect(10, 42, 194, 82);
    if (first) {
        m_status.SetBkImage(m_pBkImage);
        m_status.CreateFontFromParent();
        m_status.StartDotAnimation();
    }
    m_status.MoveWindow(left, top, right - left, bottom - top, TRUE);
}

CExecutePromptDlg::CExecutePromptDlg(CWnd* parent) : CLayeredBackDlg(IDD_PROGRESS_BACK, parent, kInsets, 1) {}

RECT CExecutePromptDlg::PlaceOverOwner(const RECT& p, float s) {
    const int width = Scaled(kBackWidth, s), height = Scaled(kBackHeight, s);
    const int pw = p.right - p.left, ph = p.bottom - p.top;
    const int left = p.left + static_cast<int>((pw - kBackWidth * s) / 2);
    const int top = p.top + static_cast<int>(ph / 2.0f - kBackHeight * s / 2 - 20 * s);
    return RECT{left, top, left + width, top + height};
}

BOOL CExecutePromptDlg::OnInitDialog() {
    CLayeredBackDlg::OnInitDialog();
    const float s = m_fScale;
    // Without its picture the prompt shows nothing, but a close that came before it
    // existed must still end it, or the caller would wait in it for good.
    if (DrawLayeredBack(IDP_PROGRESS_BACK, Scaled(kBackWidth, s), Scaled(kBackHeight, s))) {
        RECT owner{};
        HWND ownerWnd = GetParent();
        if (ownerWnd) {
            ::GetWindowRect(ownerWnd, &owner);
        } else {
            ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &owner, 0);
        }
        MoveWindow(PlaceOverOwner(owner, s), TRUE);

        auto* child = new CExecutePromptChildDlg();
        child->m_fScale = s;
        child->SetText(m_strText);
        CreateChild(child, IDD_PROGRESS_CHILD);
    }
    // A job that is done already gets no notice: then it ends here.
    if (m_ticket && !m_ticket->NotifyWhenDone(m_hWnd, WM_EXECUTE_PROMPT_CLOSE)) m_bClosePending = true;
    if (m_bClosePending) Close();
    return TRUE;
}

void CExecutePromptDlg::OnDestroy() {
    if (m_ticket) m_ticket->NotifyWhenDone(nullptr, 0);
    CLayeredBackDlg::OnDestroy();
}

void CExecutePromptDlg::Close() {
    if (m_hWnd) {
        m_bClosePending = false;
        SendMessage(WM_EXECUTE_PROMPT_CLOSE);
    } else {
        m_bClosePending = true;
    }
}

LRESULT CExecutePromptDlg::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_EXECUTE_PROMPT_CLOSE) {
        if (CExecutePromptChildDlg* child = Child()) child->m_status.StopDotAnimation();
        OnOK();
        return 0;
    }
    return CLayeredBackDlg::WindowProc(msg, wp, lp);
}
