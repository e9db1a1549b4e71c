// What keeps a flash from being doubled or cut short: the machine's repair lock against
// someone else's objects and against a flash a killed repair left running, the guard
// around the firmware tool's run (sleep, session end, the panel's reason), and the
// battery rule. Wine shows none of the power calls' effects, so the guard is seen
// through recorders put in place of the platform calls.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "dialogs/Messages.h"
#include "log/LogSave.h"
#include "repair/CommandRunner.h"
#include "repair/FlashGuard.h"
#include "repair/PowerStatus.h"
#include "repair/RepairContext.h"
#include "repair/RepairLock.h"
#include "tests/log/FixedClock.h"
#include "tests/repair/SpineSupport.h"
#include "tests/support/Env.h"
#include "win/Handle.h"
#include "win/SessionEnd.h"

using namespace spine_test;
using support::ScopedEnv;

namespace {

// Names of this test process's own, so that no other repair on the machine meets them.
struct LockNames {
    std::wstring lock;
    std::wstring flash;
};

LockNames TestNames(const wchar_t* tag)
{
    const std::wstring base = L"Global\\Orvane.Test." + std::to_wstring(::GetCurrentProcessId()) + L"." + tag;
    return {base + L".Repair", base + L".Flash"};
}

// Acquire with a bound, and how long it took.
LockResult TimedAcquire(CRepairLock& lock, DWORD timeoutMs, ULONGLONG& tookMs)
{
    const ULONGLONG start = ::GetTickCount64();
    const LockResult result = lock.Acquire(timeoutMs);
    tookMs = ::GetTickCount64() - start;
    return result;
}

// Whether the named mutex can be taken at once (and then gives it back).
bool MutexIsFree(const std::wstring& name)
{
    win::UniqueHandle mutex(::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str()));
    if (!mutex)
        return true;
    const DWORD wait = ::WaitForSingleObject(mutex.get(), 0);
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
        ::ReleaseMutex(mutex.get());
        return true;
    }
    return false;
}

// The firmware simulator, started the way the command processor starts it: inheriting
// every inheritable handle of this process. It never ends by itself.
class HangingChild {
public:
    explicit HangingChild(const ToolFolder& tool)
    {
        std::wstring line = L"LUMAFWU.exe /s";
        STARTUPINFOW si = {sizeof si};
        PROCESS_INFORMATION pi = {};
        if (::CreateProcessW((tool.Lumafwu() + L"\\LUMAFWU.exe").c_str(), &line[0], nullptr, nullptr, TRUE,
                             CREATE_NO_WINDOW, nullptr, tool.Lumafwu().c_str(), &si, &pi)) {
            ::CloseHandle(pi.hThread);
            m_process.reset(pi.hProcess);
        }
    }
    ~HangingChild() { End(); }
    bool Started() const { return static_cast<bool>(m_process); }
    void End()
    {
        if (!m_process)
            return;
        ::TerminateProcess(m_process.get(), 9);
        ::WaitForSingleObject(m_process.get(), 10000);
        m_process.reset();
    }

private:
    win::UniqueHandle m_process;
};

// A repair that dies while its firmware tool runs: a thread takes the lock, starts the
// child and ends without letting go, so the mutex is abandoned; then the lock object
// goes, closing this process's handle to the flash marker, as the killed process's
// handles would be closed.
struct DeadHolder {
    CRepairLock* lock;
    const ToolFolder* tool;  // null: the holder dies before it starts anything
    HangingChild* child = nullptr;
    LockResult result = LockResult::Failed;
};

DWORD WINAPI HoldAndDie(LPVOID parameter)
{
    auto* holder = static_cast<DeadHolder*>(parameter);
    holder->result = holder->lock->Acquire(0);
    if (holder->result == LockResult::Acquired && holder->tool)
        holder->child = new HangingChild(*holder->tool);
    return 0;
}

LockResult DieHolding(DeadHolder& holder)
{
    win::UniqueHandle thread(::CreateThread(nullptr, 0, HoldAndDie, &holder, 0, nullptr));
    if (!thread || ::WaitForSingleObject(thread.get(), 30000) != WAIT_OBJECT_0)
        return LockResult::Failed;
    delete holder.lock;
    holder.lock = nullptr;
    return holder.result;
}

// An Acquire on a thread of its own, as the repair worker makes it; the thread lets the
// lock go again at once.
class BackgroundAcquire {
public:
    BackgroundAcquire(const LockNames& names, DWORD timeoutMs) : m_state(std::make_shared<State>(names, timeoutMs))
    {
        auto* keep = new std::shared_ptr<State>(m_state);
        m_thread.reset(::CreateThread(nullptr, 0, Run, keep, 0, nullptr));
        if (!m_thread)
            delete keep;
    }
    bool Ended(DWORD waitMs) const { return m_thread && ::WaitForSingleObject(m_thread.get(), waitMs) == WAIT_OBJECT_0; }
    LockResult Result() const { return m_state->result; }

private:
    struct State {
        State(const LockNames& names, DWORD ms) : lock(names.lock.c_str(), names.flash.c_str()), timeoutMs(ms) {}
        CRepairLock lock;
        DWORD timeoutMs;
        std::atomic<LockResult> result{LockResult::Failed};
    };
    static DWORD WINAPI Run(LPVOID parameter)
    {
        const std::unique_ptr<std::shared_ptr<State>> state(static_cast<std::shared_ptr<State>*>(parameter));
        (*state)->result = (*state)->lock.Acquire((*state)->timeoutMs);
        (*state)->lock.Release();
        return 0;
    }

    std::shared_ptr<State> m_state;
    win::UniqueHandle m_thread;
};

}  // namespace

TEST(RepairLockNames, WhatACreateSaysAboutTheName)
{
    const struct {
        bool opened;
        DWORD error;
        NameState state;
    } cases[] = {
        {true, ERROR_SUCCESS, NameState::Created},
        {true, ERROR_ALREADY_EXISTS, NameState::Existing},
        {false, ERROR_INVALID_HANDLE, NameState::Taken},
        {false, ERROR_ACCESS_DENIED, NameState::Taken},
        {false, ERROR_FILE_NOT_FOUND, NameState::Failed},
        {false, ERROR_NOT_ENOUGH_MEMORY, NameState::Failed},
        {false, ERROR_SUCCESS, NameState::Failed},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.state, ClassifyNamedCreate(c.opened, c.error)) << c.opened << " " << c.error;
}

TEST(RepairLock, SomeoneElsesObjectUnderEitherNameIsARepairThatRuns)
{
    ULONGLONG took = 0;
    {
        // An event where the mutex belongs: busy for the whole wait, free once it goes.
        const LockNames names = TestNames(L"event");
        win::UniqueHandle squatter(::CreateEventW(nullptr, TRUE, FALSE, names.lock.c_str()));
        ASSERT_TRUE(squatter);
        CRepairLock lock(names.lock.c_str(), names.flash.c_str());
        EXPECT_EQ(LockResult::TimedOut, TimedAcquire(lock, 600, took));
        EXPECT_GE(took, 550u);

        // A windowed run waits without a bound and goes on once the name is free.
        BackgroundAcquire windowed(names, INFINITE);
        EXPECT_FALSE(windowed.Ended(800)) << "the wait ended while the name was taken";
        squatter.reset();
        ASSERT_TRUE(windowed.Ended(10000));
        EXPECT_EQ(LockResult::Acquired, windowed.Result());
    }
    {
        // Anything under the flash marker's name; the mutex is given back at the end.
        const LockNames names = TestNames(L"marker");
        win::UniqueHandle squatter(::CreateMutexW(nullptr, FALSE, names.flash.c_str()));
        ASSERT_TRUE(squatter);
        CRepairLock lock(names.lock.c_str(), names.flash.c_str());
        EXPECT_EQ(LockResult::TimedOut, TimedAcquire(lock, 400, took));
        EXPECT_GE(took, 350u);
        EXPECT_TRUE(MutexIsFree(names.lock));
        squatter.reset();
        EXPECT_EQ(LockResult::Acquired, lock.Acquire(0));
    }
}

TEST(RepairLock, AMutexThisProcessMayNotOpenIsARepairThatRuns)
{
    // An empty access list grants nothing.
    const LockNames names = TestNames(L"denied");
    SECURITY_DESCRIPTOR sd;
    ACL acl;
    ASSERT_TRUE(::InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(::InitializeAcl(&acl, sizeof acl, ACL_REVISION));
    ASSERT_TRUE(::SetSecurityDescriptorDacl(&sd, TRUE, &acl, FALSE));
    SECURITY_ATTRIBUTES sa = {sizeof sa, &sd, FALSE};
    win::UniqueHandle squatter(::CreateMutexW(&sa, FALSE, names.lock.c_str()));
    ASSERT_TRUE(squatter);
    win::UniqueHandle probe(::OpenMutexW(SYNCHRONIZE, FALSE, names.lock.c_str()));
    if (probe)
        GTEST_SKIP() << "this system opens the mutex despite its empty access list (Wine does)";
    CRepairLock lock(names.lock.c_str(), names.flash.c_str());
    ULONGLONG took = 0;
    EXPECT_EQ(LockResult::TimedOut, TimedAcquire(lock, 400, took));
    EXPECT_GE(took, 350u);
}

TEST(RepairLock, AFlashLeftRunningByADeadRepairHoldsEveryLaterOneBack)
{
    const LockNames names = TestNames(L"dead");
    ToolFolder tool("mode=quiet,nolog,hang");
    DeadHolder holder{new CRepairLock(names.lock.c_str(), names.flash.c_str()), &tool};
    ASSERT_EQ(LockResult::Acquired, DieHolding(holder));
    const std::unique_ptr<HangingChild> child(holder.child);
    ASSERT_TRUE(child && child->Started());
    ASSERT_TRUE(PumpUntil([&] { return !tool.Ran().empty(); }, 30000)) << "the firmware tool never ran";

    ULONGLONG took = 0;
    {
        // The mutex comes abandoned; the flash still runs.
        CRepairLock first(names.lock.c_str(), names.flash.c_str());
        EXPECT_EQ(LockResult::TimedOut, TimedAcquire(first, 800, took));
        EXPECT_GE(took, 750u);
    }
    EXPECT_TRUE(MutexIsFree(names.lock)) << "a run that gave up must give the mutex back";
    {
        // The one after it gets the mutex in order, and still waits.
        CRepairLock second(names.lock.c_str(), names.flash.c_str());
        EXPECT_EQ(LockResult::TimedOut, TimedAcquire(second, 400, took));
    }
    // Once the firmware tool has ended the machine is free, within the same wait.
    BackgroundAcquire third(names, 30000);
    EXPECT_FALSE(third.Ended(600));
    child->End();
    ASSERT_TRUE(third.Ended(30000));
    EXPECT_EQ(LockResult::Acquired, third.Result());
}

TEST(RepairLock, ARepairThatDiedBeforeItsFlashLeavesTheMachineFree)
{
    const LockNames names = TestNames(L"early");
    DeadHolder holder{new CRepairLock(names.lock.c_str(), names.flash.c_str()), nullptr};
    ASSERT_EQ(LockResult::Acquired, DieHolding(holder));
    CRepairLock next(names.lock.c_str(), names.flash.c_str());
    EXPECT_EQ(LockResult::Acquired, next.Acquire(0));
}

namespace {

// What was asked around a flash, and how far the simulator had got by then.
struct Seen {
    UINT_PTR value;  // the execution state asked for, or WM_FLASH_STATE's wParam
    bool started;
    bool ended;
    bool held;  // the tool's windows refused to let the session end
};

std::mutex g_seenLock;
std::vector<Seen> g_seen;
std::wstring g_ranPath;

Seen SeenNow(UINT_PTR value)
{
    const auto ran = ParseKeyValues(ReadBytes(g_ranPath));
    return Seen{value, ran.count("pid") != 0, ran.count("exit") != 0, win::IsSessionEndHeld()};
}

EXECUTION_STATE WINAPI RecordExecutionState(EXECUTION_STATE flags)
{
    std::lock_guard<std::mutex> lock(g_seenLock);
    g_seen.push_back(SeenNow(flags));
    return ES_CONTINUOUS;
}

}  // namespace

TEST(FlashGuard, AwakeAndHoldingTheSessionFromTheFirmwareToolsStartToItsEndOnEveryPath)
{
    const struct {
        const char* name;
        const char* behavior;
        bool simulator;
        bool panel;
        bool onBattery;
        bool faultInFlash;
        RepairOutcome outcome;
        int code;  // what the panel is told
        bool guarded;
        bool record;
    } cases[] = {
        {"windowed", "mode=quiet,success\nlinger_ms=300", true, true, false, false, RepairOutcome::Success,
         REPAIR_SUCCESS, true, false},
        {"unattended", "mode=quiet,nodevice", true, false, false, false, RepairOutcome::NoDevice, 0, true, true},
        {"fault inside the guard", "mode=quiet,success", true, true, false, true, RepairOutcome::CommandFailed,
         REPAIR_FAILED, true, true},
        {"no firmware tool", "", false, true, false, false, RepairOutcome::LogUnreadable, REPAIR_FAILED, false, true},
        // Nothing was run, so nothing is recorded.
        {"on battery", "mode=quiet,success", true, true, true, false, RepairOutcome::OnBattery, REPAIR_ON_BATTERY,
         false, false},
    };
    FlashCalls calls;
    calls.setExecutionState = &RecordExecutionState;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ToolFolder tool(c.behavior, c.simulator);
        g_ranPath = tool.Lumafwu() + L"\\LUMAFWU.ran";
        g_seen.clear();
        TempFolder logBase;
        CLogSave log(logBase.Path(), FixedClock);
        TestPanel panel;
        std::vector<Seen> states;
        panel.onFlashState = [&](const TestPanel::Message& m) { states.push_back(SeenNow(m.wParam)); };
        CRepairContext context;
        if (c.panel)
            context.SetPanelWindow(panel.Hwnd());
        context.SetToolFolderForTest(tool.Root());
        context.SetLogForTest(&log);
        context.SetFlashCallsForTest(calls);
        if (c.faultInFlash)
            context.SetFlashFaultForTest([] { throw std::bad_alloc(); });
        {
            const ScopedEnv battery(L"ORV_FORCE_ON_BATTERY", c.onBattery ? L"1" : nullptr);
            ASSERT_TRUE(RunOnWorker([&] { context.RunRepair(); }, 30000));
        }
        EXPECT_EQ(c.outcome, context.GetOutcome());
        if (c.panel) {
            ASSERT_EQ(2u, panel.messages.size());
            EXPECT_EQ(static_cast<WPARAM>(c.code), panel.messages[1].wParam);
        }
        EXPECT_FALSE(win::IsSessionEndHeld()) << "the session stays held after the run";
        const bool ran = c.guarded && !c.faultInFlash;
        EXPECT_EQ(ran, !tool.Ran().empty());
        EXPECT_EQ(c.record, PathExists(logBase / L"ToolLog\\Orvane 2020灯效闪烁修复工具.txt"));

        if (!c.guarded) {
            EXPECT_TRUE(g_seen.empty()) << "nothing to guard, yet the execution state was set";
            EXPECT_TRUE(states.empty());
            continue;
        }
        ASSERT_EQ(2u, g_seen.size());
        EXPECT_EQ(static_cast<UINT_PTR>(ES_CONTINUOUS | ES_SYSTEM_REQUIRED), g_seen[0].value);
        EXPECT_FALSE(g_seen[0].started) << "the firmware tool started before the machine was kept awake";
        EXPECT_EQ(static_cast<UINT_PTR>(ES_CONTINUOUS), g_seen[1].value);
        EXPECT_EQ(ran, g_seen[1].ended) << "the machine may sleep again before the firmware tool ended";
        EXPECT_TRUE(g_seen[0].held && g_seen[1].held);

        if (!c.panel) {
            EXPECT_TRUE(states.empty());
            continue;
        }
        ASSERT_EQ(2u, states.size());
        EXPECT_EQ(1u, states[0].value);
        EXPECT_FALSE(states[0].started);
        EXPECT_TRUE(states[0].held);
        EXPECT_EQ(0u, states[1].value);
        EXPECT_EQ(ran, states[1].ended);
    }
}

// The firmware folder goes between the look for LUMAFWU.exe and the start (the fault
// seam runs right there): the repair command runs the tool of that folder or nothing, so
// a LUMAFWU.exe in the current folder or on the PATH, where cmd.exe looks for a bare
// name, never runs.
TEST(RepairCommand, NoOtherFirmwareToolRunsWhenTheFolderIsGoneAtTheStart)
{
    ToolFolder tool("mode=quiet,success");
    ToolFolder inCurrent("mode=quiet,success");
    ToolFolder onPath("mode=quiet,success");
    TempFolder nowhere;
    wchar_t path[8192] = {};
    ::GetEnvironmentVariableW(L"PATH", path, 8192);
    const ScopedEnv pathEnv(L"PATH", onPath.Lumafwu() + L";" + path);
    wchar_t saved[MAX_PATH + 1] = {};
    ::GetCurrentDirectoryW(MAX_PATH + 1, saved);
    ASSERT_TRUE(::SetCurrentDirectoryW(inCurrent.Lumafwu().c_str()));

    TempFolder logBase;
    CLogSave log(logBase.Path(), FixedClock);
    CRepairContext context;
    context.SetLanguage(1);
    context.SetToolFolderForTest(tool.Root());
    context.SetLogForTest(&log);
    context.SetFlashFaultForTest([&tool] { RemoveTree(tool.Lumafwu()); });
    const bool ended = RunOnWorker([&] { context.RunRepair(); }, 30000);
    const bool ranElsewhere = !inCurrent.Ran().empty() || !onPath.Ran().empty();

    // Controls: a bare name after a single "&" finds both.
    const std::wstring bare = L"cd /d \"" + tool.Lumafwu() + L"\" & LUMAFWU.exe /s";
    std::wstring output;
    RunCommand(bare, output);
    ::SetCurrentDirectoryW(nowhere.Path().c_str());
    RunCommand(bare, output);
    ::SetCurrentDirectoryW(saved);

    ASSERT_TRUE(ended);
    EXPECT_FALSE(ranElsewhere) << "a firmware tool outside the tool's folder ran";
    EXPECT_EQ(RepairOutcome::CommandFailed, context.GetOutcome());
    EXPECT_EQ(FormatLogRecord(FixedTime(), RepairRecordText(RepairRecord::CommandFailed, 1)),
              ReadBytes(logBase / L"ToolLog\\Orvane 2020灯效闪烁修复工具.txt"));
    EXPECT_FALSE(inCurrent.Ran().empty()) << "the control did not find the tool in the current folder";
    EXPECT_FALSE(onPath.Ran().empty()) << "the control did not find the tool on the PATH";
}

namespace {

struct ReasonCall {
    bool create;
    HWND window;
    std::wstring text;
    bool operator==(const ReasonCall& o) const { return create == o.create && window == o.window && text == o.text; }
};

std::vector<ReasonCall> g_reasonCalls;
BOOL g_reasonAnswer = TRUE;

BOOL WINAPI RecordReasonCreate(HWND window, LPCWSTR text)
{
    g_reasonCalls.push_back({true, window, text});
    return g_reasonAnswer;
}

BOOL WINAPI RecordReasonDestroy(HWND window)
{
    g_reasonCalls.push_back({false, window, L""});
    return TRUE;
}

}  // namespace

TEST(ShutdownBlockReason, GivenOnceInTheToolsLanguageAndTakenBackOnEveryPath)
{
    FlashCalls calls;
    calls.blockReasonCreate = &RecordReasonCreate;
    calls.blockReasonDestroy = &RecordReasonDestroy;
    // Only recorded, never used as a window.
    const HWND main = reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x1234));
    const std::wstring zh = L"正在修复，请勿关机或注销";
    const std::wstring en = L"Repairing the lighting firmware; do not shut down or log off";

    g_reasonCalls.clear();
    g_reasonAnswer = TRUE;
    {
        CShutdownBlockReason reason(calls);
        reason.Set(main, 1);
        reason.Set(main, 1);
        reason.Clear();
        reason.Clear();
        reason.Set(nullptr, 1);
        reason.Set(main, 0);
        // The panel goes while the reason is given.
    }
    const std::vector<ReasonCall> expected = {
        {true, main, zh}, {false, main, L""}, {true, main, en}, {false, main, L""}};
    EXPECT_TRUE(g_reasonCalls == expected);

    // A reason the system refused is not taken back, and may be asked for again.
    g_reasonCalls.clear();
    g_reasonAnswer = FALSE;
    {
        CShutdownBlockReason reason(calls);
        reason.Set(main, 1);
        reason.Clear();
        reason.Set(main, 1);
    }
    EXPECT_TRUE(g_reasonCalls == (std::vector<ReasonCall>{{true, main, zh}, {true, main, zh}}));
}

TEST(PowerStatus, OnlyAnOfflineAcLineWithABatteryHoldsTheFlashBack)
{
    const struct {
        BYTE ac;
        BYTE battery;
        bool onBattery;
    } cases[] = {
        {0, 1, true},     {0, 2, true},      {0, 4, true},      {0, 0, true},    {0, 9, true},
        {0, 128, false},  {0, 255, false},   {1, 1, false},     {1, 8, false},   {1, 128, false},
        {255, 1, false},  {255, 128, false}, {255, 255, false}, {2, 1, false},
    };
    for (const auto& c : cases) {
        SYSTEM_POWER_STATUS status = {};
        status.ACLineStatus = c.ac;
        status.BatteryFlag = c.battery;
        EXPECT_EQ(c.onBattery, IsOnBattery(status)) << int(c.ac) << " " << int(c.battery);
    }

    // The variable can only add "on battery" to what the machine says.
    SYSTEM_POWER_STATUS real = {};
    const bool machine = ::GetSystemPowerStatus(&real) && IsOnBattery(real);
    EXPECT_EQ(machine, MachineRunsOnBattery());
    for (const wchar_t* value : {L"0", L"", L"yes", L"10", L" 1", L"true"}) {
        const ScopedEnv env(L"ORV_FORCE_ON_BATTERY", value);
        EXPECT_EQ(machine, MachineRunsOnBattery()) << Utf8(value);
    }
    const ScopedEnv env(L"ORV_FORCE_ON_BATTERY", L"1");
    EXPECT_TRUE(MachineRunsOnBattery());
}
