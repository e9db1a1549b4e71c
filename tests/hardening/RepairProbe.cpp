// repair_probe <tool folder> <log base folder> <result file>: one repair run of the real
// repair code in a process of its own, so that its peak memory is its own. Writes
// code=, result_chars=, messages=, ms=, peak_ws=, peak_private=, base_ws= (bytes) to
// the result file.
#include <windows.h>
#include <psapi.h>

#include <string>

#include "dialogs/Messages.h"
#include "log/LogSave.h"
#include "repair/RepairContext.h"
#include "tests/log/FixedClock.h"
#include "tests/repair/SpineSupport.h"

using namespace spine_test;

namespace {

PROCESS_MEMORY_COUNTERS_EX Memory()
{
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                           sizeof counters);
    return counters;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4)
        return 2;
    const SIZE_T baseWs = Memory().WorkingSetSize;
    TestPanel panel;
    CLogSave log(argv[2], FixedClock);
    CRepairContext context;
    context.SetLanguage(::GetSystemDefaultLangID() == 0x0804 ? 1 : 0);
    context.SetPanelWindow(panel.Hwnd());
    context.SetToolFolderForTest(argv[1]);
    context.SetLogForTest(&log);

    const ULONGLONG start = ::GetTickCount64();
    const bool ended = RunOnWorker([&] { context.RunRepair(); }, 170000);
    const ULONGLONG ms = ::GetTickCount64() - start;
    const PROCESS_MEMORY_COUNTERS_EX after = Memory();

    std::string out = "ended=" + std::to_string(ended ? 1 : 0) + "\r\n";
    int code = 0;
    for (const TestPanel::Message& m : panel.messages) {
        if (m.message == WM_REPAIR_RESULT)
            code = static_cast<int>(m.wParam);
    }
    out += "code=" + std::to_string(code) + "\r\n";
    out += "messages=" + std::to_string(panel.messages.size()) + "\r\n";
    out += "result_chars=" + std::to_string(context.GetResultText().size()) + "\r\n";
    out += "ms=" + std::to_string(ms) + "\r\n";
    out += "base_ws=" + std::to_string(baseWs) + "\r\n";
    out += "peak_ws=" + std::to_string(after.PeakWorkingSetSize) + "\r\n";
    out += "peak_private=" + std::to_string(after.PeakPagefileUsage) + "\r\n";
    WriteBytes(argv[3], out);
    // The worker may still be running when it did not end in time; do not wait for it.
    ::ExitProcess(0);
}
