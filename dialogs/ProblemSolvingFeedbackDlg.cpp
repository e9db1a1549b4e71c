#include "dialogs/ProblemSolvingFeedbackDlg.h"

#include <string>

#include "dialogs/JobWait.h"
#include "log/Gbk.h"
#include "log/LogSave.h"
#include "res/resource.h"
#include "win/Scale.h"

using win::Scaled;

namespace {

constexpr PairInsets kInsets{5, 4, 5, 7};
constexpr int kBackWidth = 410, kBackHeight = 479;
constexpr int kStripHeight = 30, kStripExcludeRight = 26;
// The design size of the child, which the scaled layout is laid out in.
constexpr int kChildWidth = 400, kChildHeight = 468;
constexpr int kButtonWidth = 266, kButtonHeight = 60, kButtonPitch = 80, kHitMargin = 9;

const wchar_t kTitle[] = L"Orvane 2020灯效闪烁修复工具";
// The question its picture shows, as the child's name for screen readers.
const wchar_t kQuestion[] = L"您的问题是否已解决？";
const wchar_t kCleaningNotice[] = L"正在清理临时文件，请稍等";
const wchar_t kOpeningNotice[] = L"正在打开网页，请稍等";

const RECT kButtonSources[3] = {{67, 154, 333, 214}, {67, 234, 333, 294}, {67, 314, 333, 374}};

RECT RectAt(int left, int top, int width, int height) { return RECT{left, top, left + width, top + height}; }

}  // namespace

FeedbackLayout ComputeFeedbackLayout(const RECT& c, float s) {
    FeedbackLayout l{};
    const int closeSize = Scaled(12, s);
    l.close = RectAt(static_cast<int>(c.right - 18 * s), static_cast<int>(c.top + 6 * s), closeSize, closeSize);

    const int width = c.right - c.left, height = c.bottom - c.top;
    if (width <= kChildWidth) {
        // The design size: the buttons sit on the picture where they were drawn.
        const int left = c.left + width / 2 - kButtonWidth / 2;
        const int middle = c.top + height / 2;
        for (int i = 0; i < 3; ++i) {
            l.buttons[i] = RectAt(left, middle + (i - 1) * kButtonPitch, kButtonWidth, kButtonHeight);
            l.sources[i] = l.buttons[i];
        }
        l.hitMargin = kHitMargin;
        return l;
    }
    const int left = c.left + static_cast<int>(kChildWidth * s / 2 - kButtonWidth * s / 2);
    const int w = Scaled(kButtonWidth, s), h = Scaled(kButtonHeight, s), pitch = Scaled(kButtonPitch, s);
    const int middle = c.top + static_cast<int>(kChildHeight * s / 2);
    const int tops[3] = {c.top + static_cast<int>(kChildHeight * s / 2 - pitch), middle, middle + pitch};
    for (int i = 0; i < 3; ++i) {
        l.buttons[i] = RectAt(left, tops[i], w, h);
        l.sources[i] = kButtonSources[i];
    }
    l.hitMargin = Scaled(kHitMargin, s);
    return l;
}

// ---- child ----

CProblemSolvingFeedbackChildDlg::CProblemSolvingFeedbackChildDlg()
    : CLayeredChildDlg(IDD_FEEDBACK_CHILD, nullptr, kStripHeight, kStripExcludeRight) {}

void CProblemSolvingFeedbackChildDlg::DoDataExchange() {
    m_btnMoreSolutions.SubclassDlgItem(IDC_MORE_SOLUTIONS, this);
    m_btnClose.SubclassDlgItem(IDC_FEEDBACK_CLOSE, this);
    m_btnSolved.SubclassDlgItem(IDC_SOLVED, this);
    m_btnUnsolved.SubclassDlgItem(IDC_UNSOLVED, this);
}

UINT CProblemSolvingFeedbackChildDlg::BackgroundPng() const { return IDP_FEEDBACK_CHILD; }

void CProblemSolvingFeedbackChildDlg::Layout(bool first) {
    const float s = m_fScale;
    const FeedbackLayout l = ComputeFeedbackLayout(GetClientRect(), s);
    if (first) SetWindowText(kQuestion);

    m_btnClose.m_fScale = s;
    m_btnClose.SetImages(IDP_FEEDBACK_CLOSE_NORMAL, IDP_FEEDBACK_CLOSE_HOVER, IDP_FEEDBACK_CLOSE_PRESSED,
                         IDP_FEEDBACK_CLOSE_DISABLED);
    m_btnClose.MoveWindow(l.close, TRUE);

    CImageButton* buttons[3] = {&m_btnSolved, &m_btnUnsolved, &m_btnMoreSolutions};
    const UINT images[3][4] = {
        {IDP_SOLVED_NORMAL, IDP_SOLVED_HOVER, IDP_SOLVED_PRESSED, IDP_SOLVED_DISABLED},
        {IDP_UNSOLVED_NORMAL, IDP_UNSOLVED_HOVER, IDP_UNSOLVED_PRESSED, IDP_UNSOLVED_DISABLED},
        {IDP_MORE_SOLUTIONS_NORMAL, IDP_MORE_SOLUTIONS_HOVER, IDP_MORE_SOLUTIONS_PRESSED,
         IDP_MORE_SOLUTIONS_DISABLED},
    };
    for (int i = 0; i < 3; ++i) {
        CImageButton& b = *buttons[i];
        if (first) {
            b.SetBkImage(m_pBkImage);
            b.SetImages(images[i][0], images[i][1], images[i][2], images[i][3]);
        }
        // The picture behind a button and its rim follow the layout actually in
        // use, which the template's first size need not share.
        const RECT& src = l.sources[i];
        b.SetBkImageRect(src.left, src.top, src.right, src.bottom);
        b.SetHitMargins(l.hitMargin, l.hitMargin, l.hitMargin, l.hitMargin);
        b.MoveWindow(l.buttons[i], TRUE);
    }
}

BOOL CProblemSolvingFeedbackChildDlg::OnCommand(WPARAM wp, LPARAM) {
    if (HIWORD(wp) != BN_CLICKED) return FALSE;
    switch (LOWORD(wp)) {
    case IDC_FEEDBACK_CLOSE:
        Answer(kFeedbackAnswerClosed, L"创建反馈关闭线程失败");
        return TRUE;
    case IDC_SOLVED:
        if (m_btnSolved.IsClickInside()) Answer(kFeedbackAnswerSolved, L"创建反馈解决线程失败");
        return TRUE;
    case IDC_UNSOLVED:
        if (m_btnUnsolved.IsClickInside()) Answer(kFeedbackAnswerUnsolved, L"创建反馈未解决线程失败");
        return TRUE;
    case IDC_MORE_SOLUTIONS:
        if (m_calls.thread && m_calls.moreSolutions) {
            RunWithProgress(*m_calls.thread, m_calls.moreSolutions, nullptr, kOpeningNotice, m_fScale);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

void CProblemSolvingFeedbackChildDlg::Answer(int code, const wchar_t* failureText) {
    // One answer per dialog: a second press while the first is reported would
    // report twice.
    if (m_bAnswering) return;
    m_bAnswering = true;
    if (m_calls.thread && m_calls.answer) {
        bool failed = false;
        const std::function<int(int)> answer = m_calls.answer;
        RunWithProgress(*m_calls.thread, [answer, code] { return answer(code); }, nullptr, kCleaningNotice, m_fScale,
                        &failed);
        if (failed) {
            m_bAnswering = false;
            CLogSave::GetInstance()->WriteLog(Gbk(failureText), ToolLogName(), true);
            return;
        }
    }
    ::SendMessageW(GetParent(), WM_CLOSE, 0, 0);
}

void CProblemSolvingFeedbackChildDlg::OnDestroy() {
    CLayeredChildDlg::OnDestroy();
    m_btnClose.ReleaseImages();
    m_btnSolved.ReleaseImages();
    m_btnUnsolved.ReleaseImages();
    m_btnMoreSolutions.ReleaseImages();
}

// ---- back ----

CProblemSolvingFeedbackDlg::CProblemSolvingFeedbackDlg(CWnd* parent)
    : CLayeredBackDlg(IDD_FEEDBACK_BACK, parent, kInsets, 1) {}

BOOL CProblemSolvingFeedbackDlg::OnInitDialog() {
    CLayeredBackDlg::OnInitDialog();
    SetWindowText(kTitle);
    m_fScale = win::ScreenScale();
    const float s = m_fScale;
    if (!DrawLayeredBack(IDP_FEEDBACK_BACK, Scaled(kBackWidth, s), Scaled(kBackHeight, s))) return TRUE;

    auto* child = new CProblemSolvingFeedbackChildDlg();
    child->m_fScale = s;
    child->m_calls = m_calls;
    CreateChild(child, IDD_FEEDBACK_CHILD);
    // Not moved here: the dialog is centred over its owner after initialisation,
    // and the back's move carries the child along.
    return TRUE;
}
