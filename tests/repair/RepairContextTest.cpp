#include <windows.h>

#include <gtest/gtest.h>

#include <clocale>
#include <new>
#include <optional>
#include <string>

#include "dialogs/Messages.h"
#include "log/Gbk.h"
#include "log/LogSave.h"
#include "repair/ExeFolder.h"
#include "repair/RepairContext.h"
#include "tests/log/FixedClock.h"
#include "tests/repair/SpineSupport.h"
#include "tests/support/Language.h"

using namespace spine_test;

namespace {

using support::SystemLanguage;

std::wstring ToolLogFile(const TempFolder& base)
{
    return base / L"ToolLog\\Orvane 2020灯效闪烁修复工具.txt";
}

bool EqualNoCase(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

TEST(RepairRules, Classification)
{
    const struct {
        const wchar_t* text;
        int code;
    } cases[] = {
        {L"Success", REPAIR_SUCCESS},
        {L"Can not Find Device\r\nSuccess\r\n", REPAIR_SUCCESS},
        {L"Success\r\nCan not Find Device", REPAIR_SUCCESS},
        {L"xxSuccessxx", REPAIR_SUCCESS},
        {L"Can not Find Device", REPAIR_NODEVICE},
        {L"success", REPAIR_FAILED},
        {L"SUCCESS", REPAIR_FAILED},
        {L"can not find device", REPAIR_FAILED},
        {L"Can not Find Devic", REPAIR_FAILED},
        {L"", REPAIR_FAILED},
        {L"Failed", REPAIR_FAILED},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.code, ClassifyRepairText(c.text)) << Utf8(c.text);
}

TEST(RepairRules, TrailingLineEndsAreTrimmed)
{
    const struct {
        const wchar_t* in;
        const wchar_t* out;
    } cases[] = {
        {L"Success\r\n", L"Success"},
        {L"a\r\nb\r\n\r\n\n\r", L"a\r\nb"},
        {L"\r\n\r\n", L""},
        {L"", L""},
        {L"a\r\n b ", L"a\r\n b "},
    };
    for (const auto& c : cases) {
        std::wstring text = c.in;
        TrimTrailingLineEnds(text);
        EXPECT_EQ(c.out, text);
    }
}

TEST(RepairRules, CommandAndRecordTexts)
{
    EXPECT_EQ(L"cd /d \"C:\\Tools\\Fix\\LUMAFWU\" && .\\LUMAFWU.exe /s", BuildRepairCommand(L"C:\\Tools\\Fix"));
    const struct {
        RepairRecord record;
        const char* gbk;
        const char* english;
    } cases[] = {
        {RepairRecord::ThreadCreateFailed, "\xB4\xB4\xBD\xA8\xB8\xFC\xD0\xC2\xB5\xC6\xD0\xA7\xC9\xC1\xCB\xB8\xCA\xA7\xB0\xDC",
         "Failed to create a new thread process to call firmware tool"},
        {RepairRecord::CommandFailed, "\xD6\xB4\xD0\xD0\xD0\xDE\xB8\xB4\xC3\xFC\xC1\xEE\xCA\xA7\xB0\xDC",
         "Failed to call the firmware tool"},
        {RepairRecord::LogReadFailed, "\xB6\xC1\xC8\xA1\xA3\xCCog\xCE\xC4\xBC\xFE\xCA\xA7\xB0\xDC", "Failed to read log file"},
        {RepairRecord::NoDevice, "\xCE\xDE\xB7\xA8\xBC\xEC\xB2\xE2\xB5\xBD\xC9\xE8\xB1\xB8", "Can not Find Device"},
        {RepairRecord::Failed, "\xD0\xDE\xB8\xB4\xCA\xA7\xB0\xDC", "Failed"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.gbk, RepairRecordText(c.record, 1));
        EXPECT_EQ(c.english, RepairRecordText(c.record, 0));
        EXPECT_EQ(c.english, RepairRecordText(c.record, 2));
    }
}

TEST(RepairRules, ExeFolderIsTheModulesFolderWithoutATrailingBackslash)
{
    EXPECT_EQ(L"C:\\Tools\\Fix", FolderOfPath(L"C:\\Tools\\Fix\\FastMend.exe"));
    EXPECT_EQ(L"C:", FolderOfPath(L"C:\\FastMend.exe"));
    EXPECT_EQ(L"", FolderOfPath(L"FastMend.exe"));

    const std::wstring folder = GetExeFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(L'\\', folder.back());
    EXPECT_TRUE(PathExists(folder + L"\\repair_context_zh_test.exe"));
}

TEST(ReadLogText, LinesAreAppendedWithCrLfAndDecodedAsGbk)
{
    const struct {
        std::string bytes;
        std::wstring text;
    } cases[] = {
        {"a\r\nb\r\n", L"a\r\nb\r\n"},
        {"a\nb", L"a\r\nb\r\n"},
        {"a\r\n\r\nb\r\n", L"a\r\n\r\nb\r\n"},
        {"", L""},
        {"\r\n", L"\r\n"},
        {Gbk(L"固件写入完成\r\nＬog\r\n"), L"固件写入完成\r\nＬog\r\n"},
        {std::string("a\0b\r\n", 5), L"ab\r\n"},
    };
    const std::string locale = std::setlocale(LC_CTYPE, nullptr);
    for (const auto& c : cases) {
        TempFolder folder;
        WriteBytes(folder / L"LUMAFWUlog.txt", c.bytes);
        std::wstring text = L"console\r\n";
        EXPECT_EQ(1, ReadLogText(folder / L"LUMAFWUlog.txt", text));
        EXPECT_EQ(L"console\r\n" + c.text, text) << c.bytes;
    }
    EXPECT_EQ(locale, std::setlocale(LC_CTYPE, nullptr)) << "the process locale must stay as it is";

    TempFolder empty;
    std::wstring text = L"kept";
    EXPECT_EQ(0, ReadLogText(empty / L"LUMAFWUlog.txt", text));
    EXPECT_EQ(L"kept", text);
}

TEST(RepairContext, PanelWindowIsStoredOnlyWhenGiven)
{
    TestPanel panel;
    CRepairContext context;
    EXPECT_EQ(0, context.SetPanelWindow(nullptr));
    EXPECT_EQ(nullptr, context.GetPanelWindow());
    EXPECT_EQ(1, context.SetPanelWindow(panel.Hwnd()));
    EXPECT_EQ(0, context.SetPanelWindow(nullptr));
    EXPECT_EQ(panel.Hwnd(), context.GetPanelWindow());
}

namespace {

struct RunCase {
    const char* name;
    std::string behavior;
    bool simulator;
    const char* staleLog;  // a LUMAFWUlog.txt left by an earlier run, or null
    int code;
    std::optional<RepairRecord> record;
    const wchar_t* resultExact;  // null: see resultContains
    const wchar_t* resultContains;
    bool outOfMemory = false;  // the worker fails by exception as it starts
    bool quarantined = false;  // LUMAFWU.exe is gone from its folder, the log left behind
};

const wchar_t kSuccessLog[] =
    L"LUMAFWU 2.1.0 firmware update\r\nController: LUMA 2020 lighting\r\nFirmware 1.0.4 written\r\nSuccess";

}  // namespace

TEST(RepairRun, OutcomesWithTheRealCmdAndTheSimulator)
{
    const RunCase cases[] = {
        {"success", "mode=quiet,success", true, nullptr, REPAIR_SUCCESS, std::nullopt, kSuccessLog, nullptr},
        {"console then log", "delay_ms=0\nmode=success", true, nullptr, REPAIR_SUCCESS, std::nullopt, nullptr,
         L"Writing firmware: 100%\r\nLUMAFWU 2.1.0 firmware update\r\n"},
        {"failure", "mode=quiet,failure", true, nullptr, REPAIR_FAILED, RepairRecord::Failed, nullptr, L"Failed"},
        {"no device", "mode=quiet,nodevice", true, nullptr, REPAIR_NODEVICE, RepairRecord::NoDevice,
         L"LUMAFWU 2.1.0 firmware update\r\nCan not Find Device", nullptr},
        {"both phrases", "mode=quiet,both", true, nullptr, REPAIR_SUCCESS, std::nullopt, nullptr, L"Retry"},
        {"lower case", "mode=quiet,lowercase", true, nullptr, REPAIR_FAILED, RepairRecord::Failed, L"success", nullptr},
        {"console Success, no log", "mode=quiet,nolog\nsay=Success", true, nullptr, REPAIR_FAILED,
         RepairRecord::LogReadFailed, L"", nullptr},
        // A log the firmware tool did not write in this run is no answer.
        {"stale log", "mode=quiet,nolog", true, "old run\r\nSuccess\r\n", REPAIR_FAILED, RepairRecord::LogReadFailed,
         L"", nullptr},
        {"stale log, firmware tool gone", "", true, "old run\r\nSuccess\r\n", REPAIR_FAILED,
         RepairRecord::LogReadFailed, L"", nullptr, false, true},
        // Written again, byte for byte, or empty again: a new log all the same.
        {"log written alike", "mode=quiet,success", true,
         "LUMAFWU 2.1.0 firmware update\r\nController: LUMA 2020 lighting\r\nFirmware 1.0.4 written\r\nSuccess\r\n",
         REPAIR_SUCCESS, std::nullopt, kSuccessLog, nullptr},
        {"empty log written empty", "mode=quiet,emptylog", true, "", REPAIR_FAILED, RepairRecord::Failed, L"", nullptr},
        {"empty log, console decides", "mode=quiet,emptylog\nsay=Can not Find Device", true, "Success\r\n",
         REPAIR_NODEVICE, RepairRecord::NoDevice, L"Can not Find Device", nullptr},
        {"empty log, nothing said", "mode=quiet,emptylog", true, nullptr, REPAIR_FAILED, RepairRecord::Failed, L"",
         nullptr},
        {"GBK log", "mode=quiet,gbk", true, nullptr, REPAIR_SUCCESS, std::nullopt,
         L"灯效控制器：LUMA 2020\r\n固件写入完成\r\nSuccess", nullptr},
        {"exit code ignored", "mode=quiet,success,exit:5", true, nullptr, REPAIR_SUCCESS, std::nullopt, kSuccessLog,
         nullptr},
        {"no LUMAFWU folder", "", false, nullptr, REPAIR_FAILED, RepairRecord::LogReadFailed, L"", nullptr},
        {"worker out of memory", "mode=quiet,success", false, nullptr, REPAIR_FAILED, RepairRecord::CommandFailed, L"",
         nullptr, true},
    };
    const int language = SystemLanguage();
    const DWORD mainThread = ::GetCurrentThreadId();
    for (const RunCase& c : cases) {
        SCOPED_TRACE(c.name);
        ToolFolder tool(c.behavior, c.simulator);
        if (c.staleLog)
            WriteBytes(tool.LogPath(), c.staleLog);
        if (c.quarantined) {
            ASSERT_TRUE(::DeleteFileW((tool.Lumafwu() + L"\\LUMAFWU.exe").c_str()));
        }
        TempFolder logBase;
        CLogSave log(logBase.Path(), FixedClock);
        TestPanel panel;
        CRepairContext context;
        context.SetLanguage(language);
        ASSERT_EQ(1, context.SetPanelWindow(panel.Hwnd()));
        context.SetToolFolderForTest(tool.Root());
        context.SetLogForTest(&log);
        if (c.outOfMemory)
            context.SetFaultForTest(CRepairContext::FaultStage::Start, [] { throw std::bad_alloc(); });

        bool recordBeforePromptClosed = false;
        std::wstring resultSeenByPanel;
        panel.onMessage = [&](const TestPanel::Message& m) {
            if (m.message != WM_REPAIR_RESULT)
                return;
            recordBeforePromptClosed = PathExists(ToolLogFile(logBase));
            resultSeenByPanel = context.GetResultText();
        };
        int result = -1;
        ASSERT_TRUE(RunOnWorker([&] { result = context.RunRepair(); }, 30000));

        EXPECT_EQ(c.code == REPAIR_SUCCESS ? 1 : 0, result);
        ASSERT_EQ(2u, panel.messages.size());
        EXPECT_EQ(WM_EXECUTE_PROMPT_CLOSE, panel.messages[0].message);
        EXPECT_EQ(0u, panel.messages[0].wParam);
        EXPECT_EQ(WM_REPAIR_RESULT, panel.messages[1].message);
        EXPECT_EQ(static_cast<WPARAM>(c.code), panel.messages[1].wParam);
        EXPECT_EQ(mainThread, panel.messages[1].thread);
        EXPECT_FALSE(recordBeforePromptClosed);

        EXPECT_EQ(context.GetResultText(), resultSeenByPanel);
        const std::wstring& text = context.GetResultText();
        if (c.resultExact) {
            EXPECT_EQ(c.resultExact, text) << Utf8(text);
        }
        if (c.resultContains) {
            EXPECT_NE(std::wstring::npos, text.find(c.resultContains)) << Utf8(text);
        }

        bool logged = false;
        const std::string bytes = ReadBytes(ToolLogFile(logBase), &logged);
        if (c.record) {
            EXPECT_EQ(FormatLogRecord(FixedTime(), RepairRecordText(*c.record, language)), bytes);
        } else {
            EXPECT_FALSE(logged) << "a successful repair writes no record";
        }

        if (c.simulator && !c.quarantined) {
            auto ran = tool.Ran();
            EXPECT_TRUE(EqualNoCase(tool.Lumafwu(), FromUtf8(ran["cwd"]))) << ran["cwd"];
            const std::string line = ran["cmdline"];
            EXPECT_EQ("LUMAFWU.exe /s", line.substr(line.size() < 14 ? 0 : line.size() - 14)) << line;
        }
    }
}

// One context runs every repair of its panel. A worker that fails by exception after the
// firmware tool ran, or after the panel heard the outcome, tells the panel once, lets the
// lock go, and leaves nothing of an earlier run behind for the next.
TEST(RepairRun, AFaultAtAnyStageOfARunOnAContextThatSucceededBeforeEndsItOnce)
{
    ToolFolder tool("mode=quiet,success");
    TempFolder logBase;
    CLogSave log(logBase.Path(), FixedClock);
    TestPanel panel;
    CRepairContext context;
    const int language = SystemLanguage();
    context.SetLanguage(language);
    ASSERT_EQ(1, context.SetPanelWindow(panel.Hwnd()));
    context.SetToolFolderForTest(tool.Root());
    context.SetLogForTest(&log);
    // A lock left held would show as a busy machine, not as a hang.
    context.SetLockWait(5000);
    const std::wstring ran = tool.Lumafwu() + L"\\LUMAFWU.ran";
    const std::string failedRecord =
        FormatLogRecord(FixedTime(), RepairRecordText(RepairRecord::CommandFailed, language));

    const auto run = [&](int expectedResult, WPARAM expectedCode) {
        panel.messages.clear();
        ::DeleteFileW(ran.c_str());
        int result = -1;
        ASSERT_TRUE(RunOnWorker([&] { result = context.RunRepair(); }, 30000));
        EXPECT_EQ(expectedResult, result);
        ASSERT_EQ(2u, panel.messages.size()) << "the panel was not told the outcome exactly once";
        EXPECT_EQ(WM_EXECUTE_PROMPT_CLOSE, panel.messages[0].message);
        EXPECT_EQ(WM_REPAIR_RESULT, panel.messages[1].message);
        EXPECT_EQ(expectedCode, panel.messages[1].wParam);
        EXPECT_FALSE(tool.Ran().empty()) << "the firmware tool did not run";
    };
    const auto fault = [] { throw std::bad_alloc(); };

    {
        SCOPED_TRACE("a success first");
        run(1, REPAIR_SUCCESS);
        EXPECT_EQ(kSuccessLog, context.GetResultText());
    }
    {
        SCOPED_TRACE("a fault once the firmware tool has ended");
        context.SetFaultForTest(CRepairContext::FaultStage::ToolRan, fault);
        run(0, REPAIR_FAILED);
        EXPECT_EQ(RepairOutcome::CommandFailed, context.GetOutcome());
        EXPECT_EQ(L"", context.GetResultText()) << "the success's text stood for this run";
        EXPECT_EQ(failedRecord, ReadBytes(ToolLogFile(logBase)));
    }
    {
        SCOPED_TRACE("a fault once the panel has the outcome");
        context.SetFaultForTest(CRepairContext::FaultStage::OutcomeSent, fault);
        run(0, REPAIR_SUCCESS);
        EXPECT_EQ(RepairOutcome::Success, context.GetOutcome());
        EXPECT_EQ(failedRecord, ReadBytes(ToolLogFile(logBase))) << "a record for a run that succeeded";
    }
    {
        SCOPED_TRACE("the lock free and the context whole again");
        context.SetFaultForTest(CRepairContext::FaultStage::Start, nullptr);
        run(1, REPAIR_SUCCESS);
        EXPECT_EQ(kSuccessLog, context.GetResultText());
    }
}

TEST(RepairRun, StartRepairRecordsOnlyAfterTheOutcomePromptReturned)
{
    ToolFolder tool("mode=quiet,failure");
    TempFolder logBase;
    CLogSave log(logBase.Path(), FixedClock);
    TestPanel panel;
    CRepairContext context;
    context.SetLanguage(SystemLanguage());
    context.SetPanelWindow(panel.Hwnd());
    context.SetToolFolderForTest(tool.Root());
    context.SetLogForTest(&log);

    const std::wstring file = ToolLogFile(logBase);
    bool recordWhilePromptOpen = true;
    bool promptClosed = false;
    panel.onMessage = [&](const TestPanel::Message& m) {
        if (m.message != WM_REPAIR_RESULT)
            return;
        // The outcome prompt stays open a while; the worker must still be waiting.
        recordWhilePromptOpen = PumpUntil([&] { return PathExists(file); }, 300);
        promptClosed = true;
    };
    ASSERT_EQ(1, context.StartRepair());
    ASSERT_TRUE(PumpUntil([&] { return promptClosed && PathExists(file); }, 30000));
    EXPECT_FALSE(recordWhilePromptOpen);
    ASSERT_EQ(2u, panel.messages.size());
    EXPECT_EQ(WM_EXECUTE_PROMPT_CLOSE, panel.messages[0].message);
    EXPECT_EQ(WM_REPAIR_RESULT, panel.messages[1].message);
    EXPECT_EQ(static_cast<WPARAM>(REPAIR_FAILED), panel.messages[1].wParam);
    EXPECT_TRUE(PumpUntil(
        [&] { return ReadBytes(file) == FormatLogRecord(FixedTime(), RepairRecordText(RepairRecord::Failed, SystemLanguage())); },
        5000));
}
