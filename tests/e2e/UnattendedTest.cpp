// The tool started by a deployment system: /quiet runs the repair with no window and
// answers with its exit code; and the machine-wide lock that lets one repair run at a
// time, in both modes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/e2e/ToolRun.h"
#include "tests/support/Env.h"
#include "win/Handle.h"

namespace gd = guidriver;
using e2e::ToolRun;

namespace {

constexpr DWORD kRunTimeoutMs = 90000;
// Long enough that the tool takes about three times as long to read a log of this size
// as the next repair, waiting on the lock, takes to start its firmware tool (both 64-bit
// and emulated 32-bit); emulated, on a loaded machine, both runs together then take
// well over a minute.
constexpr size_t kLongLogBytes = 160u << 20;

using e2e::CreationTime;
using e2e::Ran;
using e2e::RanValue;
using e2e::RecordValue;
using support::ScopedEnv;

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// A quiet run prepared with the simulator set to `simulator`.
void PrepareRun(ToolRun& run, const std::string& simulator) { ASSERT_TRUE(e2e::Prepare(run, simulator)); }

// An unattended repair whose firmware tool never ends, so that it holds the lock until
// the test ends it.
void StartHolder(ToolRun& holder) {
    PrepareRun(holder, "mode=hang\ndelay_ms=0\n");
    if (testing::Test::HasFatalFailure()) return;
    ASSERT_TRUE(holder.Start(L"/quiet"));
    ASSERT_TRUE(gd::WaitFor([&] { return gd::FileExists(Ran(holder)); }, kRunTimeoutMs)) << "the holder never ran";
}

// An unattended run that may wait 2 s for the machine ends with 5, its firmware tool
// not run.
void ExpectBusy(ToolRun& waiter) {
    const ScopedEnv wait(L"ORV_REPAIR_LOCK_WAIT_MS", L"2000");
    bool window = true;
    ASSERT_TRUE(waiter.RunToExit(L"/quiet", kRunTimeoutMs, window));
    EXPECT_EQ(waiter.ExitCode(), 5u);
    EXPECT_FALSE(window);
    EXPECT_FALSE(gd::FileExists(Ran(waiter))) << "the firmware tool ran while the machine was busy";
}

// A click on the windowed tool's repair button brings its progress prompt, which stays
// while the machine is busy, and no firmware tool of its own runs meanwhile.
void ExpectHeldBack(const ToolRun& windowed, HWND repair) {
    gd::ClickControl(repair);
    HWND progress = windowed.WaitForProgress();
    ASSERT_NE(progress, nullptr) << gd::SceneReport(repair);
    e2e::Idle(2000);
    EXPECT_TRUE(::IsWindowVisible(progress)) << "the progress prompt went while the machine was busy";
    EXPECT_EQ(windowed.WaitForPrompt(0), nullptr);
    EXPECT_FALSE(gd::FileExists(Ran(windowed))) << "the firmware tool ran while the machine was busy";
}

unsigned long long PreciseNow() {
    FILETIME now{};
    ::GetSystemTimePreciseAsFileTime(&now);
    return (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

// A firmware run as its record showed it (FILETIME counts; 0 while not seen).
struct Flash {
    unsigned long long start = 0, exit = 0;
};

// Runs of one copy share the one record, each replacing the one before: looked at often,
// it shows every run whole. Adds what it shows to flashes; returns their number.
size_t WatchFlashes(const ToolRun& run, std::vector<Flash>& flashes) {
    const std::string text = gd::ReadFileBytes(Ran(run));
    const unsigned long long start = RecordValue(text, "start");
    if (start == 0) return flashes.size();
    // Wine hands process ids out again soon: the start tells two runs apart.
    if (flashes.empty() || flashes.back().start != start) flashes.push_back(Flash{start});
    if (!flashes.back().exit) flashes.back().exit = RecordValue(text, "exit");
    return flashes.size();
}

}  // namespace

TEST(Unattended, ExitCodesAndRecordsWithoutAnyWindowKeepingTheFolder) {
    const bool chinese = e2e::SystemLanguage() == 1;
    struct Case {
        const wchar_t* args;
        const char* simulator;
        bool quarantined;  // LUMAFWU.exe is gone; the log of the run before stays
        DWORD code;
        const char* zhRecord;  // the record's bytes; null: no record
        const char* enRecord;
    };
    const char kLogUnreadZh[] = "\xB6\xC1\xC8\xA1\xA3\xCC\x6F\x67\xCE\xC4\xBC\xFE\xCA\xA7\xB0\xDC";
    const char kLogUnreadEn[] = "Failed to read log file";
    const Case cases[] = {
        {L"/Q", "mode=failure", false, 1, "\xD0\xDE\xB8\xB4\xCA\xA7\xB0\xDC", "Failed"},
        {L"/x \"/QUIET\" extra", "mode=nodevice", false, 2,
         "\xCE\xDE\xB7\xA8\xBC\xEC\xB2\xE2\xB5\xBD\xC9\xE8\xB1\xB8", "Can not Find Device"},
        {L"/quiet", "mode=success", false, 0, nullptr, nullptr},
        // The log the success left behind answers for neither of the next two runs.
        {L"/q", "mode=nolog", false, 3, kLogUnreadZh, kLogUnreadEn},
        {L"/q", "mode=success", true, 3, kLogUnreadZh, kLogUnreadEn},
    };
    ASSERT_TRUE(e2e::DeleteToolLog());
    ToolRun run;
    PrepareRun(run, "mode=success");
    if (HasFatalFailure()) return;
    size_t records = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(gd::Utf8(c.args) + " " + c.simulator);
        ::DeleteFileW(Ran(run).c_str());
        ASSERT_TRUE(run.SetSimulator(std::string(c.simulator) + "\ndelay_ms=300\n"));
        if (c.quarantined) {
            ASSERT_TRUE(::DeleteFileW(run.Path(L"LUMAFWU\\LUMAFWU.exe").c_str()));
        }
        const std::vector<e2e::FileSnapshot> before = e2e::SnapshotTree(run.Path(L"LUMAFWU"));
        bool window = true;
        ASSERT_TRUE(run.RunToExit(c.args, kRunTimeoutMs, window)) << "the tool did not end";
        EXPECT_EQ(run.ExitCode(), c.code);
        EXPECT_FALSE(window) << "the tool had a window";
        if (c.quarantined) {
            EXPECT_TRUE(e2e::SnapshotTree(run.Path(L"LUMAFWU")) == before) << "the tool changed its firmware folder";
        } else {
            EXPECT_NE(RanValue(run, "exit"), 0u) << "the simulator did not run to its end";
            const std::string ran = gd::ReadFileBytes(Ran(run));
            EXPECT_TRUE(ran.rfind("cwd=", 0) == 0 && EndsWith(ran.substr(0, ran.find("\r\n")), "\\LUMAFWU")) << ran;
        }

        const char* record = chinese ? c.zhRecord : c.enRecord;
        if (record) ++records;
        EXPECT_EQ(e2e::ToolLogRecords().size(), records);
        if (record) {
            EXPECT_TRUE(EndsWith(gd::ReadFileBytes(e2e::ToolLogPath()), std::string("   ") + record + "\r\r\n"))
                << gd::ReadFileBytes(e2e::ToolLogPath());
        }
    }
    EXPECT_TRUE(run.Journal().empty()) << "the feedback library was called";
    // Loading it alone runs a vendor's code, which the stand-in notes as it is loaded.
    const std::string threads = gd::ReadFileBytes(run.RecordPath(L"CorvelFeedbackInformation.threads"));
    EXPECT_EQ(threads.find("DllMain"), std::string::npos) << "the feedback library was loaded: " << threads;

    // A clean-up would have removed the folder 3 s after the end.
    const std::vector<e2e::FileSnapshot> files = e2e::SnapshotTree(run.Folder());
    const ULONGLONG due = ::GetTickCount64() + 5000;
    gd::WaitFor([due] { return ::GetTickCount64() >= due; }, 8000);
    EXPECT_FALSE(files.empty());
    EXPECT_TRUE(e2e::SnapshotTree(run.Folder()) == files) << "the folder changed after the end";
}

TEST(Unattended, OtherArgumentsBehaveAsNone) {
    ToolRun run;
    PrepareRun(run, "mode=success");
    if (HasFatalFailure()) return;
    ASSERT_TRUE(run.Start(L"/quiet2 -q quiet /qq " + std::wstring(20000, L'x')));
    EXPECT_NE(run.WaitForPanel(), nullptr) << "the main panel did not show";
}

TEST(Unattended, TwoRepairsStartedTogetherNeverOverlapAndEachReportsItsOwn) {
    // Both from one copy, as a deployment tool retrying on one machine would start them:
    // one firmware folder, one log. The first firmware run leaves a long log whose verdict
    // comes last, so that reading it takes a while; the second starts while the first
    // flashes, and its firmware tool finds no device and writes a log over that one. Had
    // the lock been let go before the first run read its log, the second's would cut the
    // reading short.
    ToolRun run;
    PrepareRun(run, "mode=touchlog\ndelay_ms=2000\n");
    if (HasFatalFailure()) return;
    const std::string line(126, '.');
    std::string log;
    for (size_t i = 0; i < kLongLogBytes / (line.size() + 2); ++i) log += line + "\r\n";
    log += "Success\r\n";
    ASSERT_TRUE(gd::WriteFileBytes(run.Path(L"LUMAFWU\\LUMAFWUlog.txt"), log));
    log.clear();
    log.shrink_to_fit();
    ASSERT_TRUE(run.Start(L"/quiet"));
    std::vector<Flash> flashes;
    ASSERT_TRUE(gd::WaitFor([&] { return WatchFlashes(run, flashes) == 1; }, kRunTimeoutMs)) << "no first flash";
    ASSERT_TRUE(run.SetSimulator("mode=nodevice,quiet\ndelay_ms=0\n"));
    gd::Process second;
    ASSERT_TRUE(second.Start(run.Exe(), L"/quiet", run.Folder()));
    const unsigned long long secondCreated = CreationTime(second.handle());
    ASSERT_TRUE(gd::WaitFor(
        [&] {
            WatchFlashes(run, flashes);
            return !run.Running() && !second.Running();
        },
        2 * kRunTimeoutMs, 2));
    WatchFlashes(run, flashes);

    EXPECT_EQ(run.ExitCode(), 0u) << "the first repair did not read its own log whole";
    EXPECT_EQ(second.ExitCode(), 2u);
    ASSERT_EQ(flashes.size(), 2u) << "the firmware tool did not run once for each";
    const Flash& a = flashes[0];
    const Flash& b = flashes[1];
    ASSERT_TRUE(a.start && a.exit && b.start && b.exit) << "a firmware run's record was not seen whole";
    ASSERT_NE(secondCreated, 0u);
    EXPECT_LT(secondCreated, a.exit) << "the second repair began after the first flash ended: they never competed";
    EXPECT_LT(a.exit, b.start) << "the firmware runs overlapped: " << a.start << ".." << a.exit << " and " << b.start
                               << ".." << b.exit;
}

TEST(Unattended, WaitsForARepairRunningElsewhereAndGivesUpWithFive) {
    ToolRun holder, waiter;
    PrepareRun(waiter, "mode=success\ndelay_ms=0\n");
    StartHolder(holder);
    if (HasFatalFailure()) return;
    ExpectBusy(waiter);

    // The holder dies with the lock and its firmware tool with it: the machine is free.
    holder.End();
    const ScopedEnv wait(L"ORV_REPAIR_LOCK_WAIT_MS", L"2000");
    bool window = true;
    ASSERT_TRUE(waiter.RunToExit(L"/quiet", kRunTimeoutMs, window));
    EXPECT_EQ(waiter.ExitCode(), 0u);
    EXPECT_TRUE(gd::FileExists(Ran(waiter)));
}

TEST(Unattended, AWindowedRepairKeepsItsProgressPromptUpWhileAnotherHoldsTheLock) {
    ToolRun holder, windowed;
    HWND repair = windowed.StartForRepair("mode=nodevice\ndelay_ms=0\n");
    ASSERT_NE(repair, nullptr);
    StartHolder(holder);
    if (HasFatalFailure()) return;
    ExpectHeldBack(windowed, repair);
    if (HasFatalFailure()) return;

    holder.End();
    HWND prompt = windowed.WaitForPrompt(kRunTimeoutMs);
    ASSERT_NE(prompt, nullptr) << "no outcome after the lock came free";
    // The English prompt shows the collected text, which ends with the log's phrase.
    const std::wstring text = ToolRun::PromptText(prompt);
    const std::wstring expected = e2e::SystemLanguage() == 1 ? L"无法检测到设备" : L"Can not Find Device";
    EXPECT_TRUE(text.size() >= expected.size() && text.substr(text.size() - expected.size()) == expected)
        << gd::Utf8(text);
    // The lock is free while the outcome waits for the user.
    ASSERT_TRUE(holder.SetSimulator("mode=success\ndelay_ms=0\n"));
    ScopedEnv wait(L"ORV_REPAIR_LOCK_WAIT_MS", L"2000");
    bool window = true;
    ASSERT_TRUE(holder.RunToExit(L"/quiet", kRunTimeoutMs, window));
    EXPECT_EQ(holder.ExitCode(), 0u) << "the lock was held while the outcome prompt showed";
    EXPECT_TRUE(windowed.ConfirmPrompt(prompt));
}

TEST(RepairLock, AFlashWhoseRepairWasKilledHoldsTheNextRepairsBack) {
    ToolRun holder, quiet, windowed;
    PrepareRun(quiet, "mode=success\ndelay_ms=0\n");
    HWND repair = windowed.StartForRepair("mode=nodevice\ndelay_ms=0\n");
    ASSERT_NE(repair, nullptr);
    StartHolder(holder);
    if (HasFatalFailure()) return;
    // Ended from outside while its firmware tool runs, as Task Manager or a deployment
    // tool's time-out would end it; the firmware tool runs on.
    holder.KillToolOnly();
    ASSERT_TRUE(holder.WaitForExit(10000));
    win::UniqueHandle flash(
        ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, static_cast<DWORD>(RanValue(holder, "pid"))));
    ASSERT_TRUE(flash);
    ASSERT_EQ(::WaitForSingleObject(flash.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the flash ended too";

    ExpectBusy(quiet);
    ExpectHeldBack(windowed, repair);
    if (HasFatalFailure()) return;

    ::TerminateProcess(flash.get(), 9);
    ASSERT_EQ(::WaitForSingleObject(flash.get(), 10000), static_cast<DWORD>(WAIT_OBJECT_0));
    const unsigned long long ended = PreciseNow();
    HWND prompt = windowed.WaitForPrompt(kRunTimeoutMs);
    ASSERT_NE(prompt, nullptr) << "no outcome after the flash left behind had ended";
    EXPECT_GT(RanValue(windowed, "start"), ended) << "the second flash began while the first ran";
    EXPECT_TRUE(windowed.ConfirmPrompt(prompt));
}

TEST(RepairLock, SomeoneElsesObjectUnderTheLocksNameIsABusyMachine) {
    ToolRun quiet, windowed;
    PrepareRun(quiet, "mode=success\ndelay_ms=0\n");
    HWND repair = windowed.StartForRepair("mode=nodevice\ndelay_ms=0\n");
    ASSERT_NE(repair, nullptr);
    // An event where the machine's repair mutex belongs.
    win::UniqueHandle squatter(::CreateEventW(nullptr, TRUE, FALSE, L"Global\\Orvane.FastMendLUMAFWU.Repair"));
    ASSERT_TRUE(squatter) << ::GetLastError();

    ExpectBusy(quiet);
    ExpectHeldBack(windowed, repair);
    if (HasFatalFailure()) return;

    squatter.reset();
    HWND prompt = windowed.WaitForPrompt(kRunTimeoutMs);
    ASSERT_NE(prompt, nullptr) << "no outcome after the name came free";
    EXPECT_TRUE(gd::FileExists(Ran(windowed)));
    EXPECT_TRUE(windowed.ConfirmPrompt(prompt));
}
