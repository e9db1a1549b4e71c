#include <gtest/gtest.h>

#include "app/Unattended.h"
#include "repair/RepairLock.h"

TEST(UnattendedCommandLine, OnlyTheTwoSwitchesInAnyCaseAskForIt) {
    struct Case {
        const wchar_t* line;
        bool quiet;
    };
    const Case cases[] = {
        {L"FastMendLUMAFWU.exe", false},
        {L"FastMendLUMAFWU.exe /quiet", true},
        {L"FastMendLUMAFWU.exe /Q", true},
        {L"FastMendLUMAFWU.exe   /QuIeT  ", true},
        {L"\"C:\\p r\\FastMendLUMAFWU.exe\" /q", true},
        {L"FastMendLUMAFWU.exe \"/quiet\"", true},
        {L"FastMendLUMAFWU.exe /x /quiet /y", true},
        // The program's own name never counts, quoted or not.
        {L"/quiet", false},
        {L"\"C:\\a /q\\FastMendLUMAFWU.exe\"", false},
        {L"FastMendLUMAFWU.exe /quiet2", false},
        {L"FastMendLUMAFWU.exe quiet", false},
        {L"FastMendLUMAFWU.exe -q", false},
        {L"FastMendLUMAFWU.exe /qq", false},
        {L"FastMendLUMAFWU.exe \"/q x\"", false},
        {L"FastMendLUMAFWU.exe /q\"uiet", true},  // split as the system splits it
        {L"FastMendLUMAFWU.exe \"", false},
        {L"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsUnattendedCommandLine(c.line), c.quiet) << testing::PrintToString(c.line);
    EXPECT_FALSE(IsUnattendedCommandLine(nullptr));
    const std::wstring longLine = L"FastMendLUMAFWU.exe " + std::wstring(40000, L'q');
    EXPECT_FALSE(IsUnattendedCommandLine(longLine.c_str()));
    EXPECT_TRUE(IsUnattendedCommandLine((longLine + L" /q").c_str()));
}

TEST(UnattendedLockWait, ATestMayShortenTheTenMinutesButNeverLengthenThem) {
    const DWORD full = 10 * 60 * 1000;
    EXPECT_EQ(kUnattendedLockWaitMs, full);
    struct Case {
        const wchar_t* value;
        DWORD ms;
    };
    const Case cases[] = {
        {nullptr, full}, {L"", full},       {L"2000", 2000},     {L"0", 0},           {L"600000", full},
        {L"600001", full}, {L"99999999999999999999999", full}, {L"-5", full}, {L" 5", full}, {L"5x", full},
    };
    for (const Case& c : cases) EXPECT_EQ(UnattendedLockWait(c.value), c.ms) << testing::PrintToString(c.value);
}
