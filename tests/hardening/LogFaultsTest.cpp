#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "log/LogSave.h"
#include "tests/log/FixedClock.h"
#include "tests/support/TempFolder.h"
#include "win/Handle.h"

using spine_test::FixedClock;
using spine_test::FixedTime;
using support::PathExists;
using support::ReadBytes;
using support::TempFolder;
using support::WriteBytes;

namespace {

std::wstring LogFile(const TempFolder& base)
{
    return base / L"ToolLog\\Orvane 2020灯效闪烁修复工具.txt";
}

std::string Record(const std::string& text)
{
    return FormatLogRecord(FixedTime(), text);
}

std::wstring TestBin()
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.rfind(L'\\'));
}

// Another process that holds a file open with no sharing until it is released.
class FileHolder {
public:
    explicit FileHolder(const std::wstring& path)
    {
        const std::wstring ready = path + L".held";
        SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
        HANDLE readEnd = nullptr;
        if (!::CreatePipe(&readEnd, m_input.out(), &sa, 0))
            return;
        win::UniqueHandle childInput(readEnd);
        ::SetHandleInformation(m_input.get(), HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = childInput.get();
        std::wstring line = L"hold_file \"" + path + L"\" \"" + ready + L"\"";
        PROCESS_INFORMATION pi = {};
        const std::wstring exe = TestBin() + L"\\hold_file.exe";
        if (!::CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
            return;
        m_process.reset(pi.hProcess);
        ::CloseHandle(pi.hThread);
        for (int i = 0; i < 200 && !PathExists(ready); ++i)
            ::Sleep(25);
        m_held = PathExists(ready);
        ::DeleteFileW(ready.c_str());
    }
    ~FileHolder() { Release(); }
    bool Held() const { return m_held; }
    void Release()
    {
        m_input.reset();
        if (m_process)
            ::WaitForSingleObject(m_process.get(), 10000);
        m_process.reset();
    }

private:
    win::UniqueHandle m_input;
    win::UniqueHandle m_process;
    bool m_held = false;
};

}  // namespace

TEST(ToolLogFaults, ALogHeldWithoutSharingLosesOnlyTheRecordsOfThatTime)
{
    TempFolder base;
    CLogSave log(base.Path(), FixedClock);
    log.WriteLog("before", ToolLogName(), true);
    {
        FileHolder holder(LogFile(base));
        ASSERT_TRUE(holder.Held());
        const ULONGLONG start = ::GetTickCount64();
        log.WriteLog("while held", ToolLogName(), true);
        EXPECT_LT(::GetTickCount64() - start, 2000u) << "a held log must not keep the writer waiting";
    }
    log.WriteLog("after", ToolLogName(), true);
    EXPECT_EQ(Record("before") + Record("after"), ReadBytes(LogFile(base)));
}

TEST(ToolLogFaults, ARenameThatCannotHappenKeepsEveryRecordInTheFile)
{
    TempFolder base;
    CLogSave log(base.Path(), FixedClock);
    const std::wstring file = LogFile(base);
    const std::wstring backup = file + L"bak";
    const std::string big(static_cast<size_t>(kLogSizeLimit), 'x');
    WriteBytes(file, big);
    WriteBytes(backup, "older backup");
    {
        // The backup held without sharing: the file cannot replace it.
        FileHolder holder(backup);
        ASSERT_TRUE(holder.Held());
        log.WriteLog("one", ToolLogName(), true);
        log.WriteLog("two", ToolLogName(), true);
        EXPECT_EQ(big + Record("one") + Record("two"), ReadBytes(file));
    }
    EXPECT_EQ("older backup", ReadBytes(backup));
    log.WriteLog("three", ToolLogName(), true);
    EXPECT_EQ(big + Record("one") + Record("two") + Record("three"), ReadBytes(backup));
    EXPECT_FALSE(PathExists(file));
}

TEST(ToolLogFaults, AReadOnlyFolderStillTakesRecords)
{
    // The attribute on a folder does not stop files in it from being written.
    TempFolder base;
    CLogSave log(base.Path(), FixedClock);
    ASSERT_TRUE(::SetFileAttributesW((base / L"ToolLog").c_str(), FILE_ATTRIBUTE_READONLY));
    log.WriteLog("written", ToolLogName(), true);
    EXPECT_EQ(Record("written"), ReadBytes(LogFile(base)));
    ::SetFileAttributesW((base / L"ToolLog").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(ToolLogFaults, AReadOnlyLogIsLeftAsItIs)
{
    TempFolder base;
    CLogSave log(base.Path(), FixedClock);
    WriteBytes(LogFile(base), "kept");
    ASSERT_TRUE(::SetFileAttributesW(LogFile(base).c_str(), FILE_ATTRIBUTE_READONLY));
    win::UniqueHandle probe(::CreateFileW(LogFile(base).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
    if (probe) {
        probe.reset();
        ::SetFileAttributesW(LogFile(base).c_str(), FILE_ATTRIBUTE_NORMAL);
        GTEST_SKIP() << "this system lets a read-only file be written (Wine running as root)";
    }
    log.WriteLog("dropped", ToolLogName(), true);
    EXPECT_EQ("kept", ReadBytes(LogFile(base)));
    ::SetFileAttributesW(LogFile(base).c_str(), FILE_ATTRIBUTE_NORMAL);
    log.WriteLog("written", ToolLogName(), true);
    EXPECT_EQ("kept" + Record("written"), ReadBytes(LogFile(base)));
}

TEST(ToolLogFaults, GarbledConfigurationNeverSwitchesPrintingOnByAccident)
{
    std::string binary;
    for (int i = 0; i < 4096; ++i)
        binary += static_cast<char>((i * 7919) & 0xFF);
    const struct {
        const char* name;
        std::string bytes;
        bool folder;
        bool print;
    } cases[] = {
        {"binary bytes", binary, false, false},
        {"the switch among garbage", binary.substr(0, 300) + "\r\n[Log]\r\nprint=1\r\n" + binary.substr(300, 300), false, true},
        {"a value longer than the buffer", "[Log]\r\nprint=1" + std::string(500, ' ') + "x\r\n", false, true},
        {"a long number", "[Log]\r\nprint=" + std::string(300, '1') + "\r\n", false, false},
        {"the key twice", "[Log]\r\nprint=0\r\nprint=1\r\n", false, false},
        {"no section", "print=1\r\n", false, false},
        {"empty", "", false, false},
        {"a folder in its place", "", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder base;
        if (c.folder)
            ::CreateDirectoryW((base / L"logCfg.ini").c_str(), nullptr);
        else
            WriteBytes(base / L"logCfg.ini", c.bytes);
        CLogSave log(base.Path(), FixedClock);
        EXPECT_EQ(c.print, log.IsPrintEnabled());
        log.WriteLog("forced", ToolLogName(), true);
        EXPECT_EQ(Record("forced"), ReadBytes(LogFile(base)));
    }
}
