// A repair from the user's click to the outcome prompt and the tool log, through the
// real command line and the firmware simulator; and the guards around the button.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/e2e/ToolRun.h"

namespace gd = guidriver;
using e2e::ToolRun;

namespace {

// Long enough for the progress prompt to be seen, short enough to keep the run quick.
const char kProgressDelay[] = "delay_ms=800\n";

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

using e2e::Ran;

struct Started {
    ToolRun run;
    HWND panel = nullptr;
    HWND repair = nullptr;
};

// The tool started with the simulator set to `simulator`, its panel shown.
void StartTool(Started& t, const std::string& simulator) {
    ASSERT_TRUE(t.run.Ready());
    t.run.SetFeedback(e2e::kQuietFeedback);
    t.run.SetSimulator(simulator);
    ASSERT_TRUE(t.run.Start());
    t.panel = t.run.WaitForPanel();
    ASSERT_NE(t.panel, nullptr) << "the main panel did not appear";
    t.repair = t.run.PanelControl(IDC_REPAIR);
    ASSERT_TRUE(gd::WaitUntilHittable(t.repair, e2e::kSettleTimeoutMs));
}

// Nothing of a repair happens within `ms`: no progress prompt and no simulator run.
void ExpectNoRepair(const ToolRun& run, DWORD ms, const char* what) {
    EXPECT_EQ(run.WaitForProgress(ms), nullptr) << what;
    EXPECT_FALSE(gd::FileExists(Ran(run))) << what;
}

}  // namespace

TEST(Repair, OutcomesArePromptedAndRecordedOnlyAfterThePromptCloses) {
    const bool chinese = e2e::SystemLanguage() == 1;
    struct Case {
        const char* mode;
        const wchar_t* zhPrompt;
        const wchar_t* enPromptEnd;  // the English prompt shows the collected text
        const wchar_t* zhRecord;     // null: no record
        const wchar_t* enRecord;
        bool quarantined;            // LUMAFWU.exe is gone, an old log saying Success stays
    };
    const Case cases[] = {
        {"success", L"修复成功", L"Success", nullptr, nullptr, false},
        {"failure", L"修复失败", L"Failed", L"修复失败", L"Failed", false},
        {"nodevice", L"无法检测到设备", L"Can not Find Device", L"无法检测到设备", L"Can not Find Device", false},
        // The log of the run before is no answer; nothing was collected, and the English
        // prompt must still say that it failed.
        {"nolog", L"修复失败", nullptr, L"读取\uFF2Cog文件失败", L"Failed to read log file", false},
        {"success", L"修复失败", nullptr, L"读取\uFF2Cog文件失败", L"Failed to read log file", true},
    };
    ASSERT_TRUE(e2e::DeleteToolLog());
    Started t;
    StartTool(t, std::string("mode=success\n") + kProgressDelay);
    if (HasFatalFailure()) return;

    std::vector<std::wstring> records;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        ::DeleteFileW(Ran(t.run).c_str());
        ASSERT_TRUE(t.run.SetSimulator(std::string("mode=") + c.mode + "\n" + kProgressDelay));
        if (c.quarantined) {
            ASSERT_TRUE(::DeleteFileW(t.run.Path(L"LUMAFWU\\LUMAFWU.exe").c_str()));
            ASSERT_TRUE(gd::WriteFileBytes(t.run.Path(L"LUMAFWU\\LUMAFWUlog.txt"), "LUMAFWU 2.1.0\r\nSuccess\r\n"));
        }
        gd::ClickControl(t.repair);

        // With nothing to run, the progress prompt may be gone before it is seen.
        HWND progress = t.run.WaitForProgress(c.quarantined ? 0 : e2e::kWindowTimeoutMs);
        if (!c.quarantined) {
            ASSERT_NE(progress, nullptr) << "no progress prompt after the click: " << gd::SceneReport(t.repair);
            EXPECT_EQ(ToolRun::Text(::GetDlgItem(progress, IDC_PROGRESS_TEXT)),
                      chinese ? L"正在修复，请稍等" : L"Update firmware now, please wait a moment");
        }

        HWND prompt = t.run.WaitForPrompt(30000);
        ASSERT_NE(prompt, nullptr) << "no outcome prompt";
        EXPECT_TRUE(!progress || gd::WaitForGone(progress, e2e::kSettleTimeoutMs)) << "the progress prompt stayed";
        EXPECT_EQ(!c.quarantined, gd::FileExists(Ran(t.run))) << "whether the simulator ran";
        const std::wstring text = ToolRun::PromptText(prompt);
        if (chinese) {
            EXPECT_EQ(text, c.zhPrompt);
        } else if (c.enPromptEnd) {
            EXPECT_TRUE(EndsWith(text, c.enPromptEnd)) << "prompt text: " << testing::PrintToString(text);
            EXPECT_NE(text.find(L"LUMAFWU 2.1.0 firmware update"), std::wstring::npos);
        } else {
            EXPECT_EQ(text.rfind(L"Failed", 0), 0u) << "prompt text: " << testing::PrintToString(text);
        }

        // The worker waits for the prompt: no record may appear while it shows.
        e2e::Idle(500);
        EXPECT_EQ(e2e::ToolLogRecords(), records) << "a record was written before the prompt closed";
        ASSERT_TRUE(t.run.ConfirmPrompt(prompt));

        if (const wchar_t* record = chinese ? c.zhRecord : c.enRecord) records.push_back(record);
        gd::WaitFor([&] { return e2e::ToolLogRecords().size() >= records.size(); }, 5000);
        EXPECT_EQ(e2e::ToolLogRecords(), records);
        ASSERT_TRUE(gd::WaitUntilHittable(t.repair, e2e::kWindowTimeoutMs)) << "the panel did not come back";
    }
    // The success run came first: had it written anything, it would lead the log.
    EXPECT_EQ(e2e::ToolLogRecords(), records);
    EXPECT_TRUE(t.run.Running());
}

TEST(Repair, PressesBesideTheButtonOrWithThePointerElsewhereDoNothing) {
    Started t;
    StartTool(t, "mode=success\ndelay_ms=100\n");
    if (HasFatalFailure()) return;
    RECT r{};
    ::GetWindowRect(t.repair, &r);
    const POINT centre = gd::Centre(r);

    // Real clicks just outside each edge and corner of the button.
    const POINT outside[] = {{r.left - 1, centre.y}, {r.right, centre.y}, {centre.x, r.top - 1},
                             {centre.x, r.bottom}, {r.left - 1, r.top - 1}, {r.right, r.bottom}};
    for (const POINT& p : outside) gd::Click(p.x, p.y);
    ExpectNoRepair(t.run, 1500, "click beside the button");

    // A click the button reports while the pointer is not on it (a click message
    // without real input) is ignored too.
    gd::MoveTo(r.left - 1, r.top - 1);
    ::PostMessageW(t.repair, BM_CLICK, 0, 0);
    ExpectNoRepair(t.run, 1500, "click message with the pointer outside");

    // The same message with the pointer resting on the button starts a repair,
    // so the two checks above could have seen one.
    gd::MoveTo(centre.x, centre.y);
    ::PostMessageW(t.repair, BM_CLICK, 0, 0);
    HWND prompt = t.run.WaitForPrompt(30000);
    ASSERT_NE(prompt, nullptr) << "a click message with the pointer on the button started nothing";
    EXPECT_TRUE(t.run.ConfirmPrompt(prompt));
}

// A repair from the keyboard alone, with what a screen reader reads on the way.
TEST(Repair, SpaceOnTheFocusedButtonRepairsWhereverThePointerIsAndEnterDoesNot) {
    const bool chinese = e2e::SystemLanguage() == 1;
    Started t;
    StartTool(t, std::string("mode=success\n") + kProgressDelay);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(e2e::FocusByTab(t.repair)) << gd::SceneReport(t.repair);
    RECT r{};
    ::GetWindowRect(t.repair, &r);
    const POINT centre = gd::Centre(r);

    // On the button, where a click would count: only the key can be what is refused.
    gd::MoveTo(centre.x, centre.y);
    gd::PressChord({VK_RETURN});
    ExpectNoRepair(t.run, 1500, "Enter on the focused button");
    // Far from the button, where a click would be thrown away.
    gd::MoveTo(0, 0);
    gd::PressChord({VK_SPACE});
    HWND progress = t.run.WaitForProgress();
    ASSERT_NE(progress, nullptr) << "Space on the focused button started nothing: " << gd::SceneReport(t.repair);
    EXPECT_EQ(e2e::AccessibleName(::GetDlgItem(progress, IDC_PROGRESS_TEXT)),
              chinese ? L"正在修复，请稍等" : L"Update firmware now, please wait a moment");

    // The outcome prompt opens with the focus on its answer, and Space gives it.
    HWND prompt = t.run.WaitForPrompt(30000);
    ASSERT_NE(prompt, nullptr) << "no outcome prompt";
    EXPECT_TRUE(gd::FileExists(Ran(t.run)));
    HWND answer = ::GetDlgItem(prompt, IDC_PROMPT_FIRST);
    EXPECT_TRUE(gd::WaitFor([&] { return e2e::KeyboardFocus(prompt) == answer; }, e2e::kSettleTimeoutMs))
        << "the focus is on #" << ::GetDlgCtrlID(e2e::KeyboardFocus(prompt));
    EXPECT_EQ(e2e::AccessibleName(prompt), chinese ? L"提示" : L"Notice");
    EXPECT_EQ(e2e::AccessibleName(answer), chinese ? L"确认" : L"OK");
    EXPECT_EQ(e2e::AccessibleName(::GetDlgItem(prompt, IDC_CLOSE)), chinese ? L"关闭" : L"Close");
    EXPECT_EQ(e2e::AccessibleName(::GetDlgItem(prompt, IDC_PROMPT_TEXT)), ToolRun::PromptText(prompt));
    gd::PressChord({VK_SPACE});
    EXPECT_TRUE(gd::WaitForGone(prompt, e2e::kWindowTimeoutMs)) << "Space did not answer the prompt";
    EXPECT_TRUE(gd::WaitFor([&] { return e2e::KeyboardFocus(t.panel) == t.repair; }, e2e::kSettleTimeoutMs))
        << "after the prompt the focus is on #" << ::GetDlgCtrlID(e2e::KeyboardFocus(t.panel));

    // Space counts for its own press only: afterwards a click its owner is told of, or
    // one the button reports, with the pointer elsewhere is thrown away as before. The
    // notice comes first: the button's own click passes through a button release, which
    // would wipe a leftover of the key press before the notice could show it.
    ASSERT_TRUE(::DeleteFileW(Ran(t.run).c_str()));
    ASSERT_TRUE(gd::WaitUntilHittable(t.repair, e2e::kSettleTimeoutMs));
    gd::MoveTo(0, 0);
    ::PostMessageW(t.panel, WM_COMMAND, MAKEWPARAM(IDC_REPAIR, BN_CLICKED), reinterpret_cast<LPARAM>(t.repair));
    ExpectNoRepair(t.run, 1500, "click notice after a Space repair, the pointer elsewhere");
    ::PostMessageW(t.repair, BM_CLICK, 0, 0);
    ExpectNoRepair(t.run, 1500, "click message after a Space repair, the pointer elsewhere");
}

TEST(Agreement, UntickingDisablesTheRepairButtonAndTickingEnablesIt) {
    ASSERT_EQ(e2e::SystemLanguage(), 1) << "the agreement box exists in the Chinese interface only";
    Started t;
    StartTool(t, "mode=success\ndelay_ms=100\n");
    if (HasFatalFailure()) return;
    HWND box = t.run.PanelControl(IDC_AGREE);
    ASSERT_NE(box, nullptr);
    auto checked = [box] {
        DWORD_PTR state = 0;
        ::SendMessageTimeoutW(box, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &state);
        return state == BST_CHECKED;
    };
    EXPECT_TRUE(checked());
    EXPECT_TRUE(::IsWindowEnabled(t.repair));

    gd::ClickControl(box);
    EXPECT_TRUE(gd::WaitFor([&] { return !::IsWindowEnabled(t.repair); }, 5000)) << "repair stayed enabled";
    EXPECT_FALSE(checked());
    gd::ClickControl(t.repair);
    ExpectNoRepair(t.run, 1500, "click on the disabled button");

    gd::ClickControl(box);
    EXPECT_TRUE(gd::WaitFor([&] { return ::IsWindowEnabled(t.repair) != FALSE; }, 5000)) << "repair stayed disabled";
    EXPECT_TRUE(checked());
}
