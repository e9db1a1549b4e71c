#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <stdexcept>
#include <set>
#include <thread>
#include <vector>

#include "log/Gbk.h"
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

const std::string kStamp = "[2020-06-01 09:05:03 007ms]   ";

std::wstring LogFile(const TempFolder& base)
{
    return base / L"ToolLog\\Orvane 2020灯效闪烁修复工具.txt";
}

}  // namespace

TEST(LogRecord, BytesForAFixedLocalTime)
{
    const struct {
        std::string text;
        std::string bytes;
    } cases[] = {
        {"Failed", kStamp + "Failed\r\r\n"},
        {"", kStamp + "\r\r\n"},
        {Gbk(L"修复失败"), kStamp + "\xD0\xDE\xB8\xB4\xCA\xA7\xB0\xDC\r\r\n"},
        {Gbk(L"读取Ｌog文件失败"), kStamp + "\xB6\xC1\xC8\xA1\xA3\xCCog\xCE\xC4\xBC\xFE\xCA\xA7\xB0\xDC\r\r\n"},
        {"two\nlines", kStamp + "two\r\nlines\r\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.bytes, FormatLogRecord(FixedTime(), c.text)) << c.text;

    EXPECT_EQ("[0999-12-31 23:59:59 999ms]   x\r\r\n", FormatLogRecord(spine_test::MakeTime(999, 12, 31, 23, 59, 59, 999), "x"));
}

TEST(LogSave, CreatesTheFolderAndAppendsRecordsUnderTheChineseName)
{
    TempFolder base;
    ASSERT_FALSE(PathExists(base / L"ToolLog"));
    CLogSave log(base.Path(), FixedClock);
    EXPECT_EQ(base / L"ToolLog\\", log.GetLogFolder());
    EXPECT_TRUE(PathExists(base / L"ToolLog"));

    log.WriteLog("Failed", ToolLogName(), true);
    log.WriteLog(Gbk(L"无法检测到设备"), ToolLogName(), true);
    log.WriteLog("", ToolLogName(), true);
    bool ok = false;
    const std::string bytes = ReadBytes(LogFile(base), &ok);
    ASSERT_TRUE(ok) << "the log name must be decoded as code page 936 whatever the system's code page";
    EXPECT_EQ(FormatLogRecord(FixedTime(), "Failed") + FormatLogRecord(FixedTime(), Gbk(L"无法检测到设备")) +
                  kStamp + "\r\r\n",
              bytes);
}

TEST(LogSave, SingletonIsRootedInTheCommonApplicationDataFolder)
{
    wchar_t common[1024] = {};
    ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, common, CSIDL_COMMON_APPDATA, FALSE));
    CLogSave* log = CLogSave::GetInstance();
    ASSERT_NE(nullptr, log);
    EXPECT_EQ(log, CLogSave::GetInstance());
    EXPECT_EQ(std::wstring(common) + L"\\ToolLog\\", log->GetLogFolder());
}

TEST(LogSave, PrintFlagFromTheConfigurationFile)
{
    const struct {
        const char* ini;  // null: no logCfg.ini at all
        bool print;
    } cases[] = {
        {"[Log]\r\nprint=1\r\n", true},    {"[Log]\r\nprint=01\r\n", true},  {"[Log]\r\nprint= 1 \r\n", true},
        {"[Log]\r\nprint=\t1\r\n", true},  {"[Log]\r\nprint=0\r\n", false},  {"[Log]\r\nprint=2\r\n", false},
        {"[Log]\r\nprint=-1\r\n", false},  {"[Log]\r\nprint=\r\n", false},   {"[Log]\r\nother=1\r\n", false},
        {"[Other]\r\nprint=1\r\n", false}, {nullptr, false},
    };
    for (const auto& c : cases) {
        TempFolder base;
        if (c.ini)
            WriteBytes(base / L"logCfg.ini", c.ini);
        CLogSave log(base.Path(), FixedClock);
        const std::string what = c.ini ? c.ini : "(no file)";
        EXPECT_EQ(c.print, log.IsPrintEnabled()) << what;

        log.WriteLog("unforced", ToolLogName(), false);
        EXPECT_EQ(c.print ? FormatLogRecord(FixedTime(), "unforced") : std::string(), ReadBytes(LogFile(base))) << what;
        log.WriteLog("forced", ToolLogName(), true);
        EXPECT_NE(std::string::npos, ReadBytes(LogFile(base)).find(kStamp + "forced\r\r\n")) << what;
    }
}

TEST(LogSave, ParsePrintFlagTrimsAndReadsTheLeadingNumber)
{
    const struct {
        const wchar_t* value;
        bool print;
    } cases[] = {
        {L"1", true},  {L"01", true},   {L" 1 ", true},  {L"\t1\r\n", true}, {L"+1", true}, {L"1x", true},
        {L"0", false}, {L"2", false},   {L"-1", false},  {L"", false},       {L"x1", false}, {L"11", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.print, ParsePrintFlag(c.value)) << "'" << Gbk(c.value) << "'";
}

TEST(LogSave, MovesTheFileToItsBackupOnlyAboveTheLimit)
{
    const std::string record = FormatLogRecord(FixedTime(), "Failed");
    const struct {
        unsigned long long lengthAfter;
        bool moved;
    } cases[] = {{6020000, false}, {6020001, true}};
    for (const auto& c : cases) {
        TempFolder base;
        CLogSave log(base.Path(), FixedClock);
        const std::wstring file = LogFile(base);
        const std::wstring backup = file + L"bak";
        WriteBytes(file, std::string(static_cast<size_t>(c.lengthAfter - record.size()), 'x'));
        WriteBytes(backup, "an older backup");

        log.WriteLog("Failed", ToolLogName(), true);
        if (!c.moved) {
            EXPECT_EQ(c.lengthAfter, ReadBytes(file).size());
            EXPECT_EQ("an older backup", ReadBytes(backup));
            continue;
        }
        EXPECT_FALSE(PathExists(file));
        const std::string moved = ReadBytes(backup);
        EXPECT_EQ(c.lengthAfter, moved.size()) << "the existing backup must be replaced";
        EXPECT_EQ(record, moved.substr(moved.size() - record.size()));

        log.WriteLog("Failed", ToolLogName(), true);
        EXPECT_EQ(record, ReadBytes(file)) << "the next record starts a new file";
    }
}

TEST(LogSave, ToolLogThatIsAFileDropsRecords)
{
    TempFolder base;
    WriteBytes(base / L"ToolLog", "not a folder");
    CLogSave log(base.Path(), FixedClock);
    log.WriteLog("Failed", ToolLogName(), true);
    log.WriteLog("Failed", ToolLogName(), true);
    EXPECT_EQ("not a folder", ReadBytes(base / L"ToolLog"));
}

TEST(LogSave, FourThreadsLoseAndInterleaveNothing)
{
    TempFolder base;
    CLogSave log(base.Path());
    constexpr int kThreads = 4;
    constexpr int kRecords = 500;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([&log, t] {
            for (int i = 0; i < kRecords; ++i)
                log.WriteLog("thread " + std::to_string(t) + " record " + std::to_string(i), ToolLogName(), true);
        });
    }
    for (auto& w : writers)
        w.join();

    const std::string bytes = ReadBytes(LogFile(base));
    std::set<std::string> texts;
    std::vector<int> next(kThreads, 0);
    size_t at = 0;
    while (at < bytes.size()) {
        const size_t end = bytes.find("\r\r\n", at);
        ASSERT_NE(std::string::npos, end);
        const std::string line = bytes.substr(at, end - at);
        at = end + 3;
        ASSERT_GT(line.size(), 30u) << line;
        ASSERT_EQ('[', line[0]);
        ASSERT_EQ("ms]   ", line.substr(24, 6)) << line;
        const std::string text = line.substr(30);
        int t = -1, i = -1;
        ASSERT_EQ(2, std::sscanf(text.c_str(), "thread %d record %d", &t, &i)) << line;
        ASSERT_TRUE(t >= 0 && t < kThreads);
        EXPECT_EQ(next[t], i) << "each writer's records keep their order";
        next[t] = i + 1;
        texts.insert(text);
    }
    EXPECT_EQ(static_cast<size_t>(kThreads * kRecords), texts.size());
}

namespace {

// A sink whose write step fails the way a full disk or a stream error does.
class FailingSink : public CLogSaveCloseFile {
public:
    using CLogSaveCloseFile::CLogSaveCloseFile;
    std::atomic<int> failures{0};

protected:
    bool AppendBytes(HANDLE file, const std::string& bytes) override
    {
        if (failures.load() > 0) {
            const int left = --failures;
            if (left % 2 == 0)
                throw std::runtime_error("write failed");
            return false;
        }
        return CLogSaveCloseFile::AppendBytes(file, bytes);
    }
};

}  // namespace

TEST(LogSave, AFailedWriteNeitherEndsTheProcessNorKeepsTheLock)
{
    TempFolder base;
    ::CreateDirectoryW((base / L"ToolLog").c_str(), nullptr);
    FailingSink sink(base / L"ToolLog\\", FixedClock);
    sink.failures = 2;
    sink.WriteText("lost by an exception", ToolLogName());
    sink.WriteText("lost by a failed write", ToolLogName());

    // Another thread must get the lock: a critical section is re-entrant on this one.
    win::UniqueHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread other([&sink, &done] {
        sink.WriteText("Failed", ToolLogName());
        ::SetEvent(done.get());
    });
    if (::WaitForSingleObject(done.get(), 10000) != WAIT_OBJECT_0) {
        other.detach();
        FAIL() << "the lock is still held after a failed write";
    }
    other.join();
    EXPECT_EQ(FormatLogRecord(FixedTime(), "Failed"), ReadBytes(LogFile(base)));
}
