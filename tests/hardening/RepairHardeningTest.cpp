#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "dialogs/Messages.h"
#include "log/Gbk.h"
#include "log/LogSave.h"
#include "repair/CommandRunner.h"
#include "repair/RepairContext.h"
#include "tests/hardening/HardeningSupport.h"
#include "tests/log/FixedClock.h"
#include "tests/repair/SpineSupport.h"
#include "tests/support/Language.h"
#include "tests/support/Threads.h"
#include "tools/guidriver/GuiDriver.h"

namespace gd = guidriver;
using hardening::Scratch;
using spine_test::FromUtf8;
using spine_test::ParseKeyValues;
using spine_test::ReadBytes;
using spine_test::Utf8;
using spine_test::WriteBytes;

namespace {

using support::SystemLanguage;

bool EqualNoCase(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// A literal's bytes, zero bytes included.
template <size_t N>
std::string Bytes(const char (&literal)[N])
{
    return std::string(literal, N - 1);
}

// A tool folder at <parent>\<name> laid out as delivered: LUMAFWU\LUMAFWU.exe (the
// simulator, or another program) with its behaviour file.
struct PlacedTool {
    std::wstring root;
    std::wstring Lumafwu() const { return root + L"\\LUMAFWU"; }
    std::map<std::string, std::string> Ran() const { return ParseKeyValues(ReadBytes(Lumafwu() + L"\\LUMAFWU.ran")); }
};

PlacedTool PlaceTool(const std::wstring& root, const std::string& behavior,
                     const std::wstring& program = spine_test::SimulatorPath())
{
    PlacedTool tool{root};
    ::CreateDirectoryW(root.c_str(), nullptr);
    ::CreateDirectoryW(tool.Lumafwu().c_str(), nullptr);
    ::CopyFileW(program.c_str(), (tool.Lumafwu() + L"\\LUMAFWU.exe").c_str(), FALSE);
    WriteBytes(tool.Lumafwu() + L"\\LUMAFWU.behavior", behavior);
    return tool;
}

// The whole-file reading the block-by-block reader must match: NUL bytes dropped, code
// page 936 (UTF-8 after its byte-order mark), lines ended by LF or CR LF, given CR LF.
std::wstring ReferenceLogText(std::string bytes)
{
    bytes.erase(std::remove(bytes.begin(), bytes.end(), '\0'), bytes.end());
    UINT codePage = kGbkCodePage;
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        bytes.erase(0, 3);
        codePage = CP_UTF8;
    }
    std::wstring content(bytes.size(), L'\0');
    content.resize(bytes.empty() ? 0
                                 : ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()),
                                                         &content[0], static_cast<int>(content.size())));
    std::wstring text;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find(L'\n', start);
        const size_t next = end == std::wstring::npos ? content.size() : end + 1;
        if (end == std::wstring::npos)
            end = content.size();
        else if (end > start && content[end - 1] == L'\r')
            --end;
        text.append(content, start, end - start);
        text += L"\r\n";
        start = next;
    }
    return text;
}

}  // namespace

TEST(RepairFolderRule, FoldersCmdCanEnterUnchanged)
{
    const std::wstring longOk = L"C:\\" + std::wstring(MAX_PATH - 1 - 23 - 3, L'a');
    const struct {
        std::wstring folder;
        bool usable;
    } cases[] = {
        {L"C:\\Tools\\Fix", true},
        {L"C:", true},
        {L"D:\\a b\\修复 (1)\\R&D ^x; y,z=w 'q' `t`", true},
        {longOk, true},
        {longOk + L"a", false},
        {L"C:\\x\\%OS%", false},
        {L"C:\\100%", false},
        {L"C:\\%", false},
        {L"C:\\a!b!c", true},
        {L"C:\\a!OS!", true},
        {L"\\\\server\\share\\tool", false},
        {L"\\\\?\\C:\\tool", false},
        {L"tool", false},
        {L"C:tool", false},
        {L"", false},
        {L"1:\\tool", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.usable, IsUsableToolFolder(c.folder)) << Utf8(c.folder);
    EXPECT_EQ(MAX_PATH - 1, longOk.size() + std::wstring(L"\\LUMAFWU\\LUMAFWUlog.txt").size());
}

TEST(PhraseScanner, SameCodeWhereverTheTextIsCut)
{
    const std::wstring texts[] = {
        L"abc Can not Find Device xyz",
        L"Can not Find Device then Success",
        L"Success",
        L"SuccesS Can not Find Devic",
        L"xxSuccessxx" + std::wstring(40, L'.') + L"Can not Find Device",
        L"",
    };
    for (const std::wstring& text : texts) {
        const int whole = ClassifyRepairText(text);
        for (size_t cut = 0; cut <= text.size(); ++cut) {
            for (size_t second = cut; second <= text.size(); second += 3) {
                CPhraseScanner scanner;
                scanner.Scan(text.substr(0, cut));
                scanner.Scan(text.substr(cut, second - cut));
                scanner.Scan(text.substr(second));
                ASSERT_EQ(whole, scanner.Code()) << Utf8(text) << " cut at " << cut << " and " << second;
            }
        }
    }
    EXPECT_EQ(REPAIR_NODEVICE, ClassifyRepairText(texts[0]));
    EXPECT_EQ(REPAIR_SUCCESS, ClassifyRepairText(texts[1]));
    EXPECT_EQ(REPAIR_FAILED, ClassifyRepairText(texts[3]));
}

TEST(ReadLogLines, BlockByBlockReadsAsTheWholeFile)
{
    const size_t block = 64 * 1024;
    const std::string fill(block - 1, 'x');
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"CR LF across blocks", fill + "\r\nSuccess\r\n"},
        {"GBK character across blocks", fill + "\xD0\xDE\xB8\xB4\r\nend"},
        {"lone CR at the end", "abc\r"},
        {"CR inside a line", "a\rb\r\n\r\n"},
        {"UTF-8 byte-order mark", "\xEF\xBB\xBFSuccess\r\n\xE4\xBF\xAE\xE5\xA4\x8D\r\n"},
        {"UTF-8 character across blocks", "\xEF\xBB\xBF" + std::string(block - 4, 'u') + "\xE4\xBF\xAE\xE5\xA4\x8D\n"},
        {"invalid GBK bytes", Bytes("\x80\xFF\x81\r\n\xA3\nSuccess\r\n\xFE\x30\xFF\x81")},
        {"NUL bytes", Bytes("a\0b\r\n\0")},
        {"only line ends", "\n\n\r\n"},
        {"empty", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Scratch folder(L"orv log ");
        const std::wstring path = folder / L"LUMAFWUlog.txt";
        WriteBytes(path, c.bytes);
        std::wstring text;
        size_t pieces = 0;
        ASSERT_EQ(1, ReadLogLines(path, [&](const std::wstring& piece) {
                      text += piece;
                      ++pieces;
                  }));
        EXPECT_EQ(ReferenceLogText(c.bytes), text);
        std::wstring appended = L"kept";
        ASSERT_EQ(1, ReadLogText(path, appended));
        EXPECT_EQ(L"kept" + text, appended);
    }
    // The byte-order mark says UTF-8, whatever the code page: "Success" keeps its "S".
    EXPECT_EQ(L"Success\r\n修复\r\n", ReferenceLogText(cases[4].bytes));
    std::wstring text = L"kept";
    EXPECT_EQ(0, ReadLogText(L"C:\\no\\such\\folder\\LUMAFWUlog.txt", text));
    EXPECT_EQ(L"kept", text);
}

namespace {

struct RunSeen {
    bool ended = false;
    int code = 0;
    size_t messages = 0;
    std::set<std::wstring> cmdLines;  // of every cmd.exe seen running the firmware tool
    std::string record;
};

// One run of the real repair code against the tool in folder, its records going to
// logBase, while the command lines of the cmd.exe processes that name watched (other
// tests may run theirs meanwhile) are collected.
RunSeen RunRepairIn(const std::wstring& folder, const std::wstring& logBase, const std::wstring& watched)
{
    RunSeen seen;
    spine_test::TestPanel panel;
    CLogSave log(logBase, spine_test::FixedClock);
    CRepairContext context;
    context.SetLanguage(SystemLanguage());
    context.SetPanelWindow(panel.Hwnd());
    context.SetToolFolderForTest(folder);
    context.SetLogForTest(&log);
    std::function<void()> job = [&context] { context.RunRepair(); };
    HANDLE thread = support::StartJobThread(&job);
    if (!thread)
        return seen;
    ULONGLONG nextLook = 0;
    seen.ended = spine_test::PumpUntil(
        [&] {
            if (::GetTickCount64() >= nextLook) {
                for (const std::wstring& line : hardening::CommandLinesOf(L"cmd.exe")) {
                    if (line.find(watched) != std::wstring::npos)
                        seen.cmdLines.insert(line);
                }
                nextLook = ::GetTickCount64() + 100;
            }
            return ::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
        },
        60000);
    if (!seen.ended) {
        // The job lives on the stack: the test cannot go on safely.
        ::TerminateThread(thread, 1);
    }
    ::CloseHandle(thread);
    for (const auto& m : panel.messages) {
        if (m.message == WM_REPAIR_RESULT)
            seen.code = static_cast<int>(m.wParam);
    }
    seen.messages = panel.messages.size();
    seen.record = ReadBytes(logBase + L"\\ToolLog\\" + FromGbk(ToolLogName()));
    return seen;
}

std::string RecordOf(RepairRecord record)
{
    return FormatLogRecord(spine_test::FixedTime(), RepairRecordText(record, SystemLanguage()));
}

// A folder of exactly length characters below parent, made of nested folders.
std::wstring NestedFolder(const std::wstring& parent, size_t length)
{
    std::wstring path = parent;
    ::CreateDirectoryW(path.c_str(), nullptr);
    while (path.size() < length) {
        const size_t part = std::min<size_t>(length - path.size() - 1, 100);
        path += L"\\" + std::wstring(part == 0 ? 1 : part, L'd');
        if (path.size() > length)
            path.resize(length);
        ::CreateDirectoryW(path.c_str(), nullptr);
    }
    return path;
}

class ScopedCurrentFolder {
public:
    explicit ScopedCurrentFolder(const std::wstring& folder)
    {
        ::GetCurrentDirectoryW(MAX_PATH, m_saved);
        ::SetCurrentDirectoryW(folder.c_str());
    }
    ~ScopedCurrentFolder() { ::SetCurrentDirectoryW(m_saved); }

private:
    wchar_t m_saved[MAX_PATH] = {};
};

}  // namespace

TEST(HostileFolders, TheFirmwareToolRunsInExactlyItsFolderOrNothingRuns)
{
    Scratch parent(L"orv hostile ");
    Scratch decoys(L"orv decoys ");
    // Where cmd.exe would look for LUMAFWU.exe if it did not change into the right
    // folder: its current folder, the PATH, and the folder %OS% expands to.
    const PlacedTool inCurrent = PlaceTool(decoys / L"current", "mode=quiet,success");
    const PlacedTool onPath = PlaceTool(decoys / L"path", "mode=quiet,success");
    wchar_t os[64] = {};
    ::GetEnvironmentVariableW(L"OS", os, 64);
    ASSERT_NE(L'\0', os[0]);
    const PlacedTool expanded = PlaceTool(parent / os, "mode=quiet,success");
    const PlacedTool delayed = PlaceTool(parent / (L"a" + std::wstring(os) + L"b"), "mode=quiet,success");
    const std::vector<PlacedTool> decoyTools = {inCurrent, onPath, expanded, delayed};
    ScopedCurrentFolder current(inCurrent.Lumafwu());
    wchar_t path[8192] = {};
    ::GetEnvironmentVariableW(L"PATH", path, 8192);
    hardening::ScopedEnv pathEnv(L"PATH", onPath.Lumafwu() + L";" + path);

    enum Expect { Runs, Refused, NoTool };
    const std::wstring longest = NestedFolder(parent.Path(), MAX_PATH - 1 - 23);
    const std::wstring tooLong = NestedFolder(parent / L"x", MAX_PATH - 23);
    const struct {
        std::wstring folder;
        Expect expect;
        bool withTool;
    } cases[] = {
        {parent / L"a b  c", Runs, true},
        {parent / L"修复 工具 灯效", Runs, true},
        {parent / L"R&D & co", Runs, true},
        {parent / L"a^b^^c", Runs, true},
        {parent / L"x (1) )(", Runs, true},
        {parent / L"a;b,c=d 'q' `t`", Runs, true},
        {parent / L"100%", Refused, true},
        {parent / L"%OS%", Refused, true},
        {parent / L"a!b!c", Runs, true},
        {parent / L"a!OS!b", Runs, true},
        {longest, Runs, true},
        {tooLong, Refused, true},
        {parent / L"no firmware tool", NoTool, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.folder));
        PlacedTool tool{c.folder};
        if (c.withTool) {
            // Long enough for the look at cmd.exe's command line every 100 ms.
            tool = PlaceTool(c.folder, "mode=quiet,success\nlinger_ms=1000\n");
        } else {
            ::CreateDirectoryW(c.folder.c_str(), nullptr);
            ::CreateDirectoryW(tool.Lumafwu().c_str(), nullptr);
        }
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(tool.Lumafwu().c_str()));
        Scratch logBase(L"orv hostile log ");
        const RunSeen seen = RunRepairIn(c.folder, logBase.Path(), parent.Path());
        ASSERT_TRUE(seen.ended);
        EXPECT_EQ(2u, seen.messages);

        const auto ran = tool.Ran();
        switch (c.expect) {
        case Runs: {
            EXPECT_EQ(REPAIR_SUCCESS, seen.code);
            EXPECT_EQ("", seen.record);
            EXPECT_TRUE(EqualNoCase(tool.Lumafwu(), FromUtf8(ran.count("cwd") ? ran.at("cwd") : ""))) << Utf8(tool.Lumafwu());
            // cmd.exe was started with exactly the command, the folder quoted and unchanged.
            const std::wstring expected = BuildCommandLine(BuildRepairCommand(c.folder));
            EXPECT_EQ(std::set<std::wstring>{expected}, seen.cmdLines);
            break;
        }
        case Refused:
            EXPECT_EQ(REPAIR_FAILED, seen.code);
            EXPECT_EQ(RecordOf(RepairRecord::CommandFailed), seen.record);
            EXPECT_TRUE(ran.empty()) << "the firmware tool must not run from a refused folder";
            EXPECT_TRUE(seen.cmdLines.empty());
            break;
        case NoTool:
            EXPECT_EQ(REPAIR_FAILED, seen.code);
            EXPECT_EQ(RecordOf(RepairRecord::LogReadFailed), seen.record);
            EXPECT_TRUE(seen.cmdLines.empty()) << "no cmd.exe may search the PATH for a firmware tool";
            break;
        }
        for (const PlacedTool& decoy : decoyTools) {
            EXPECT_TRUE(decoy.Ran().empty()) << "ran " << Utf8(decoy.Lumafwu());
            ::DeleteFileW((decoy.Lumafwu() + L"\\LUMAFWU.ran").c_str());
        }
    }

    // A machine whose registry switches delayed expansion on for every cmd.exe would
    // turn "!OS!" into a decoy's folder. Wine's cmd.exe ignores that value, so a /V:ON
    // ahead of the tool's own switches stands in for it (the later switch wins): the
    // tool's command line, started as the tool starts it, still reaches only the tool.
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    for (const wchar_t* name : {L"a!b!c", L"a!OS!b"}) {
        const PlacedTool tool{parent / name};
        SCOPED_TRACE(Utf8(tool.root));
        ::DeleteFileW((tool.Lumafwu() + L"\\LUMAFWU.ran").c_str());
        const std::wstring line = BuildCommandLine(BuildRepairCommand(tool.root));
        ASSERT_EQ(0u, line.find(L"cmd /"));
        gd::Process registryOn;
        ASSERT_TRUE(registryOn.Start(std::wstring(system) + L"\\cmd.exe", L"/V:ON " + line.substr(4), tool.Lumafwu()));
        ASSERT_TRUE(registryOn.Wait(30000));
        const auto ran = tool.Ran();
        EXPECT_TRUE(EqualNoCase(tool.Lumafwu(), FromUtf8(ran.count("cwd") ? ran.at("cwd") : ""))) << "the tool did not run";
        for (const PlacedTool& decoy : decoyTools) {
            EXPECT_TRUE(decoy.Ran().empty()) << "ran " << Utf8(decoy.Lumafwu());
            ::DeleteFileW((decoy.Lumafwu() + L"\\LUMAFWU.ran").c_str());
        }
    }

    // Controls: the decoys lie where cmd.exe really looks when given these folders.
    std::wstring output;
    ASSERT_EQ(1, RunCommand(BuildRepairCommand(parent / L"%OS%"), output));
    EXPECT_FALSE(expanded.Ran().empty()) << Utf8(output);
    // A bare name after a single "&", as the command once was, reaches the PATH.
    ASSERT_EQ(1, RunCommand(L"cd /d \"" + parent / L"no firmware tool" + L"\\LUMAFWU\" & LUMAFWU.exe /s", output));
    EXPECT_FALSE(onPath.Ran().empty()) << Utf8(output);
    gd::Process withDelayedExpansion;
    ASSERT_TRUE(withDelayedExpansion.Start(std::wstring(system) + L"\\cmd.exe",
                                           L"/D /V:ON /C " + BuildRepairCommand(parent / L"a!OS!b")));
    ASSERT_TRUE(withDelayedExpansion.Wait(30000));
    EXPECT_FALSE(delayed.Ran().empty());
}

namespace {

// Writes size bytes made of line repeated (the last copy cut), then tail.
void WriteBigFile(const std::wstring& path, const std::string& line, size_t size, const std::string& tail)
{
    std::string block;
    while (block.size() < 1024 * 1024)
        block += line;
    block.resize(1024 * 1024);
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    for (size_t written = 0; written < size;) {
        const DWORD n = static_cast<DWORD>(std::min(block.size(), size - written));
        DWORD done = 0;
        ::WriteFile(file, block.data(), n, &done, nullptr);
        written += n;
    }
    DWORD done = 0;
    ::WriteFile(file, tail.data(), static_cast<DWORD>(tail.size()), &done, nullptr);
    ::CloseHandle(file);
}

struct OutputCase {
    const char* name;
    std::function<void(const PlacedTool&)> prepare;
    int code;
    std::optional<RepairRecord> record;
    ULONGLONG minMs;
};

}  // namespace

// Each run in a process of its own (repair_probe), so that its peak memory is its own.
TEST(BadFirmwareOutput, ClassifiedWithBoundedMemoryAndTime)
{
    const size_t big = 200u * 1024 * 1024;
    const std::string gbkLine = Gbk(L"固件写入进度：块 0x1F 已校验\r\n");
    const OutputCase cases[] = {
        {"200 MB log ending in Success",
         [&](const PlacedTool& t) { WriteBigFile(t.Lumafwu() + L"\\LUMAFWUlog.txt", gbkLine, big, "Success\r\n"); },
         REPAIR_SUCCESS, std::nullopt, 0},
        {"200 MB log in one line, no device at its end",
         [&](const PlacedTool& t) {
             WriteBigFile(t.Lumafwu() + L"\\LUMAFWUlog.txt", "0123456789abcdef", big, "Can not Find Device");
         },
         REPAIR_NODEVICE, RepairRecord::NoDevice, 0},
        {"log with invalid GBK bytes",
         [&](const PlacedTool& t) {
             WriteBytes(t.Lumafwu() + L"\\LUMAFWUlog.txt",
                        Bytes("\x80\xFF\x81\r\n\xA3\n\xFE\x30\r\nSuccess\r\n\x81"));
         },
         REPAIR_SUCCESS, std::nullopt, 0},
        {"log with a UTF-8 byte-order mark",
         [&](const PlacedTool& t) {
             WriteBytes(t.Lumafwu() + L"\\LUMAFWUlog.txt", "\xEF\xBB\xBFSuccess\r\n\xE5\xAE\x8C\xE6\x88\x90\r\n");
         },
         REPAIR_SUCCESS, std::nullopt, 0},
        {"1 MB on stdout and stderr in turn, Success said last",
         [&](const PlacedTool& t) {
             ::CopyFileW((hardening::TestBinFolder() + L"\\noisy_tool.exe").c_str(),
                         (t.Lumafwu() + L"\\LUMAFWU.exe").c_str(), FALSE);
             WriteBytes(t.Lumafwu() + L"\\noisy.cfg", "bytes=1048576\r\nfinal=Success\r\nlog=Failed\r\n");
         },
         REPAIR_SUCCESS, std::nullopt, 0},
        {"1 MB on stdout and stderr in turn, nothing found",
         [&](const PlacedTool& t) {
             ::CopyFileW((hardening::TestBinFolder() + L"\\noisy_tool.exe").c_str(),
                         (t.Lumafwu() + L"\\LUMAFWU.exe").c_str(), FALSE);
             WriteBytes(t.Lumafwu() + L"\\noisy.cfg", "bytes=1048576\r\nlog=Failed\r\n");
         },
         REPAIR_FAILED, RepairRecord::Failed, 0},
        {"a helper holds the pipe 10 s", [&](const PlacedTool& t) {}, REPAIR_SUCCESS, std::nullopt, 10000},
        {"the log is a folder",
         [&](const PlacedTool& t) { ::CreateDirectoryW((t.Lumafwu() + L"\\LUMAFWUlog.txt").c_str(), nullptr); },
         REPAIR_FAILED, RepairRecord::LogReadFailed, 0},
    };
    const std::string behaviors[] = {
        // A log put there before the run counts only once the firmware tool has written it.
        "mode=quiet,touchlog", "mode=quiet,touchlog", "mode=quiet,touchlog", "mode=quiet,touchlog", "", "",
        "mode=quiet,success,child:10", "mode=quiet,nolog",
    };
    static_assert(sizeof behaviors / sizeof behaviors[0] == sizeof cases / sizeof cases[0], "one behaviour a case");
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const OutputCase& c = cases[i];
        SCOPED_TRACE(c.name);
        Scratch root(L"orv output ");
        Scratch logBase(L"orv output log ");
        const PlacedTool tool = PlaceTool(root / L"Orvane 修复", behaviors[i]);
        c.prepare(tool);
        const std::wstring result = root / L"result.txt";
        gd::Process probe;
        ASSERT_TRUE(probe.Start(hardening::TestBinFolder() + L"\\repair_probe.exe",
                                L"\"" + tool.root + L"\" \"" + logBase.Path() + L"\" \"" + result + L"\""));
        ASSERT_TRUE(probe.Wait(180000)) << "the run did not end";
        auto r = ParseKeyValues(ReadBytes(result));
        ASSERT_EQ("1", r["ended"]);
        EXPECT_EQ(std::to_string(c.code), r["code"]);
        EXPECT_EQ("2", r["messages"]);
        const std::string record = ReadBytes(logBase.Path() + L"\\ToolLog\\" + FromGbk(ToolLogName()));
        EXPECT_EQ(c.record ? RecordOf(*c.record) : std::string(), record);

        const unsigned long long ms = std::stoull(r["ms"]);
        const double peakMb = (std::stod(r["peak_ws"]) - std::stod(r["base_ws"])) / (1024.0 * 1024.0);
        const double privateMb = std::stod(r["peak_private"]) / (1024.0 * 1024.0);
        std::cout << c.name << ": " << ms << " ms, working set +" << peakMb << " MB over the start, peak private "
                  << privateMb << " MB, " << r["result_chars"] << " characters kept\n";
        EXPECT_GE(ms, c.minMs);
        EXPECT_LT(ms, 45000u);
        EXPECT_LT(peakMb, 48.0) << "the run's memory must not grow with the output";
        EXPECT_LE(std::stoul(r["result_chars"]), kKeptConsoleBytes + kReadChunkBytes + kKeptLogChars);
    }
}
