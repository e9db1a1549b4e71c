#include "repair/SystemVersion.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace
{
struct VersionCase
{
    unsigned long major;
    unsigned long minor;
    int expected;
};

const VersionCase kVersionCases[] = {
    {10, 0, 1},
    {5, 0, 0},
    {5, 1, 0},
    {5, 2, 0},
    {6, 0, 0},
    {6, 1, 0},
    {6, 2, 0},
    {6, 3, 0},
    {10, 1, 0},
    {11, 0, 0},
    {4, 0, 0},
    {0, 0, 0},
    {0, 10, 0},
    {9, 0, 0},
    {10, 10, 0},
    {10, 0xFFFFFFFFul, 0},
    {0xFFFFFFFFul, 0, 0},
};

typedef LONG(WINAPI* RtlGetVersionProc)(OSVERSIONINFOW*);
}

TEST(IsSupportedVersion, AcceptsOnlyTenZero)
{
    for (const VersionCase& c : kVersionCases)
        EXPECT_EQ(c.expected, IsSupportedVersion(c.major, c.minor)) << c.major << "." << c.minor;
}

// The fields read from the environment block must be the ones the system itself reports.
TEST(GetPebSystemVersion, MatchesTheKernelVersion)
{
    const RtlGetVersionProc rtlGetVersion =
        reinterpret_cast<RtlGetVersionProc>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion"));
    ASSERT_NE(nullptr, rtlGetVersion);
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    ASSERT_EQ(0, rtlGetVersion(&info));
    const SystemVersion version = GetPebSystemVersion();
    EXPECT_EQ(info.dwMajorVersion, version.major);
    EXPECT_EQ(info.dwMinorVersion, version.minor);
}

// ORV_EXPECT_VERSION names the version the Wine prefix is set to report.
TEST(IsSupportedSystemVersion, FollowsThePrefixVersion)
{
    const char* expected = std::getenv("ORV_EXPECT_VERSION");
    if (!expected)
        GTEST_SKIP() << "ORV_EXPECT_VERSION not set";
    const SystemVersion version = GetPebSystemVersion();
    EXPECT_EQ(std::string(expected), std::to_string(version.major) + "." + std::to_string(version.minor));
    EXPECT_EQ(std::string(expected) == "10.0" ? 1 : 0, IsSupportedSystemVersion());
}
