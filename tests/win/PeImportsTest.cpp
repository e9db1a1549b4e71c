// Reading the libraries a file imports: real files, and crafted ones that no linker
// writes, which are refused at once.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/PeCraft.h"
#include "tests/support/Threads.h"
#include "win/PeImports.h"

namespace {

using Names = std::vector<std::string>;

std::string Lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool Holds(const Names& names, const std::string& name)
{
    for (const std::string& n : names) {
        if (Lower(n) == name)
            return true;
    }
    return false;
}

std::wstring OwnPath()
{
    wchar_t path[MAX_PATH] = {};
    return std::wstring(path, ::GetModuleFileNameW(nullptr, path, MAX_PATH));
}

// build\tests\<this test> -> build\<relative>
std::wstring BuildPath(const std::wstring& relative)
{
    std::wstring path = OwnPath();
    path.resize(path.find_last_of(L'\\'));
    path.resize(path.find_last_of(L'\\'));
    return path + L"\\" + relative;
}

struct TimedRead {
    std::string image;
    std::optional<Names> names;
    ULONGLONG ms = 0;
};

// Reads `image` on a thread of its own. False when that has not ended within `waitMs`:
// the thread and what it reads are then left to it.
bool ReadOnAThread(const std::string& image, DWORD waitMs, TimedRead& out)
{
    auto read = std::make_shared<TimedRead>();
    read->image = image;
    auto* job = new std::function<void()>([read] {
        const ULONGLONG start = ::GetTickCount64();
        read->names = win::ImportedLibraryNamesIn(read->image);
        read->ms = ::GetTickCount64() - start;
    });
    HANDLE thread = support::StartJobThread(job);
    if (!thread) {
        delete job;
        return false;
    }
    const bool ended = ::WaitForSingleObject(thread, waitMs) == WAIT_OBJECT_0;
    ::CloseHandle(thread);
    if (!ended)
        return false;
    delete job;
    out.names = read->names;
    out.ms = read->ms;
    return true;
}

}  // namespace

TEST(PeImports, NamesEachImportedLibraryOnceFromBothDirectories)
{
    const std::optional<Names> own = win::ImportedLibraryNames(OwnPath());
    ASSERT_TRUE(own);
    EXPECT_TRUE(Holds(*own, "kernel32.dll"));

    const std::optional<Names> shipping = win::ImportedLibraryNames(BuildPath(L"bin\\feedbackdll-private\\CorvelFeedbackInformation.dll"));
    ASSERT_TRUE(shipping);
    EXPECT_TRUE(Holds(*shipping, "corvelfeedbackhelper.dll"));

    // The GNU linker leaves the delay-import directory empty; other linkers fill it.

    for (bool is64 : {true, false}) {
        SCOPED_TRACE(is64 ? "PE32+" : "PE32");
        support::PeCraft craft;
        craft.is64 = is64;
        craft.imports = {"KERNEL32.dll", "own.dll", "kernel32.DLL"};
        craft.delayImports = {"late.dll", "OWN.dll"};
        const std::optional<Names> names = win::ImportedLibraryNamesIn(support::CraftPe(craft));
        ASSERT_TRUE(names);
        EXPECT_EQ((Names{"KERNEL32.dll", "own.dll", "late.dll"}), *names);
    }
}

TEST(PeImports, RefusesWhatIsNoImageAndReadsOneWithoutImports)
{
    wchar_t system[MAX_PATH] = {};
    ASSERT_NE(0u, ::GetSystemDirectoryW(system, MAX_PATH));
    EXPECT_FALSE(win::ImportedLibraryNames(std::wstring(system) + L"\\no such library.dll"));
    EXPECT_FALSE(win::ImportedLibraryNames(system)) << "a folder";
    std::string farHeaders(4096, '\0');
    farHeaders[0] = 'M';
    farHeaders[1] = 'Z';
    farHeaders[0x3D] = '\xFF';  // the NT headers would lie far past the end
    farHeaders[0x3E] = '\xFF';
    for (const std::string& image : {farHeaders, std::string("MZ"), std::string(), std::string("not a library\n")})
        EXPECT_FALSE(win::ImportedLibraryNamesIn(image)) << image.size() << " bytes";

    const std::optional<Names> none = win::ImportedLibraryNamesIn(support::CraftPe(support::PeCraft()));
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->empty());
}

// Any number of sections times any number of import descriptors would keep the reader
// (and the window that waits for the library) busy for minutes.
TEST(PeImports, ACraftedFileIsRefusedWithinASecond)
{
    const struct {
        const char* name;
        size_t sections;
        size_t descriptors;
        bool refused;
    } cases[] = {
        {"65,535 sections, 200,000 descriptors", 65535, 200000, true},
        {"96 sections, 2,000,000 descriptors", 96, 2000000, true},
        {"97 sections", 97, 1, true},
        {"1,025 descriptors", 1, 1025, true},
        {"at the limits: 96 sections, 1,024 descriptors", 96, 1024, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        support::PeCraft craft;
        craft.sections = c.sections;
        craft.imports = {"a.dll"};
        craft.repeatedDescriptors = c.descriptors - 1;
        TimedRead read;
        ASSERT_TRUE(ReadOnAThread(support::CraftPe(craft), 10000, read)) << "still reading after 10 s";
        EXPECT_LT(read.ms, 1000u);
        EXPECT_EQ(!c.refused, read.names.has_value());
        if (read.names) {
            EXPECT_EQ(Names{"a.dll"}, *read.names) << "one name, however often it is named";
        }
    }
}
