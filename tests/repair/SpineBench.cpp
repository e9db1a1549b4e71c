// Measures the tool log's throughput with four writers, and the time from the firmware
// tool's exit to the panel's outcome message for a tool that prints one line.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "dialogs/Messages.h"
#include "log/LogSave.h"
#include "repair/RepairContext.h"
#include "tests/repair/SpineSupport.h"

using namespace spine_test;

namespace {

unsigned long long PreciseNow()
{
    FILETIME ft = {};
    ::GetSystemTimePreciseAsFileTime(&ft);
    return (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

double LogRecordsPerSecond(int threads, int perThread)
{
    TempFolder base;
    CLogSave log(base.Path());
    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t) {
        writers.emplace_back([&log, t, perThread] {
            for (int i = 0; i < perThread; ++i)
                log.WriteLog("bench thread " + std::to_string(t) + " record " + std::to_string(i), ToolLogName(), true);
        });
    }
    for (auto& w : writers)
        w.join();
    ::QueryPerformanceCounter(&end);
    const double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
    return threads * perThread / seconds;
}

// Milliseconds from the simulator's exit to WM_REPAIR_RESULT on the panel; negative on failure.
double ExitToResultMs()
{
    ToolFolder tool("mode=quiet,success\nsay=Firmware 1.0.4 written");
    TempFolder logBase;
    CLogSave log(logBase.Path());
    TestPanel panel;
    CRepairContext context;
    context.SetPanelWindow(panel.Hwnd());
    context.SetToolFolderForTest(tool.Root());
    context.SetLogForTest(&log);
    unsigned long long resultAt = 0;
    panel.onMessage = [&resultAt](const TestPanel::Message& m) {
        if (m.message == WM_REPAIR_RESULT)
            resultAt = PreciseNow();
    };
    if (!RunOnWorker([&context] { context.RunRepair(); }, 60000) || !resultAt)
        return -1;
    const unsigned long long exitAt = std::strtoull(tool.Ran()["exit"].c_str(), nullptr, 10);
    if (!exitAt)
        return -1;
    return (static_cast<double>(resultAt) - static_cast<double>(exitAt)) / 10000.0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const int perThread = argc > 1 ? _wtoi(argv[1]) : 5000;
    const int runs = argc > 2 ? _wtoi(argv[2]) : 7;

    const double rate = LogRecordsPerSecond(4, perThread);
    std::printf("tool log: 4 threads x %d records: %.0f records/s\n", perThread, rate);

    std::vector<double> latencies;
    for (int i = 0; i < runs; ++i) {
        const double ms = ExitToResultMs();
        if (ms < 0) {
            std::printf("run %d failed\n", i + 1);
            return 1;
        }
        latencies.push_back(ms);
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("firmware tool exit -> WM_USER+502 (%d runs, one line of output): min %.1f ms, median %.1f ms, max %.1f ms\n",
                runs, latencies.front(), latencies[latencies.size() / 2], latencies.back());
    return 0;
}
