// Every call of the delivered executables reaches its function: no instruction reads an
// import slot that the loader leaves empty, and each delay-load slot first leads to
// the thunk that loads its library. And the executables load on Windows 7 SP1 without
// updates, so that the user there sees the tool's own "unsupported system" prompt.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/support/PeImage.h"
#include "tools/guidriver/GuiDriver.h"

namespace {

std::string Lines(const std::vector<std::string>& lines)
{
    std::string all;
    for (const std::string& l : lines)
        all += l + "\n";
    return all;
}

bool ReadsDelaySlotOf(const support::PeImage& image, const std::string& function)
{
    const auto refs = image.SlotReferences();
    for (const support::ImportSlot& s : image.Slots()) {
        if (s.delayed && s.function == function &&
            std::any_of(refs.begin(), refs.end(), [&](const support::SlotReference& r) { return r.slot == s.rva; }))
            return true;
    }
    return false;
}

// The libraries of an unpatched Windows 7 SP1 that the tool may come to import,
// statically or delay-loaded. Any other (shcore.dll and combase.dll came with Windows
// 8, api sets and the universal C runtime with later updates) is missing there.
const char* const kWindows7Libraries[] = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll",   "gdiplus.dll",  "imm32.dll",   "kernel32.dll",
    "msvcrt.dll",   "ntdll.dll",    "ole32.dll",    "oleacc.dll",  "oleaut32.dll", "powrprof.dll", "shell32.dll",
    "shlwapi.dll",  "user32.dll",   "userenv.dll",  "uxtheme.dll", "version.dll",  "winmm.dll",
};

// Functions that an unpatched Windows 7 SP1 lacks in the libraries it has, of those a
// MinGW-w64 program can come to import (KB2533623 brought the first three).
const char* const kNewerThanWindows7[] = {
    "SetDefaultDllDirectories", "AddDllDirectory", "RemoveDllDirectory", "GetSystemTimePreciseAsFileTime",
    "GetCurrentThreadStackLimits", "CreateFile2", "CopyFile2", "SetThreadDescription", "GetThreadDescription",
    "WaitOnAddress", "WakeByAddressSingle", "WakeByAddressAll", "GetOverlappedResultEx", "PrefetchVirtualMemory",
    "SetProcessMitigationPolicy", "GetProcessMitigationPolicy", "GetDpiForWindow", "GetDpiForSystem",
    "SetProcessDpiAwarenessContext", "SetThreadDpiAwarenessContext", "AdjustWindowRectExForDpi",
    "GetSystemMetricsForDpi", "EnableNonClientDpiScaling",
};

bool IsWindows7Library(std::string library)
{
    std::transform(library.begin(), library.end(), library.begin(), [](unsigned char c) { return std::tolower(c); });
    return std::find(std::begin(kWindows7Libraries), std::end(kWindows7Libraries), library) !=
           std::end(kWindows7Libraries);
}

// The imports an unpatched Windows 7 SP1 cannot resolve, one a line: libraries it does
// not have (static or delay-loaded ones), and functions it lacks (static ones; a
// delay-loaded function is looked up only when called, and the tool checks first).
std::string ImportsNewerThanWindows7(const support::PeImage& image)
{
    std::string found;
    for (const std::string& library : image.ImportedLibraries()) {
        if (!IsWindows7Library(library))
            found += library + "\n";
    }
    // (The delay slots GNU ld links from dlltool's libraries carry no library name; the
    // libraries delayed that way are the build's own list, cmake/DelayLoad.cmake.)
    std::vector<std::string> delayed;
    for (const support::ImportSlot& s : image.Slots()) {
        if (s.delayed && !s.library.empty() && !IsWindows7Library(s.library) &&
            std::find(delayed.begin(), delayed.end(), s.library) == delayed.end()) {
            delayed.push_back(s.library);
            found += s.library + " (delay-loaded)\n";
        }
    }
    for (const support::ImportSlot& s : image.Slots()) {
        if (s.delayed)
            continue;
        for (const char* name : kNewerThanWindows7) {
            if (s.function == name)
                found += s.library + "!" + s.function + "\n";
        }
    }
    return found;
}

void ExpectEveryCallFilled(const std::wstring& path, bool is64)
{
    SCOPED_TRACE(guidriver::Utf8(path));
    const support::PeImage image(path);
    ASSERT_TRUE(image.Ok());
    EXPECT_EQ(image.Is64(), is64);
    // The common controls are delay-loaded and called through their slots; the scan
    // must see those calls, or it proves nothing.
    EXPECT_TRUE(ReadsDelaySlotOf(image, "InitCommonControlsEx"));
    EXPECT_TRUE(ReadsDelaySlotOf(image, "_TrackMouseEvent"));
    EXPECT_EQ("", Lines(support::UnfilledSlotReads(image)));
    EXPECT_EQ("", ImportsNewerThanWindows7(image));
}

}  // namespace

TEST(ImportSlots, EveryCallOfTheDeliveredToolsReachesItsFunction)
{
    ExpectEveryCallFilled(guidriver::EnvPath(L"ORV_DIST") + L"\\FastMendLUMAFWU.exe", true);
    ExpectEveryCallFilled(guidriver::EnvPath(L"ORV_I686_DIST") + L"\\FastMendLUMAFWU.exe", false);
}

// A call linked against the delay library exactly as the toolchain's dlltool writes it
// (the i686 linker drops the thunk and the slot stays zero), a static import of a
// function Windows 7 gained only with an update, and one of a library it does not have.
TEST(ImportSlots, TheChecksFindTheFaultsOfAProgramLinkedTheOldWay)
{
    const support::PeImage image(guidriver::EnvPath(L"ORV_BUILD") + L"\\tests\\delay_fixture\\unmended.exe");
    ASSERT_TRUE(image.Ok());
    const std::string faults = Lines(support::UnfilledSlotReads(image));
    EXPECT_NE(std::string::npos, faults.find("delay slot of InitCommonControlsEx")) << faults;
    EXPECT_EQ("shcore.dll\nkernel32.dll!SetDefaultDllDirectories\n", ImportsNewerThanWindows7(image));
}
