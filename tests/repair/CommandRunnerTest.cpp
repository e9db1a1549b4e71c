#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "log/Gbk.h"
#include "repair/CommandRunner.h"
#include "repair/RepairContext.h"
#include "tests/repair/SpineSupport.h"
#include "tests/support/PeImage.h"
#include "win/Handle.h"

using namespace spine_test;

namespace {

struct Chunk {
    std::string bytes;
    ULONGLONG tick;
};

// Runs the command and keeps every chunk with the time it was read.
int RunObserved(const std::wstring& command, std::wstring& output, std::vector<Chunk>& chunks)
{
    return RunCommandObserved(command, output, [&chunks](const char* bytes, DWORD count) {
        chunks.push_back(Chunk{std::string(bytes, count), ::GetTickCount64()});
    });
}

// The expected text of the simulator's "bytes:N" output.
std::wstring PatternText(size_t count)
{
    std::wstring text(count, L'\0');
    for (size_t i = 0; i < count; ++i)
        text[i] = (i % 64 == 63) ? L'\n' : static_cast<wchar_t>(L'a' + (i / 64) % 26);
    return text;
}

bool EndsInsideACharacter(const std::string& bytes, UINT codePage)
{
    size_t i = 0;
    while (i < bytes.size())
        i += ::IsDBCSLeadByteEx(codePage, static_cast<BYTE>(bytes[i])) ? 2 : 1;
    return i > bytes.size();
}

std::wstring Decoded(UINT codePage, const std::string& bytes)
{
    std::wstring out;
    CChunkDecoder decoder(codePage);
    decoder.Feed(bytes.data(), bytes.size(), out);
    decoder.Finish(out);
    return out;
}

}  // namespace

TEST(ChunkDecoder, CharactersSplitBetweenChunksComeOutWhole)
{
    const struct {
        UINT codePage;
        std::wstring text;
    } cases[] = {
        {936, L"ab修复成功：Ｌog灯效c"},
        {CP_UTF8, L"ab修复成功x\U0001F600y"},
        {1252, L"caf\u00e9 cr\u00e8me"},
    };
    for (const auto& c : cases) {
        std::string bytes;
        const int n = ::WideCharToMultiByte(c.codePage, 0, c.text.c_str(), -1, nullptr, 0, nullptr, nullptr);
        bytes.resize(n - 1);
        ::WideCharToMultiByte(c.codePage, 0, c.text.c_str(), -1, &bytes[0], n, nullptr, nullptr);
        for (size_t cut = 0; cut <= bytes.size(); ++cut) {
            for (size_t cut2 = cut; cut2 <= bytes.size(); ++cut2) {
                std::wstring out;
                CChunkDecoder decoder(c.codePage);
                decoder.Feed(bytes.data(), cut, out);
                decoder.Feed(bytes.data() + cut, cut2 - cut, out);
                decoder.Feed(bytes.data() + cut2, bytes.size() - cut2, out);
                decoder.Finish(out);
                ASSERT_EQ(c.text, out) << "code page " << c.codePage << " cut at " << cut << " and " << cut2;
            }
        }
    }
}

TEST(ChunkDecoder, ZeroBytesAreDroppedAndTheRestKept)
{
    EXPECT_EQ(L"alphabeta\r\ngammadelta", Decoded(936, std::string("alpha\0beta\r\ngamma\0\0delta", 24)));
    EXPECT_EQ(L"修复", Decoded(936, std::string("\0\xD0\xDE\0\xB8\xB4\0", 7)));
    EXPECT_EQ(L"", Decoded(936, std::string(4095, '\0')));
}

TEST(ChunkDecoder, ALeadByteAtTheVeryEndIsStillDelivered)
{
    const std::wstring out = Decoded(936, "ok\xD0");
    ASSERT_EQ(3u, out.size());
    EXPECT_EQ(L"ok", out.substr(0, 2));
}

TEST(CommandRunner, CommandLineFormatAndBufferLimit)
{
    EXPECT_EQ(L"cmd /D /V:OFF /C cd /d \"C:\\a b\\LUMAFWU\" && .\\LUMAFWU.exe /s",
              BuildCommandLine(BuildRepairCommand(L"C:\\a b")));
    const size_t prefix = std::wstring(L"cmd /D /V:OFF /C ").size();
    EXPECT_EQ(kCommandLineChars - 1, BuildCommandLine(std::wstring(kCommandLineChars - 1 - prefix, L'x')).size());
    EXPECT_TRUE(BuildCommandLine(std::wstring(kCommandLineChars - prefix, L'x')).empty());
}

TEST(CommandRunner, NoOutputLeavesTheOutputUntouched)
{
    ToolFolder tool("mode=quiet,nolog");
    std::wstring output = L"kept";
    std::vector<Chunk> chunks;
    EXPECT_EQ(1, RunObserved(BuildRepairCommand(tool.Root()), output, chunks));
    EXPECT_EQ(L"kept", output);
    EXPECT_TRUE(chunks.empty());
    EXPECT_FALSE(tool.Ran().empty()) << "the simulator did not run";
}

TEST(CommandRunner, TenThousandBytesArriveInOrderInPausedChunks)
{
    ToolFolder tool("mode=quiet,nolog,bytes:10000");
    std::wstring output = L">";
    std::vector<Chunk> chunks;
    ASSERT_EQ(1, RunObserved(BuildRepairCommand(tool.Root()), output, chunks));
    EXPECT_EQ(L">" + PatternText(10000), output);
    ASSERT_GE(chunks.size(), 3u);
    size_t total = 0;
    for (size_t i = 0; i < chunks.size(); ++i) {
        EXPECT_LE(chunks[i].bytes.size(), kReadChunkBytes);
        total += chunks[i].bytes.size();
        if (i > 0) {
            EXPECT_GE(chunks[i].tick - chunks[i - 1].tick, kChunkPauseMs - 20) << "no pause before chunk " << i;
        }
    }
    EXPECT_EQ(10000u, total);
}

TEST(CommandRunner, ZeroBytesDoNotCutTheOutput)
{
    ToolFolder tool("mode=quiet,nolog,nul\nsay=after");
    std::wstring output;
    ASSERT_EQ(1, RunCommand(BuildRepairCommand(tool.Root()), output));
    EXPECT_EQ(L"after\r\nalphabeta\r\ngammadelta\r\n", output);
}

TEST(CommandRunner, SimulatorAlsoTakesItsBehaviourFromTheEnvironment)
{
    ToolFolder tool("mode=quiet,nolog");
    ::SetEnvironmentVariableW(L"ORV_LUMAFWU_MODE", L"say=first;say=second");
    std::wstring output;
    const int result = RunCommand(BuildRepairCommand(tool.Root()), output);
    ::SetEnvironmentVariableW(L"ORV_LUMAFWU_MODE", nullptr);
    EXPECT_EQ(1, result);
    EXPECT_EQ(L"first\r\nsecond\r\n", output);
}

TEST(CommandRunner, GbkCharacterAcrossTheReadBoundary)
{
    if (::GetACP() != 936)
        GTEST_SKIP() << "needs a system whose ANSI code page is 936";
    ToolFolder tool("mode=quiet,nolog,gbksplit");
    const std::wstring whole = std::wstring(4094, L'.') + L"修复成功：灯效正常\r\nend\r\n";
    std::wstring output;
    std::vector<Chunk> chunks;
    ASSERT_EQ(1, RunObserved(BuildRepairCommand(tool.Root()), output, chunks));
    // cmd.exe says the same "not recognised" whether the file is missing or could not be
    // started: tell the two apart.
    EXPECT_EQ(whole, output) << "the simulator's file is there: " << PathExists(tool.Lumafwu() + L"\\LUMAFWU.exe")
                             << "; it ran: " << !tool.Ran().empty();
    bool split = false;
    for (const Chunk& c : chunks)
        split = split || EndsInsideACharacter(c.bytes, 936);
    EXPECT_TRUE(split) << "no chunk ended inside a character, so the case was not exercised";

    // The same split between the kept first chunk and the rest.
    std::wstring kept, rest;
    ASSERT_EQ(1, RunCommandLimited(BuildRepairCommand(tool.Root()), kept, 1,
                                   [&rest](const std::wstring& text) { rest += text; }));
    EXPECT_EQ(std::wstring(4094, L'.'), kept);
    EXPECT_EQ(whole, kept + rest);
}

TEST(CommandRunner, MissingCommandGivesCmdErrorText)
{
    std::wstring output;
    EXPECT_EQ(1, RunCommand(L"orv_no_such_command_42", output));
    EXPECT_NE(std::wstring::npos, output.find(L"orv_no_such_command_42")) << Utf8(output);
    EXPECT_GT(output.size(), std::wstring(L"orv_no_such_command_42").size() + 10);
}

TEST(CommandRunner, BackgroundChildKeepsTheLoopWaiting)
{
    ToolFolder tool("mode=quiet,nolog,child:2");
    std::wstring output;
    const ULONGLONG start = ::GetTickCount64();
    ASSERT_EQ(1, RunCommand(BuildRepairCommand(tool.Root()), output));
    EXPECT_GE(::GetTickCount64() - start, 2000u);
    EXPECT_EQ(L"LUMAFWU helper finished\r\n", output);
    EXPECT_FALSE(tool.Ran()["exit"].empty()) << "the simulator itself must have ended first";
}

TEST(CommandRunner, ToolThatNeverEndsKeepsTheRunnerWaitingUntilEnded)
{
    ToolFolder tool("mode=quiet,nolog,hang");
    std::atomic<int> result{-1};
    std::wstring output;
    win::UniqueHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const std::wstring command = BuildRepairCommand(tool.Root());
    std::thread runner([&] {
        result = RunCommand(command, output);
        ::SetEvent(done.get());
    });
    // Joined when it ended, else left behind so that a failure cannot hang the test.
    struct Release {
        std::thread& t;
        HANDLE done;
        ~Release() { ::WaitForSingleObject(done, 0) == WAIT_OBJECT_0 ? t.join() : t.detach(); }
    } release{runner, done.get()};
    ASSERT_TRUE(PumpUntil([&tool] { return !tool.Ran()["pid"].empty(); }, 10000));
    EXPECT_EQ(WAIT_TIMEOUT, ::WaitForSingleObject(done.get(), 1000));

    win::UniqueHandle process(::OpenProcess(PROCESS_TERMINATE, FALSE, std::stoul(tool.Ran()["pid"])));
    ASSERT_TRUE(process);
    ASSERT_TRUE(::TerminateProcess(process.get(), 9));
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(done.get(), 10000));
    EXPECT_EQ(1, result.load());
}

TEST(CommandRunner, TooLongCommandIsRefusedNotCut)
{
    ToolFolder tool("mode=quiet,nolog");
    // The padding sits before the tool: a command cut short would never reach it.
    const std::wstring head = L"cd /d \"" + tool.Lumafwu() + L"\" & set ORV_PAD=";
    const std::wstring tail = L" & LUMAFWU.exe /s";
    const size_t fits = kCommandLineChars - 1 - std::wstring(L"cmd /D /V:OFF /C ").size();

    std::wstring output = L"kept";
    EXPECT_EQ(0, RunCommand(head + std::wstring(fits + 1 - head.size() - tail.size(), L'p') + tail, output));
    EXPECT_EQ(L"kept", output);
    EXPECT_TRUE(tool.Ran().empty()) << "a refused command must not run at all";

    EXPECT_EQ(1, RunCommand(head + std::wstring(fits - head.size() - tail.size(), L'p') + tail, output));
    EXPECT_EQ(L"kept", output);
    EXPECT_FALSE(tool.Ran().empty()) << "a command that fits the buffer runs whole";
}

TEST(CommandRunner, CmdPlantedInTheCurrentFolderIsNeverRun)
{
    ToolFolder planted("mode=quiet,nolog\nsay=PLANTED");
    ASSERT_TRUE(::CopyFileW(SimulatorPath().c_str(), (planted.Lumafwu() + L"\\cmd.exe").c_str(), FALSE));
    wchar_t saved[MAX_PATH + 1] = {};
    ::GetCurrentDirectoryW(MAX_PATH + 1, saved);
    ASSERT_TRUE(::SetCurrentDirectoryW(planted.Lumafwu().c_str()));
    std::wstring output;
    const int result = RunCommand(L"echo from the system cmd", output);
    ::SetCurrentDirectoryW(saved);
    EXPECT_EQ(1, result);
    EXPECT_NE(std::wstring::npos, output.find(L"from the system cmd")) << Utf8(output);
    EXPECT_EQ(std::wstring::npos, output.find(L"PLANTED"));
    EXPECT_TRUE(planted.Ran().empty());
}

// A 32-bit tool on 64-bit Windows starts the native command processor, which starts the
// firmware tool in exactly its folder; the thread's file-system redirection is back on
// afterwards, so the system folder means syswow64 again.
TEST(CommandRunner, TheSystemCmdStartsTheToolInItsFolderAndRedirectionComesBack)
{
#ifdef _WIN64
    EXPECT_EQ(0, IsWow64());
#else
    BOOL wow64 = FALSE;
    ASSERT_TRUE(::IsWow64Process(::GetCurrentProcess(), &wow64));
    EXPECT_EQ(wow64 ? 1 : 0, IsWow64());
    // On 32-bit Windows there is nothing to redirect, and what follows holds whatever
    // the tool does: the registration that names 64-bit Windows must really run there.
    const char* windows = std::getenv("ORV_WINARCH");
    ASSERT_TRUE(windows) << "the test command names no Windows";
    ASSERT_EQ(std::string(windows) == "win64", wow64 != FALSE) << "ORV_WINARCH=" << windows;
#endif
    ToolFolder tool("mode=quiet,nolog");
    std::wstring output;
    ASSERT_EQ(1, RunCommand(BuildRepairCommand(tool.Root()), output));
    auto ran = tool.Ran();
    EXPECT_EQ(0, _wcsicmp(tool.Lumafwu().c_str(), FromUtf8(ran["cwd"]).c_str())) << ran["cwd"];

    wchar_t system[MAX_PATH] = {};
    ASSERT_NE(0u, ::GetSystemDirectoryW(system, MAX_PATH));
    const std::wstring cmd = std::wstring(system) + L"\\cmd.exe";
    EXPECT_EQ(0, _wcsicmp(cmd.c_str(), FromUtf8(ran["parent"]).c_str())) << ran["parent"];
    EXPECT_EQ("0", ran["parent_wow64"]) << "the command processor was not the native one";

    const support::PeImage seen(cmd);
    ASSERT_TRUE(seen.Ok());
    EXPECT_EQ(sizeof(void*) == 8, seen.Is64()) << "file-system redirection is still off on this thread";
}
