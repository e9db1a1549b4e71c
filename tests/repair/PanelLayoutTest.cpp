#include <windows.h>

#include <gtest/gtest.h>

#include "repair/LUMAFWUChildDlg.h"
#include "repair/PanelLayout.h"

namespace {

testing::AssertionResult Is(const RECT& r, int l, int t, int rr, int b) {
    if (r.left == l && r.top == t && r.right == rr && r.bottom == b) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom
                                       << ") instead of (" << l << ", " << t << ", " << rr << ", " << b << ")";
}

}  // namespace

TEST(PanelLayout, At96DpiThePanelIsNotWiderThan400) {
    // "同意《...》" measured 224 px (q = 16), "反馈问题" 52 px in the panel's font.
    const PanelLayout p = ComputePanelLayout(RECT{0, 0, 400, 600}, 1.0f, 224, 52);
    EXPECT_TRUE(Is(p.close, 368, 0, 394, 34));
    EXPECT_TRUE(Is(p.minimize, 340, 0, 366, 34));
    EXPECT_TRUE(Is(p.version, 188, 16, 228, 31));
    EXPECT_TRUE(Is(p.repair, 77, 280, 323, 327));
    EXPECT_TRUE(Is(p.repairSource, 77, 280, 323, 327));
    EXPECT_TRUE(Is(p.moreTools, 50, 540, 108, 558));
    EXPECT_TRUE(Is(p.moreToolsSource, 50, 540, 108, 558));
    EXPECT_TRUE(Is(p.agree, 8, 575, 8 + 16 + 32 + 2, 595));
    EXPECT_TRUE(Is(p.agreementLink, 58 + 6, 575, 64 + 14 * 16, 595));
    const int d = 52 + 4 + 2 + 6;
    EXPECT_TRUE(Is(p.feedbackLink, 400 - d - 6, 575, 400 - 6, 595));
}

TEST(PanelLayout, WiderPanelsUseTheScaledFormulasAndFixedSources) {
    const PanelLayout p = ComputePanelLayout(RECT{0, 0, 600, 900}, 1.5f, 336, 78);
    EXPECT_TRUE(Is(p.repair, 115, 420, 484, 490));
    EXPECT_TRUE(Is(p.repairSource, 77, 280, 323, 327));
    EXPECT_TRUE(Is(p.moreTools, 75, 810, 75 + 87, 810 + 27));
    EXPECT_TRUE(Is(p.moreToolsSource, 50, 540, 108, 558));
    // 600 - 31.2 * 1.5 = 553.2 and 600 - 59.8 * 1.5 = 510.3 in double precision.
    EXPECT_TRUE(Is(p.close, 553, 0, 553 + 39, 51));
    EXPECT_TRUE(Is(p.minimize, 510, 0, 510 + 39, 51));
    EXPECT_TRUE(Is(p.version, 282, 24, 282 + 60, 24 + 22));
}

TEST(PanelLayout, At120DpiTheBackAndPanelSizes) {
    // The panel of a 492 x 733 back: 492 - int(10 * 1.2) by 733 - int(11 * 1.2).
    const PanelLayout p = ComputePanelLayout(RECT{0, 0, 480, 720}, 1.2f, 270, 62);
    EXPECT_TRUE(Is(p.repair, 92, 336, 92 + 295, 336 + 56));
    // int(480 - 31.2 * 1.2) in double precision is 442; R = int(442 + 31.2f) = 473.
    EXPECT_EQ(p.close.left, 442);
    EXPECT_EQ(p.close.right, 473);
}

TEST(Panel, LanguageAndEnglishOutcomeText) {
    EXPECT_EQ(CLUMAFWUChildDlg::LanguageFromLangId(0x0804), 1);
    for (LANGID id : {0x0409, 0x0404, 0x0C04, 0x0411, 0x0000}) EXPECT_EQ(CLUMAFWUChildDlg::LanguageFromLangId(id), 0);

    EXPECT_EQ(CLUMAFWUChildDlg::EnglishOutcomeText(1, L"Success"), L"Success");
    EXPECT_EQ(CLUMAFWUChildDlg::EnglishOutcomeText(3, L"x\r\nCan not Find Device"), L"x\r\nCan not Find Device");
    EXPECT_EQ(CLUMAFWUChildDlg::EnglishOutcomeText(2, L"update failed"), L"update failed");
    // A run that could not start the tool or read its log leaves no text.
    const std::wstring failed = CLUMAFWUChildDlg::EnglishOutcomeText(2, L"");
    EXPECT_FALSE(failed.empty());
    EXPECT_EQ(failed.rfind(L"Failed", 0), 0u);
}

TEST(RepairGate, TheThreadFollowsTheBoxThroughTheWindowsAlone) {
    // Runs the thread while this thread, which owns the windows, takes its calls.
    const auto gateOn = [](HWND agreement, HWND repair) {
        HANDLE thread = ::CreateThread(nullptr, 0, &GateRepairButtonThreadProc, new RepairGate{agreement, repair}, 0,
                                       nullptr);
        if (!thread) return false;
        DWORD r = 0;
        while ((r = ::MsgWaitForMultipleObjects(1, &thread, FALSE, 5000, QS_SENDMESSAGE)) == WAIT_OBJECT_0 + 1) {
            MSG msg;
            ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        ::CloseHandle(thread);
        return r == WAIT_OBJECT_0;
    };
    const struct {
        WPARAM check;
        bool enabledBefore;
        bool enabledAfter;
    } cases[] = {{BST_UNCHECKED, true, false}, {BST_CHECKED, false, true}, {BST_CHECKED, true, true}};
    for (const auto& c : cases) {
        HWND box = ::CreateWindowExW(0, L"BUTTON", L"", BS_AUTOCHECKBOX, 0, 0, 20, 20, nullptr, nullptr, nullptr, nullptr);
        HWND button = ::CreateWindowExW(0, L"BUTTON", L"", BS_PUSHBUTTON, 0, 0, 20, 20, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(box && button);
        ::SendMessageW(box, BM_SETCHECK, c.check, 0);
        ::EnableWindow(button, c.enabledBefore);
        EXPECT_TRUE(gateOn(box, button));
        EXPECT_EQ(c.enabledAfter, ::IsWindowEnabled(button) != FALSE) << c.check;
        ::DestroyWindow(box);
        ::DestroyWindow(button);
        // The panel and its windows gone before the thread runs: it ends all the same.
        EXPECT_TRUE(gateOn(box, button));
    }
}
