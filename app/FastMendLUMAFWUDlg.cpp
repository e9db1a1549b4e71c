#include "app/FastMendLUMAFWUDlg.h"

#include "app/ToolFolder.h"
#include "repair/LUMAFWUChildDlg.h"
#include "res/resource.h"
#include "win/Gdi.h"
#include "win/Scale.h"

using win::Scaled;

namespace {

constexpr PairInsets kInsets{5, 4, 5, 7};
constexpr int kBackWidth = 410, kBackHeight = 611;
const wchar_t kTitle[] = L"Orvane 2020灯效闪烁修复工具";

UINT MainBackPng(int language) { return language == 1 ? IDP_MAIN_BACK_ZH : IDP_MAIN_BACK_EN; }

}  // namespace

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

BOOL CAboutDlg::PreTranslateMessage(MSG* msg) {
    if (IsEscOrEnterKeyDown(msg)) return TRUE;
    return CDialog::PreTranslateMessage(msg);
}

CFastMendLUMAFWUDlg::CFastMendLUMAFWUDlg(CWnd* parent)
    : CLayeredBackDlg(IDD_MAIN_BACK, parent, kInsets, 0),
      m_hIcon(::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP))) {}

CFastMendLUMAFWUDlg::~CFastMendLUMAFWUDlg() = default;

RECT CFastMendLUMAFWUDlg::CentredRect(int w, int h, float s) {
    const int left = w / 2 - static_cast<int>(kBackWidth * s / 2);
    const int top = h / 2 - static_cast<int>(kBackHeight * s / 2);
    return RECT{left, top, left + Scaled(kBackWidth, s), top + Scaled(kBackHeight, s)};
}

BOOL CFastMendLUMAFWUDlg::OnInitDialog() {
    CLayeredBackDlg::OnInitDialog();

    if (HMENU menu = ::GetSystemMenu(m_hWnd, FALSE)) {
        wchar_t about[128] = {};
        if (::LoadStringW(::GetModuleHandleW(nullptr), IDS_ABOUTBOX, about, 128) > 0 && about[0]) {
            ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, about);
        }
    }
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    const int language = CLUMAFWUChildDlg::LanguageFromLangId(::GetSystemDefaultLangID());
    SetWindowText(kTitle);
    m_fScale = win::ScreenScale();
    const float s = m_fScale;
    const RECT r = CentredRect(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), s);

    if (!DrawLayeredBack(MainBackPng(language), r.right - r.left, r.bottom - r.top)) {
        return ShowUnskinnedFailure();
    }

    auto* panel = new CLUMAFWUChildDlg();
    m_pChild = panel;
    panel->m_fScale = s;
    if (panel->Create(IDD_MAIN_PANEL, this)) {
        // The panel's first move pulls this back around it (its drag flag is set).
        // Inset each side on its own, as the surround does, so that the back lands
        // exactly on the centred rectangle it was drawn for: int(4 s) + int(7 s) can
        // be less than int(11 s) (at 120 DPI the back would lose its last row).
        panel->MoveWindow(ChildRectInBack(r, kInsets, s), TRUE);
        panel->ShowWindow(SW_SHOW);
    }
    return TRUE;
}

bool CFastMendLUMAFWUDlg::ShowUnskinnedFailure() {
    // Without its skin the window would have no content and no way to close it:
    // say so in a plain message box and end, leaving the folder in place.
    m_bCleanUpAtExit = false;
    ::ShowWindow(m_hWnd, SW_HIDE);
    ::MessageBoxW(nullptr, L"工具初始化失败 / failed to build work enviroment.", kTitle, MB_OK | MB_ICONERROR);
    EndDialog(IDCANCEL);
    return TRUE;
}

void CFastMendLUMAFWUDlg::OnSysCommand(UINT id, LPARAM lp) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
        return;
    }
    CLayeredBackDlg::OnSysCommand(id, lp);
}

void CFastMendLUMAFWUDlg::OnPaint() {
    if (!::IsIconic(m_hWnd)) {
        CLayeredBackDlg::OnPaint();
        return;
    }
    win::PaintDC dc(m_hWnd);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.get()), 0);
    const RECT c = GetClientRect();
    const int x = (c.right - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (c.bottom - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc.get(), x, y, m_hIcon);
}

LRESULT CFastMendLUMAFWUDlg::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_QUERYDRAGICON) return reinterpret_cast<LRESULT>(m_hIcon);
    return CLayeredBackDlg::WindowProc(msg, wp, lp);
}

void CFastMendLUMAFWUDlg::OnDestroy() {
    // Deletes the background image and the panel.
    CLayeredBackDlg::OnDestroy();
    if (m_bCleanUpAtExit) RemoveToolFolder();
}
