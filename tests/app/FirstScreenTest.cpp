// The pictures decoded ahead of the first screen: exactly what the main window and the
// panel ask for in each language, so that none is decoded twice or for nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "app/FastMendLUMAFWUDlg.h"
#include "res/resource.h"

namespace {

std::vector<UINT> Concat(std::initializer_list<std::vector<UINT>> parts) {
    std::vector<UINT> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

}  // namespace

TEST(FirstScreenPngs, BackPanelAndTheButtonsShownInEachLanguage) {
    const std::vector<UINT> close{IDP_CLOSE_NORMAL, IDP_CLOSE_HOVER, IDP_CLOSE_PRESSED, IDP_CLOSE_DISABLED};
    const std::vector<UINT> minimize{IDP_MINIMIZE_NORMAL, IDP_MINIMIZE_HOVER, IDP_MINIMIZE_PRESSED,
                                     IDP_MINIMIZE_DISABLED};
    const struct {
        int language;
        std::vector<UINT> expected;
    } cases[] = {
        {1, Concat({{IDP_MAIN_BACK_ZH, IDP_MAIN_PANEL_ZH}, close, minimize,
                    {IDP_REPAIR_ZH_NORMAL, IDP_REPAIR_ZH_HOVER, IDP_REPAIR_ZH_PRESSED, IDP_REPAIR_ZH_DISABLED},
                    {IDP_MORE_TOOLS_NORMAL, IDP_MORE_TOOLS_HOVER, IDP_MORE_TOOLS_PRESSED, IDP_MORE_TOOLS_DISABLED},
                    {IDP_CHECKBOX}})},
        // The English panel hides the more-tools button and the agreement box.
        {0, Concat({{IDP_MAIN_BACK_EN, IDP_MAIN_PANEL_EN}, close, minimize,
                    {IDP_REPAIR_EN_NORMAL, IDP_REPAIR_EN_HOVER, IDP_REPAIR_EN_PRESSED, IDP_REPAIR_EN_DISABLED}})},
    };
    for (const auto& c : cases) {
        const std::vector<UINT> ids = CFastMendLUMAFWUDlg::FirstScreenPngs(c.language);
        EXPECT_EQ(ids, c.expected) << "language " << c.language;
        EXPECT_EQ(std::set<UINT>(ids.begin(), ids.end()).size(), ids.size()) << "language " << c.language;
    }
}
