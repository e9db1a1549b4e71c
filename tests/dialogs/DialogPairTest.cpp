#include <gtest/gtest.h>

#include "dialogs/DialogPair.h"
#include "dialogs/ExecutePromptDlg.h"
#include "dialogs/PromptDlg.h"
#include "res/resource.h"
#include "tests/support/Rects.h"

TEST(DialogPair, ChildAndBackRectanglesFollowTheInsets) {
    struct Case { RECT back; PairInsets in; float s; RECT child; };
    const Case cases[] = {
        {{100, 50, 510, 661}, {5, 4, 5, 7}, 1.0f, {105, 54, 505, 654}},     // main window, 96 DPI
        {{0, 0, 492, 733}, {5, 4, 5, 7}, 1.2f, {6, 4, 486, 725}},            // 120 DPI
        {{0, 0, 232, 132}, {14, 12, 14, 16}, 1.0f, {14, 12, 218, 116}},      // progress prompt
        {{0, 0, 334, 190}, {14, 12, 14, 16}, 1.44f, {20, 17, 314, 167}},     // progress prompt, 144 DPI
        {{10, 10, 346, 166}, {5, 3, 5, 7}, 1.0f, {15, 13, 341, 159}},        // prompt
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(support::SameRect(ChildRectInBack(c.back, c.in, c.s), c.child));
        // Surrounding the child gives the back again.
        EXPECT_TRUE(support::SameRect(BackRectAroundChild(c.child, c.in, c.s), c.back));
    }
}

TEST(DialogPair, CaptionStripLeavesTheRightEdgeFree) {
    const RECT client{100, 100, 426, 246};
    EXPECT_TRUE(InCaptionStrip(client, 30, 26, {100, 100}));
    EXPECT_TRUE(InCaptionStrip(client, 30, 26, {399, 129}));
    EXPECT_FALSE(InCaptionStrip(client, 30, 26, {400, 110}));  // the close button's corner
    EXPECT_FALSE(InCaptionStrip(client, 30, 26, {200, 130}));  // below the strip
    EXPECT_FALSE(InCaptionStrip(client, 30, 26, {99, 110}));
}

TEST(ProgressPrompt, SitsCentredTwentyPixelsAboveTheOwnersMiddle) {
    const RECT panel{100, 200, 500, 800};  // 400 x 600
    const RECT r = CExecutePromptDlg::PlaceOverOwner(panel, 1.0f);
    EXPECT_EQ(r.left, 100 + (400 - 232) / 2);
    EXPECT_EQ(r.top, 200 + 300 - 66 - 20);
    EXPECT_EQ(r.right - r.left, 232);
    EXPECT_EQ(r.bottom - r.top, 132);
    const RECT big = CExecutePromptDlg::PlaceOverOwner(RECT{0, 0, 576, 864}, 1.44f);
    EXPECT_EQ(big.right - big.left, 334);
    EXPECT_EQ(big.bottom - big.top, 190);
}

TEST(ProgressPrompt, ShortTextsShowTheRepairNotice) {
    EXPECT_EQ(CExecutePromptChildDlg::ShownText(L""), L"正在修复，请稍等");
    EXPECT_EQ(CExecutePromptChildDlg::ShownText(L"x"), L"正在修复，请稍等");
    EXPECT_EQ(CExecutePromptChildDlg::ShownText(L"ab"), L"ab");
    EXPECT_EQ(CExecutePromptChildDlg::ShownText(L"正在清理临时文件，请稍等"), L"正在清理临时文件，请稍等");
}

TEST(Prompt, ButtonPicturesNamesAndPlacesByModeAndLanguage) {
    // A name is the word its pictures show (the templates say 确定 and 取消 for every mode).
    struct Case { int mode, lang; UINT first, second; const wchar_t *firstName, *secondName; bool showSecond, centre; };
    const Case cases[] = {
        {1, 1, IDP_YES_ZH_NORMAL, IDP_NO_ZH_NORMAL, L"是", L"否", false, true},
        {2, 1, IDP_YES_ZH_NORMAL, IDP_NO_ZH_NORMAL, L"是", L"否", true, false},
        {3, 1, IDP_CONFIRM_ZH_NORMAL, IDP_CANCEL_ZH_NORMAL, L"确认", L"取消", false, true},
        {4, 1, IDP_CONFIRM_ZH_NORMAL, IDP_CANCEL_ZH_NORMAL, L"确认", L"取消", true, false},
        {0, 1, IDP_YES_ZH_NORMAL, IDP_NO_ZH_NORMAL, L"是", L"否", false, false},
        {9, 1, IDP_YES_ZH_NORMAL, IDP_NO_ZH_NORMAL, L"是", L"否", false, false},
        {1, 0, IDP_OK_EN_NORMAL, IDP_NO_EN_NORMAL, L"OK", L"NO", false, true},
        {2, 0, IDP_OK_EN_NORMAL, IDP_NO_EN_NORMAL, L"OK", L"NO", true, false},
        {3, 0, IDP_OK_EN_NORMAL, IDP_CANCEL_EN_NORMAL, L"OK", L"Cancel", false, true},
        {4, 2, IDP_OK_EN_NORMAL, IDP_CANCEL_EN_NORMAL, L"OK", L"Cancel", true, false},
        {-1, 0, IDP_OK_EN_NORMAL, IDP_NO_EN_NORMAL, L"OK", L"NO", false, false},
    };
    for (const Case& c : cases) {
        const PromptButtons b = PromptButtonsFor(c.mode, c.lang);
        EXPECT_EQ(b.first[0], c.first) << c.mode << "/" << c.lang;
        EXPECT_EQ(b.second[0], c.second) << c.mode << "/" << c.lang;
        EXPECT_STREQ(b.firstName, c.firstName) << c.mode << "/" << c.lang;
        EXPECT_STREQ(b.secondName, c.secondName) << c.mode << "/" << c.lang;
        EXPECT_EQ(b.showSecond, c.showSecond) << c.mode << "/" << c.lang;
        EXPECT_EQ(b.centreFirst, c.centre) << c.mode << "/" << c.lang;
        // Three pictures: the pressed one serves as disabled too.
        EXPECT_EQ(b.first[3], b.first[2]);
        EXPECT_EQ(b.second[3], b.second[2]);
        EXPECT_EQ(b.first[1], b.first[0] + 1);
    }
}
