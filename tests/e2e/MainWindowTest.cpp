// The main window and panel as the delivered tool shows them, in the system's
// language and at the prefix's DPI (one registration per language and DPI).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "res/resource.h"
#include "tests/e2e/ToolRun.h"
#include "win/GdiPlus.h"

namespace gd = guidriver;
using e2e::ToolRun;

namespace {

win::GdiplusSession g_gdiplus;

int Scaled(float design, float s) { return static_cast<int>(design * s); }

SIZE SizeOf(HWND h) {
    RECT r{};
    ::GetWindowRect(h, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

std::string Show(const RECT& r) {
    char buf[96];
    std::snprintf(buf, sizeof(buf), "(%ld, %ld, %ld, %ld)", r.left, r.top, r.right, r.bottom);
    return buf;
}

bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::wstring LanguageTag() {
    switch (::GetSystemDefaultLangID()) {
    case 0x0804: return L"zh";
    case 0x0409: return L"en";
    case 0x0404: return L"zh_TW";
    default: {
        wchar_t buf[16];
        std::swprintf(buf, 16, L"%04x", ::GetSystemDefaultLangID());
        return buf;
    }
    }
}

}  // namespace

// A registration may say which language it means to run in, so that a locale the
// prefix cannot provide fails here instead of quietly testing English twice.
TEST(MainWindow, RunsInTheLanguageOfItsRegistration) {
    wchar_t expected[16] = {};
    if (!::GetEnvironmentVariableW(L"ORV_EXPECT_LANGID", expected, 16)) GTEST_SKIP() << "no language asked for";
    EXPECT_EQ(::GetSystemDefaultLangID(), static_cast<LANGID>(std::wcstoul(expected, nullptr, 16)));
}

TEST(MainWindow, ShowsTheControlsOfItsLanguageInTheirPlaces) {
    ToolRun run;
    ASSERT_TRUE(run.Ready());
    run.SetFeedback(e2e::kQuietFeedback);
    ASSERT_TRUE(run.Start());
    HWND panel = run.WaitForPanel();
    ASSERT_NE(panel, nullptr) << "the main panel did not appear";
    HWND back = run.Back();
    ASSERT_NE(back, nullptr);

    const bool chinese = e2e::SystemLanguage() == 1;
    auto kids = gd::Children(panel);
    for (int id : {IDC_VERSION, IDC_MINIMIZE, IDC_CLOSE, IDC_REPAIR}) {
        EXPECT_TRUE(kids[id].visible) << "control " << id;
    }
    for (int id : {IDC_MORE_TOOLS, IDC_AGREE, IDC_AGREEMENT_LINK, IDC_FEEDBACK_LINK}) {
        EXPECT_EQ(kids[id].visible, chinese) << "control " << id;
    }
    EXPECT_EQ(kids[IDC_VERSION].text, L"1.0.0");
    EXPECT_TRUE(kids[IDC_REPAIR].enabled);
    EXPECT_EQ(::GetDlgItem(back, IDC_REPAIR), nullptr) << "the back carries no controls";

    // The back is centred on the screen, the panel inset in it.
    const float s = e2e::ToolScale();
    const SIZE backSize = SizeOf(back), panelSize = SizeOf(panel);
    EXPECT_EQ(backSize.cx, Scaled(410, s));
    EXPECT_EQ(backSize.cy, Scaled(611, s));
    RECT b{}, p{}, client{};
    ::GetWindowRect(back, &b);
    ::GetWindowRect(panel, &p);
    ::GetClientRect(panel, &client);
    EXPECT_EQ(p.left - b.left, Scaled(5, s));
    EXPECT_EQ(p.top - b.top, Scaled(4, s));
    // Each side inset on its own, so that the back fits around the panel exactly.
    EXPECT_EQ(panelSize.cx, Scaled(410, s) - 2 * Scaled(5, s));
    EXPECT_EQ(panelSize.cy, Scaled(611, s) - Scaled(4, s) - Scaled(7, s));
    EXPECT_EQ(client.right, panelSize.cx);
    EXPECT_EQ(client.bottom, panelSize.cy);
    EXPECT_EQ(b.left, ::GetSystemMetrics(SM_CXSCREEN) / 2 - static_cast<int>(410 * s / 2));
    EXPECT_EQ(b.top, ::GetSystemMetrics(SM_CYSCREEN) / 2 - static_cast<int>(611 * s / 2));

    const RECT repair = ToolRun::ClientRectOf(kids[IDC_REPAIR].hwnd);
    const RECT close = ToolRun::ClientRectOf(kids[IDC_CLOSE].hwnd);
    const RECT minimize = ToolRun::ClientRectOf(kids[IDC_MINIMIZE].hwnd);
    const RECT moreTools = ToolRun::ClientRectOf(kids[IDC_MORE_TOOLS].hwnd);
    if (s == 1.0f) {
        EXPECT_EQ(client.right, 400);
        EXPECT_EQ(client.bottom, 600);
        EXPECT_TRUE(repair == (RECT{77, 280, 323, 327})) << Show(repair);
        EXPECT_TRUE(close == (RECT{368, 0, 394, 34})) << Show(close);
        EXPECT_TRUE(minimize == (RECT{340, 0, 366, 34})) << Show(minimize);
        if (chinese) {
            EXPECT_TRUE(moreTools == (RECT{50, 540, 108, 558})) << Show(moreTools);
        }
    } else {
        // A client wider than 400 takes the scaled rules.
        const int w = client.right;
        const int rl = Scaled(400 * s / 2 - 246 * s / 2, 1), rt = Scaled(600 * s / 2 - 20 * s, 1);
        EXPECT_TRUE(repair == (RECT{rl, rt, rl + Scaled(246, s), rt + Scaled(47, s)})) << Show(repair);
        const int cl = static_cast<int>(w - 31.2 * s);
        EXPECT_TRUE(close == (RECT{cl, 0, static_cast<int>(cl + 26 * s), Scaled(34, s)})) << Show(close);
        const int ml = static_cast<int>(w - 59.8 * s);
        EXPECT_TRUE(minimize == (RECT{ml, 0, static_cast<int>(ml + 26 * s), Scaled(34, s)})) << Show(minimize);
        if (chinese) {
            const int tl = Scaled(50, s), tt = client.bottom - Scaled(60, s);
            EXPECT_TRUE(moreTools == (RECT{tl, tt, tl + Scaled(58, s), tt + Scaled(18, s)})) << Show(moreTools);
        }
    }

    // What the user sees, saved for looking at.
    ASSERT_TRUE(gd::WaitUntilHittable(kids[IDC_REPAIR].hwnd, e2e::kSettleTimeoutMs));
    e2e::Idle(300);
    const std::wstring name = L"main-" + LanguageTag() + L"-" + std::to_wstring(e2e::ScreenDpi());
    EXPECT_FALSE(e2e::SaveWindowShot(back, name).empty());
}
