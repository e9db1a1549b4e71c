// orv_bench [start-ups]: one table of the delivered tool's figures, measured in one run.
// The start-up, idle CPU, peak working set and executable rows come from e2e_bench
// (the tool against a bare dialog of the window layer); this adds the delivered
// folder's size, the time from the firmware tool's exit to the outcome prompt of the
// real tool, and the tool log's throughput from spine_bench.
// Run through scripts/bench.sh (ORV_BUILD and ORV_DIST set, a display).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/e2e/ToolRun.h"
#include "tests/support/Text.h"

namespace gd = guidriver;

namespace {

unsigned long long PreciseNow()
{
    FILETIME ft = {};
    ::GetSystemTimePreciseAsFileTime(&ft);
    return (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

// Runs a program to its end and returns what it wrote to its standard output.
std::string Captured(const std::wstring& exe, const std::wstring& args)
{
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &sa, 0))
        return std::string();
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    std::wstring line = L"\"" + exe + L"\" " + args;
    PROCESS_INFORMATION pi = {};
    const BOOL started = ::CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    ::CloseHandle(writeEnd);
    std::string out;
    if (started) {
        char block[4096];
        DWORD n = 0;
        while (::ReadFile(readEnd, block, sizeof block, &n, nullptr) && n > 0)
            out.append(block, n);
        ::WaitForSingleObject(pi.hProcess, INFINITE);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
    ::CloseHandle(readEnd);
    return out;
}

void FolderSize(const std::wstring& folder, long long& bytes, int& files)
{
    WIN32_FIND_DATAW fd;
    HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            FolderSize(folder + L"\\" + name, bytes, files);
        } else {
            bytes += (static_cast<long long>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
            ++files;
        }
    } while (::FindNextFileW(find, &fd));
    ::FindClose(find);
}

// Milliseconds from the firmware simulator's exit (its own record) to the outcome
// prompt of the real tool being on screen; negative when the run failed.
double ExitToPromptMs()
{
    e2e::ToolRun run;
    if (!run.Ready())
        return -1;
    run.SetFeedback(e2e::kQuietFeedback);
    run.SetSimulator("mode=quiet,success\nsay=Firmware 1.0.4 written\n");
    if (!run.Start() || !run.WaitForPanel())
        return -1;
    HWND repair = run.PanelControl(IDC_REPAIR);
    if (!gd::ClickWhenHittable(repair, e2e::kSettleTimeoutMs))
        return -1;
    unsigned long long shownAt = 0;
    const ULONGLONG end = ::GetTickCount64() + 30000;
    while (!shownAt && ::GetTickCount64() < end) {
        HWND prompt = gd::FindTopWindow(run.Pid(), L"", L"", [](HWND h) {
            HWND c = ::GetDlgItem(h, IDC_PROMPT_FIRST);
            return c && ::IsWindowVisible(c);
        });
        if (prompt)
            shownAt = PreciseNow();
        else
            ::Sleep(2);
    }
    const std::string ran = gd::ReadFileBytes(run.Path(L"LUMAFWU\\LUMAFWU.ran"));
    const size_t at = ran.find("exit=");
    if (!shownAt || at == std::string::npos)
        return -1;
    const unsigned long long exitAt = std::strtoull(ran.c_str() + at + 5, nullptr, 10);
    return (static_cast<double>(shownAt) - static_cast<double>(exitAt)) / 10000.0;
}

void Row(const char* what, const std::string& tool, const std::string& bare)
{
    std::printf("%-52s %12s %12s\n", what, tool.c_str(), bare.c_str());
}

std::string Number(double value, int decimals)
{
    if (value < 0)
        return "-1";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : 3;
    const std::wstring dist = gd::EnvPath(L"ORV_DIST");
    if (dist.empty() || e2e::BuildPath(L"tests").empty()) {
        std::fprintf(stderr, "orv_bench: set ORV_BUILD and ORV_DIST\n");
        return 2;
    }

    std::fprintf(stderr, "start-up, idle and memory (e2e_bench)...\n");
    const std::vector<std::string> e2e =
        support::SplitLines(Captured(e2e::BuildPath(L"tests\\e2e_bench.exe"), std::to_wstring(runs)));

    std::fprintf(stderr, "firmware tool exit to outcome prompt...\n");
    std::vector<double> exitToPrompt;
    for (int i = 0; i < runs; ++i)
        exitToPrompt.push_back(ExitToPromptMs());
    std::sort(exitToPrompt.begin(), exitToPrompt.end());

    std::fprintf(stderr, "tool log (spine_bench)...\n");
    std::string logRate = "-1";
    for (const std::string& line : support::SplitLines(Captured(e2e::BuildPath(L"tests\\spine_bench.exe"), L"5000 1"))) {
        const size_t colon = line.rfind(": ");
        if (line.compare(0, 9, "tool log:") == 0 && colon != std::string::npos)
            logRate = line.substr(colon + 2, line.find(' ', colon + 2) - colon - 2);
    }

    long long bytes = 0;
    int files = 0;
    FolderSize(dist, bytes, files);

    // e2e_bench's rows, its closing note last.
    std::string note;
    for (const std::string& line : e2e) {
        if (!line.empty() && line[0] == '(')
            note = line;
        else if (!line.empty())
            std::printf("%s\n", line.c_str());
    }
    if (e2e.empty())
        Row("(e2e_bench gave nothing)", "", "");
    char folderText[64];
    std::snprintf(folderText, sizeof folderText, "%.0f", bytes / 1024.0);
    Row("delivered folder, KB (all files)", folderText, "-");
    Row("  files in it", std::to_string(files), "-");
    const double median = exitToPrompt[exitToPrompt.size() / 2];
    Row("firmware tool exit to outcome prompt, median ms", Number(exitToPrompt.front() < 0 ? -1 : median, 0), "-");
    Row("  best / worst ms", Number(exitToPrompt.front(), 0) + " / " + Number(exitToPrompt.back(), 0), "-");
    Row("tool log, records/s, 4 threads x 5000", logRate, "-");
    if (!note.empty())
        std::printf("%s\n", note.c_str());
    std::printf("(exit to prompt: %d repairs of the real tool; -1: not measured)\n", runs);
    return 0;
}
