#include "repair/LUMAFWUChildDlg.h"

#include <array>
#include <memory>
#include <new>

#include "dialogs/JobWait.h"
#include "dialogs/Messages.h"
#include "dialogs/ProblemSolvingFeedbackDlg.h"
#include "dialogs/PromptDlg.h"
#include "dialogs/TooltipDlg.h"
#include "log/Gbk.h"
#include "log/LogSave.h"
#include "repair/ExeFolder.h"
#include "repair/SystemVersion.h"
#include "res/resource.h"
#include "skin/PngResource.h"
#include "win/Gdi.h"
#include "win/Scale.h"


namespace {

const wchar_t kInitFailedZh[] = L"工具初始化失败";
const wchar_t kInitFailedEn[] = L"failed to build work enviroment.";
const wchar_t kAgreeText[] = L"同意《Corvel服务工具使用许可协议》";
const wchar_t kFeedbackText[] = L"反馈问题";

void Place(CWnd& w, const RECT& r) { w.MoveWindow(r, TRUE); }

// The pictures of the panel's skinned buttons: normal, hover, pressed, disabled.
using PngSet = std::array<UINT, 4>;
constexpr PngSet kClosePngs{IDP_CLOSE_NORMAL, IDP_CLOSE_HOVER, IDP_CLOSE_PRESSED, IDP_CLOSE_DISABLED};
constexpr PngSet kMinimizePngs{IDP_MINIMIZE_NORMAL, IDP_MINIMIZE_HOVER, IDP_MINIMIZE_PRESSED, IDP_MINIMIZE_DISABLED};
constexpr PngSet kRepairZhPngs{IDP_REPAIR_ZH_NORMAL, IDP_REPAIR_ZH_HOVER, IDP_REPAIR_ZH_PRESSED, IDP_REPAIR_ZH_DISABLED};
constexpr PngSet kRepairEnPngs{IDP_REPAIR_EN_NORMAL, IDP_REPAIR_EN_HOVER, IDP_REPAIR_EN_PRESSED, IDP_REPAIR_EN_DISABLED};
constexpr PngSet kMoreToolsPngs{IDP_MORE_TOOLS_NORMAL, IDP_MORE_TOOLS_HOVER, IDP_MORE_TOOLS_PRESSED,
                                IDP_MORE_TOOLS_DISABLED};

UINT PanelBackPng(int language) { return language == 1 ? IDP_MAIN_PANEL_ZH : IDP_MAIN_PANEL_EN; }

// What screen readers say for the panel and for the controls that English shows: the
// words of the English pictures (the glyphs' meaning where a picture has none). The
// Chinese names are the templates' texts.
const wchar_t kPanelNameZh[] = L"Orvane 2020灯效闪烁修复工具";
const wchar_t kPanelNameEn[] = L"Orvane 2020 Lighting Flicker Repair";
struct ControlName {
    int id;
    const wchar_t* en;
};
constexpr ControlName kEnglishNames[] = {{IDC_REPAIR, L"Fix it"}, {IDC_MINIMIZE, L"Minimize"}, {IDC_CLOSE, L"Close"}};

template <typename Button>
void SetImages(Button& button, const PngSet& set) {
    button.SetImages(set[0], set[1], set[2], set[3]);
}

}  // namespace

CLUMAFWUChildDlg::CLUMAFWUChildDlg(CWnd* parent)
    : CLayeredChildDlg(IDD_MAIN_PANEL, parent, kPanelStripHeight, kPanelStripExcludeRight, true) {
    // The panel drives the main pair from the start: its first move pulls the
    // back around it.
    m_nDrag = 1;
}

CLUMAFWUChildDlg::~CLUMAFWUChildDlg() {
    delete m_pExecutePrompt;
    delete m_pTooltip;
}

std::wstring CLUMAFWUChildDlg::EnglishOutcomeText(int code, const std::wstring& resultText) {
    if (!resultText.empty() || code != REPAIR_FAILED) return resultText;
    return L"Failed: the firmware tool could not be run, or it left no log.";
}

UINT CLUMAFWUChildDlg::BackgroundPng() const { return PanelBackPng(m_nLanguage); }

void CLUMAFWUChildDlg::Layout(bool first) { LayoutControls(first ? 1 : 0); }

void CLUMAFWUChildDlg::DoDataExchange() {
    m_btnRepair.SubclassDlgItem(IDC_REPAIR, this);
    m_btnClose.SubclassDlgItem(IDC_CLOSE, this);
    m_btnMinimize.SubclassDlgItem(IDC_MINIMIZE, this);
    m_stVersion.SubclassDlgItem(IDC_VERSION, this);
    m_btnMoreTools.SubclassDlgItem(IDC_MORE_TOOLS, this);
    m_chkAgree.SubclassDlgItem(IDC_AGREE, this);
    m_stAgreementLink.SubclassDlgItem(IDC_AGREEMENT_LINK, this);
    m_stFeedbackLink.SubclassDlgItem(IDC_FEEDBACK_LINK, this);
}

BOOL CLUMAFWUChildDlg::OnInitDialog() {
    // Not the pair's default: the work environment comes between the skin and the layout.
    CDialog::OnInitDialog();
    m_nLanguage = LanguageFromLangId(::GetSystemDefaultLangID());
    if (!EnsureBkImage(BackgroundPng())) {
        // Without its skin the panel would be an empty window with nothing to
        // press; tell the user and end like any other failed start.
        FailAndExit(kInitFailedZh, kInitFailedEn);
    }
    InitWorkEnvironment();
    LayoutControls(1);
    SetTimer(TIMER_HOVER, 100);
    SetTimer(TIMER_VERSIONCHECK, 100);
    m_bInitialized = true;
    return TRUE;
}

void CLUMAFWUChildDlg::ShowPrompt(const std::wstring& text, CWnd* parent) {
    CPromptDlg prompt(parent);
    prompt.m_nLanguage = m_nLanguage;
    prompt.m_fScale = m_fScale;
    prompt.SetText(text);
    prompt.SetButtonMode(3);
    prompt.DoModal();
}

void CLUMAFWUChildDlg::FailAndExit(const wchar_t* zh, const wchar_t* en, CWnd* parent) {
    ShowPrompt(m_nLanguage == 1 ? zh : en, parent);
    ::ExitProcess(0);
}

void CLUMAFWUChildDlg::InitWorkEnvironment() {
    if (!m_repair.SetPanelWindow(m_hWnd)) FailAndExit(kInitFailedZh, kInitFailedEn);
    if (!IsSupportedSystemVersion()) {
        FailAndExit(L"此工具不支持当前系统", L"This tool does not support current operation system.");
    }
    m_repair.SetLanguage(m_nLanguage);
    if (!CMouseHook::SetTarget(m_hWnd)) FailAndExit(kInitFailedZh, kInitFailedEn);
    if (!CMouseHook::Install()) FailAndExit(kInitFailedZh, kInitFailedEn);
    if (!m_feedback.Thread().Start()) FailAndExit(kInitFailedZh, kInitFailedEn);
    // The load is the first job of the library's thread, so that its DllMain and static
    // constructors run where it is called.
    const int ready = CallLibrary(
        [](CFeedbackLibrary& library) {
            return library.LoadOnLibraryThread(GetExeFolder()) && library.InitFreedbackDll() ? 1 : 0;
        },
        L"正在初始化，请稍等", L"Preparing the tool, please wait");
    if (!ready) FailAndExit(kInitFailedZh, kInitFailedEn);
}

void CLUMAFWUChildDlg::LayoutControls(int first) {
    m_rcClient = GetClientRect();
    const float s = m_fScale;

    int agreeWidth = 0, feedbackWidth = 0;
    {
        win::WindowDC dc(m_hWnd);
        HWND fontSource = GetParent() ? GetParent() : m_hWnd;
        agreeWidth = MeasureTextWidth(fontSource, dc.get(), kAgreeText);
        feedbackWidth = MeasureTextWidth(fontSource, dc.get(), kFeedbackText);
    }
    const PanelLayout p = ComputePanelLayout(m_rcClient, s, agreeWidth, feedbackWidth);

    Place(m_btnClose, p.close);
    Place(m_btnMinimize, p.minimize);
    Place(m_stVersion, p.version);
    Place(m_btnRepair, p.repair);
    if (first) {
        m_btnClose.m_fScale = s;
        SetImages(m_btnClose, kClosePngs);
        m_btnMinimize.m_fScale = s;
        SetImages(m_btnMinimize, kMinimizePngs);
        m_stVersion.SetWindowText(kFeedbackToolVersion);
        m_stVersion.SetBkImage(m_pBkImage);
        m_stVersion.SetBkImageRect(188, 16, 228, 31);
        m_stVersion.CreateFontFromParent();
        m_stVersion.SetAlignMode(1);
        m_stVersion.SetBkColor(RGB(255, 255, 255));
        m_stVersion.SetTextColors(RGB(255, 255, 255), RGB(255, 255, 255));
        m_btnRepair.SetBkImage(m_pBkImage);
        m_btnRepair.SetHitMargins(0, 0, 0, 0);
        SetImages(m_btnRepair, m_nLanguage == 1 ? kRepairZhPngs : kRepairEnPngs);
        SetWindowText(m_nLanguage == 1 ? kPanelNameZh : kPanelNameEn);
        if (m_nLanguage != 1) {
            for (const ControlName& name : kEnglishNames) ::SetDlgItemTextW(m_hWnd, name.id, name.en);
        }
    }
    if (first) {
        const RECT& src = p.repairSource;
        m_btnRepair.SetBkImageRect(src.left, src.top, src.right, src.bottom);
    }

    if (m_nLanguage != 1) {
        m_btnMoreTools.ShowWindow(SW_HIDE);
        m_chkAgree.ShowWindow(SW_HIDE);
        m_stAgreementLink.ShowWindow(SW_HIDE);
        m_stFeedbackLink.ShowWindow(SW_HIDE);
        return;
    }

    Place(m_btnMoreTools, p.moreTools);
    Place(m_chkAgree, p.agree);
    Place(m_stAgreementLink, p.agreementLink);
    Place(m_stFeedbackLink, p.feedbackLink);
    if (first) {
        const RECT& src = p.moreToolsSource;
        m_btnMoreTools.SetBkImage(m_pBkImage);
        m_btnMoreTools.SetBkImageRect(src.left, src.top, src.right, src.bottom);
        m_btnMoreTools.SetHitMargins(0, 0, 0, 0);
        SetImages(m_btnMoreTools, kMoreToolsPngs);
        m_chkAgree.CreateFontFromParent();
        m_chkAgree.m_fScale = s;
        m_chkAgree.SetCheck(BST_CHECKED);
        for (CDrawTextStatic* link : {&m_stAgreementLink, &m_stFeedbackLink}) {
            link->CreateFontFromParent();
            link->SetAlignMode(1);
            link->SetBkColor(RGB(255, 255, 255));
            link->SetTextColors(RGB(92, 92, 255), RGB(0, 0, 255));
        }
    }
}

void CLUMAFWUChildDlg::OnTimer(UINT_PTR id) {
    if (id == TIMER_HOVER) {
        POINT pt{};
        ::GetCursorPos(&pt);
        m_stAgreementLink.UpdateHover(pt.x, pt.y);
    } else if (id == TIMER_VERSIONCHECK) {
        KillTimer(TIMER_VERSIONCHECK);
        // The timer can fire in the modal loop of a repair's prompts.
        if (!m_bRepairBegun) CheckNewVersion();
    }
    CLayeredChildDlg::OnTimer(id);
}

void CLUMAFWUChildDlg::CheckNewVersion() {
    const int answer = CallLibrary(
        [](const CFeedbackLibrary& library) { return library.GetToolIsNewVersion(kFeedbackToolId, kFeedbackToolVersion); },
        L"正在检查新版本，请稍等", L"Checking for a new version, please wait");
    if (answer != 3 || m_bRepairBegun) return;
    auto* prompt = new CPromptDlg(this);
    prompt->m_nLanguage = m_nLanguage;
    prompt->m_fScale = m_fScale;
    prompt->SetText(m_nLanguage == 1
                        ? L"检测到当前工具有新的版本更新，请下载最新版本使用。"
                        : L"A new version of this tool is ready for update, please download this newest version first.");
    prompt->SetButtonMode(3);
    prompt->DoModal();
    delete prompt;
    CallLibrary([](const CFeedbackLibrary& library) { return library.OpenToolDownUrl(); }, L"正在打开下载页面，请稍等",
                L"Opening the download page, please wait");
    ::ExitProcess(0);
}

LRESULT CLUMAFWUChildDlg::OnNcHitTest(POINT pt) {
    m_stFeedbackLink.UpdateHover(pt.x, pt.y);
    m_stAgreementLink.UpdateHover(pt.x, pt.y);
    return CLayeredChildDlg::OnNcHitTest(pt);
}

void CLUMAFWUChildDlg::OnLButtonDown(UINT flags, POINT pt) {
    POINT screen = pt;
    ::ClientToScreen(m_hWnd, &screen);
    // Hidden links (the English interface) take no clicks.
    if (m_stFeedbackLink.IsWindowVisible() && m_stFeedbackLink.HitTest(screen.x, screen.y)) OpenFeedbackPage();
    AgreementLinkStep(screen);
    CLayeredChildDlg::OnLButtonDown(flags, pt);
}

void CLUMAFWUChildDlg::OpenFeedbackPage() {
    CallLibrary(
        [](const CFeedbackLibrary& library) { return library.FeedbackQuestion(kFeedbackToolId, kFeedbackToolVersion); },
        L"正在打开反馈页面，请稍等", L"Opening the feedback page, please wait");
}

void CLUMAFWUChildDlg::HideViewer() {
    if (!m_pTooltip) return;
    // Whoever read the agreement gets the keyboard back on its link.
    const bool hadFocus = m_pTooltip->IsActive();
    m_pTooltip->ShowWindow(SW_HIDE);
    m_pTooltip->ShowChild(0);
    if (hadFocus) {
        ::SetActiveWindow(m_hWnd);
        GotoDlgCtrl(m_stAgreementLink.GetSafeHwnd());
    }
}

void CLUMAFWUChildDlg::AgreementLinkStep(POINT screen) {
    // The link exists only in the Chinese interface; hidden, it takes no clicks.
    if (m_stAgreementLink.IsWindowVisible() && m_stAgreementLink.HitTest(screen.x, screen.y)) {
        ToggleViewer();
    } else {
        HideViewer();
    }
}

void CLUMAFWUChildDlg::ToggleViewer() {
    if (!m_pTooltip) {
        m_pTooltip = new CTooltipDlg();
        m_pTooltip->m_fScale = m_fScale;
        m_pTooltip->Create(IDD_VIEWER_BACK, this);
    }
    m_pTooltip->MoveWindow(ViewerRectOverPanel(GetWindowRect(), m_fScale), TRUE);
    if (!m_pTooltip->IsWindowVisible()) {
        m_pTooltip->ShowWindow(SW_SHOW);
        m_pTooltip->ShowChild(1);
        // So that the agreement can be read and scrolled with the keyboard.
        m_pTooltip->TakeFocus();
    } else {
        HideViewer();
    }
}

void CLUMAFWUChildDlg::OnHookButtonDown() {
    if (!m_pTooltip) return;
    POINT pt{};
    ::GetCursorPos(&pt);
    const RECT panel = GetWindowRect();
    if (::PtInRect(&panel, pt)) {
        if (m_stAgreementLink.HitTest(pt.x, pt.y)) return;
        const RECT viewer = m_pTooltip->GetWindowRect();
        if (!::PtInRect(&viewer, pt) && m_pTooltip->IsWindowVisible()) HideViewer();
    } else {
        HideViewer();
    }
}

DWORD WINAPI GateRepairButtonThreadProc(LPVOID param) {
    const std::unique_ptr<RepairGate> gate(static_cast<RepairGate*>(param));
    // Each call is carried out for this thread on the user-interface thread.
    const LRESULT state = ::SendMessageW(gate->agreement, BM_GETCHECK, 0, 0);
    ::EnableWindow(gate->repair, state == BST_CHECKED);
    ::InvalidateRect(gate->repair, nullptr, TRUE);
    return 1;
}

void CLUMAFWUChildDlg::OnAgreementClicked() {
    auto* gate = new (std::nothrow) RepairGate{m_chkAgree.GetSafeHwnd(), m_btnRepair.GetSafeHwnd()};
    if (!gate) return;
    HANDLE thread = ::CreateThread(nullptr, 0, &GateRepairButtonThreadProc, gate, 0, nullptr);
    if (thread) ::CloseHandle(thread);
    else delete gate;
}

void CLUMAFWUChildDlg::OnRepair() {
    if (!m_btnRepair.IsClickInside()) return;
    m_bRepairBegun = true;
    if (!m_repair.StartRepair()) {
        ShowPrompt(m_nLanguage == 1 ? L"修复失败！" : L"Failed");
        return;
    }
    delete m_pExecutePrompt;
    m_pExecutePrompt = new CExecutePromptDlg();
    m_pExecutePrompt->SetText(m_nLanguage == 1 ? L"正在修复，请稍等" : L"Update firmware now, please wait a moment");
    m_pExecutePrompt->m_fScale = m_fScale;
    m_pExecutePrompt->DoModal();
}

void CLUMAFWUChildDlg::OnClose() {
    if (m_nLanguage == 1) {
        CProblemSolvingFeedbackDlg dlg;
        dlg.SetFeedbackCalls(FeedbackCallsFor(m_feedback));
        dlg.DoModal();
    } else {
        ReportPlainClose();
    }
    ::SendMessageW(GetParent(), WM_CLOSE, 0, 0);
}

void CLUMAFWUChildDlg::ReportPlainClose() {
    CallLibrary(
        [](const CFeedbackLibrary& library) {
            return library.CustomerFeedbackEx(kFeedbackToolId, kFeedbackToolVersion, 1, MakeFeedbackTimeText().c_str());
        },
        L"正在清理临时文件，请稍等", L"Cleaning up temporary files, please wait");
}

int CLUMAFWUChildDlg::CallLibrary(std::function<int(CFeedbackLibrary&)> call, const wchar_t* zh, const wchar_t* en) {
    // The binding lives as long as the process, so the job may hold on to it.
    CFeedbackLibrary* library = &m_feedback;
    return RunWithProgress(
        m_feedback.Thread(), [library, call = std::move(call)] { return call(*library); }, nullptr,
        m_nLanguage == 1 ? zh : en, m_fScale);
}

LRESULT CLUMAFWUChildDlg::OnRepairResult(WPARAM code) {
    if (code == REPAIR_ON_BATTERY) {
        ShowPrompt(m_nLanguage == 1 ? L"请连接电源适配器后再修复" : L"Connect the power adapter, then repair");
        return 1;
    }
    if (code < REPAIR_SUCCESS || code > REPAIR_NODEVICE) return 1;
    std::wstring text;
    if (m_nLanguage == 1) {
        text = code == REPAIR_SUCCESS ? L"修复成功" : code == REPAIR_FAILED ? L"修复失败" : L"无法检测到设备";
    } else {
        text = EnglishOutcomeText(static_cast<int>(code), m_repair.GetResultText());
    }
    ShowPrompt(text);
    return 1;
}

BOOL CLUMAFWUChildDlg::OnCommand(WPARAM wp, LPARAM lp) {
    if (HIWORD(wp) != BN_CLICKED) return FALSE;
    switch (LOWORD(wp)) {
    case IDC_AGREE: OnAgreementClicked(); return TRUE;
    case IDC_CLOSE: OnClose(); return TRUE;
    case IDC_MINIMIZE: ::PostMessageW(GetParent(), WM_SYSCOMMAND, SC_MINIMIZE, 0); return TRUE;
    case IDC_REPAIR: OnRepair(); return TRUE;
    // Space on a link (STN_CLICKED, the same code as BN_CLICKED) does what a click does.
    case IDC_AGREEMENT_LINK: ToggleViewer(); return TRUE;
    case IDC_FEEDBACK_LINK: OpenFeedbackPage(); return TRUE;
    case IDC_MORE_TOOLS:
        CallLibrary([](const CFeedbackLibrary& library) { return library.OpenUrl(kKnowledgeBaseMoreToolsUrl); },
                    L"正在打开网页，请稍等", L"Opening the page, please wait");
        return TRUE;
    default: return FALSE;
    }
}

LRESULT CLUMAFWUChildDlg::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_EXECUTE_PROMPT_CLOSE:
        if (m_pExecutePrompt) m_pExecutePrompt->Close();
        return 1;
    case WM_REPAIR_RESULT:
        return OnRepairResult(wp);
    case WM_FLASH_STATE:
        // The reason shows beside the main window, which owns the panel.
        if (wp) m_shutdownReason.Set(GetParent() ? GetParent() : m_hWnd, m_nLanguage);
        else m_shutdownReason.Clear();
        return 1;
    case WM_HOOK_LBUTTONDOWN:
        OnHookButtonDown();
        return 1;
    case WM_VIEWER_LEAVE:
        HideViewer();
        return 1;
    case WM_LBUTTONDBLCLK:
        // A quick second click on a link is a click of its own.
        OnLButtonDown(static_cast<UINT>(wp), POINT{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))});
        return 0;
    default:
        return CLayeredChildDlg::WindowProc(msg, wp, lp);
    }
}

void CLUMAFWUChildDlg::OnDestroy() {
    CDialog::OnDestroy();
    m_btnClose.ReleaseImages();
    m_btnMinimize.ReleaseImages();
    m_btnRepair.ReleaseImages();
    m_btnMoreTools.ReleaseImages();
    DeletePngImage(&m_pBkImage);
    KillTimer(TIMER_HOVER);
    delete m_pExecutePrompt;
    m_pExecutePrompt = nullptr;
    delete m_pTooltip;
    m_pTooltip = nullptr;
    m_shutdownReason.Clear();
    CMouseHook::Remove();
}
