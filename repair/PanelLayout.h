#pragma once
#include <windows.h>

// Where the main panel's controls go for a client rectangle and a scale. Pure, so
// that the layout formulas can be checked without a window.
struct PanelLayout {
    RECT close, minimize, version, repair, repairSource;
    // Chinese interface only.
    RECT moreTools, moreToolsSource, agree, agreementLink, feedbackLink;
};

// agreeTextWidth: width of "同意《Corvel服务工具使用许可协议》" in the panel's
// font; feedbackTextWidth: width of "反馈问题".
PanelLayout ComputePanelLayout(const RECT& client, float scale, int agreeTextWidth, int feedbackTextWidth);

// The panel's caption strip (drags the pair): int(30 s) high, less int(86 s) at
// the right where the minimise and close buttons are.
constexpr int kPanelStripHeight = 30;
constexpr int kPanelStripExcludeRight = 86;
