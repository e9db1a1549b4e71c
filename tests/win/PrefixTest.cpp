#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

// The prefix the tests run in must look like the users' systems: Windows 10.0 and
// the language the test asks for through LANG.
TEST(Prefix, ReportsWindows10AndTheRequestedLanguage) {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    auto rtlGetVersion = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    ASSERT_NE(rtlGetVersion, nullptr);
    OSVERSIONINFOW vi{sizeof(vi)};
    ASSERT_EQ(rtlGetVersion(&vi), 0);
    EXPECT_EQ(vi.dwMajorVersion, 10u);
    EXPECT_EQ(vi.dwMinorVersion, 0u);

    const char* expected = std::getenv("ORV_EXPECT_LANGID");
    ASSERT_NE(expected, nullptr);
    EXPECT_EQ(::GetSystemDefaultLangID(), static_cast<LANGID>(std::strtoul(expected, nullptr, 16)));
}
