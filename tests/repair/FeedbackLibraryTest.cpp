#include "repair/FeedbackLibrary.h"

#include "repair/ExeFolder.h"
#include "tests/support/TempFolder.h"
#include "tests/support/Text.h"
#include "win/JobThread.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

using support::ReadBytes;
using support::WriteBytes;

namespace
{
// The library's names as the outside world fixes them.
const char* const kExports[] = {
    "InitFreedbackDll",   "FeedbackQuestion",   "OpenUrl",
    "GetInterNetState",   "CustomerFeedback",   "CustomerFeedbackEx",
    "WriteCustomerFeedbackInfoFile", "GetToolIsNewVersion", "OpenToolDownUrl",
};

std::wstring BuildFolder()
{
    return FolderOfPath(GetExeFolder());
}

std::wstring BinFolder()
{
    return BuildFolder() + L"\\bin";
}

std::wstring StandIn()
{
    return BinFolder() + L"\\CorvelFeedbackInformation.dll";
}

// The variant that ships a library of its own beside it.
std::wstring PrivateStandInFolder()
{
    return BinFolder() + L"\\feedbackdll-private";
}

// Names of the files in a folder, sorted, joined with ", ".
std::string FilesIn(const std::wstring& folder)
{
    std::set<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                std::string name;
                for (const wchar_t* c = found.cFileName; *c; ++c)
                    name += static_cast<char>(*c);
                names.insert(name);
            }
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    std::string joined;
    for (const std::string& name : names)
        joined += (joined.empty() ? "" : ", ") + name;
    return joined;
}

// Makes a call of the library on its thread, as the tool does; -1 when it did not end in time.
int CallOnItsThread(CFeedbackLibrary& library, std::function<int(CFeedbackLibrary&)> call)
{
    const std::shared_ptr<win::CJobTicket> ticket = library.Thread().Post([&library, call] { return call(library); });
    return ticket && win::WaitTakingSentMessages(*ticket, 30000) ? ticket->Result() : -1;
}

using support::SplitLines;

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out += static_cast<char>(c);
    return out;
}

// Names in a PE file's export directory, read from the file itself.
std::vector<std::string> ExportNames(const std::string& image)
{
    std::vector<std::string> names;
    if (image.size() < sizeof(IMAGE_DOS_HEADER))
        return names;
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    const size_t ntOffset = static_cast<size_t>(dos->e_lfanew);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || ntOffset + sizeof(IMAGE_NT_HEADERS32) > image.size())
        return names;
    const IMAGE_FILE_HEADER* file =
        reinterpret_cast<const IMAGE_FILE_HEADER*>(image.data() + ntOffset + sizeof(DWORD));
    const char* optional = reinterpret_cast<const char*>(file + 1);
    const WORD magic = *reinterpret_cast<const WORD*>(optional);
    const IMAGE_DATA_DIRECTORY* directories =
        magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC
            ? reinterpret_cast<const IMAGE_OPTIONAL_HEADER64*>(optional)->DataDirectory
            : reinterpret_cast<const IMAGE_OPTIONAL_HEADER32*>(optional)->DataDirectory;
    const IMAGE_SECTION_HEADER* sections =
        reinterpret_cast<const IMAGE_SECTION_HEADER*>(optional + file->SizeOfOptionalHeader);
    auto at = [&](DWORD rva) -> const char* {
        for (WORD i = 0; i < file->NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.SizeOfRawData) {
                const size_t offset = rva - s.VirtualAddress + s.PointerToRawData;
                return offset < image.size() ? image.data() + offset : nullptr;
            }
        }
        return nullptr;
    };
    const IMAGE_DATA_DIRECTORY& exportEntry = directories[IMAGE_DIRECTORY_ENTRY_EXPORT];
    const IMAGE_EXPORT_DIRECTORY* exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(at(exportEntry.VirtualAddress));
    if (!exportEntry.VirtualAddress || !exports)
        return names;
    const DWORD* nameRvas = reinterpret_cast<const DWORD*>(at(exports->AddressOfNames));
    for (DWORD i = 0; nameRvas && i < exports->NumberOfNames; ++i) {
        const char* name = at(nameRvas[i]);
        if (name)
            names.push_back(name);
    }
    return names;
}

std::set<std::string> AllExportsBut(const char* missing)
{
    std::set<std::string> names(std::begin(kExports), std::end(kExports));
    if (missing)
        names.erase(missing);
    return names;
}

// A folder of its own per test under the build folder, made afresh before use. A library
// loaded from it stays loaded, so the folder is removed at the next run, not at the end.
// The 32-bit build runs this program on two Windows at once, each with folders of its own.
class FeedbackFolder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "-" + info->name();
        std::replace(name.begin(), name.end(), '/', '-');
        const char* windows = std::getenv("ORV_WINARCH");
        const std::string feedback = std::string("feedback-") + (windows ? windows : "win64");
        const std::wstring root = BuildFolder() + L"\\testdata";
        ::CreateDirectoryW(root.c_str(), NULL);
        ::CreateDirectoryW((root + L"\\" + std::wstring(feedback.begin(), feedback.end())).c_str(), NULL);
        m_folder = root + L"\\" + std::wstring(feedback.begin(), feedback.end()) + L"\\" +
                   std::wstring(name.begin(), name.end());
        support::RemoveTree(m_folder);
        ASSERT_TRUE(::CreateDirectoryW(m_folder.c_str(), NULL));
    }

    void Place(const std::wstring& library)
    {
        ASSERT_TRUE(::CopyFileW(library.c_str(), (m_folder + L"\\CorvelFeedbackInformation.dll").c_str(), FALSE))
            << Narrow(library);
    }

    void Configure(const std::string& ini)
    {
        WriteBytes(m_folder + L"\\CorvelFeedbackInformation.ini", ini);
    }

    std::vector<std::string> Journal() const
    {
        return SplitLines(ReadBytes(m_folder + L"\\CorvelFeedbackInformation.journal"));
    }

    std::vector<std::string> Opened() const
    {
        return SplitLines(ReadBytes(m_folder + L"\\opened.txt"));
    }

    std::string RecorderSetting() const
    {
        return "browser=" + Narrow(BinFolder() + L"\\urlrecorder.exe") + "\n";
    }

    std::wstring m_folder;
};

class FeedbackLibraryLoad : public FeedbackFolder
{
};

class FeedbackLibraryMissingEntry : public FeedbackFolder, public ::testing::WithParamInterface<const char*>
{
};

class FeedbackLibraryCalls : public FeedbackFolder
{
protected:
    void SetUp() override
    {
        FeedbackFolder::SetUp();
        Place(StandIn());
        ASSERT_EQ(1, m_library.Load(m_folder));
    }

    CFeedbackLibrary m_library;
};
}

TEST(FeedbackTimeText, LowThirtyTwoBitsAsSignedDecimal)
{
    const struct
    {
        __time64_t seconds;
        const wchar_t* text;
    } cases[] = {
        {0, L"0"},
        {1, L"1"},
        {1712345678, L"1712345678"},
        {0x7FFFFFFF, L"2147483647"},
        {0x80000000LL, L"-2147483648"},
        {0xFFFFFFFFLL, L"-1"},
        {0x100000005LL, L"5"},
        {0x1800000000LL + 42, L"42"},
        {-1, L"-1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::wstring(c.text), FormatFeedbackTime(c.seconds)) << static_cast<long long>(c.seconds);
}

TEST(FeedbackTimeText, IsTheCurrentTime)
{
    const __time64_t before = _time64(NULL);
    const int now = _wtoi(MakeFeedbackTimeText().c_str());
    const __time64_t after = _time64(NULL);
    EXPECT_GE(now, static_cast<int>(before));
    EXPECT_LE(now, static_cast<int>(after));
}

TEST(FeedbackStandIn, ExportsExactlyTheNineUndecoratedNames)
{
    const std::vector<std::string> names = ExportNames(ReadBytes(StandIn()));
    EXPECT_EQ(AllExportsBut(nullptr), std::set<std::string>(names.begin(), names.end()));
    EXPECT_EQ(9u, names.size());
}

TEST_F(FeedbackLibraryLoad, FailsWithoutLibrary)
{
    CFeedbackLibrary library;
    EXPECT_EQ(0, library.Load(m_folder));
    EXPECT_EQ(0, library.IsLoaded());
    EXPECT_EQ(0, library.InitFreedbackDll());
    EXPECT_EQ(0, library.GetToolIsNewVersion(kFeedbackToolId, kFeedbackToolVersion));
}

TEST_F(FeedbackLibraryLoad, FailsForAnEmptyFolder)
{
    CFeedbackLibrary library;
    EXPECT_EQ(0, library.Load(std::wstring()));
}

TEST_F(FeedbackLibraryLoad, FailsOnABrokenFile)
{
    const std::string image = ReadBytes(StandIn());
    ASSERT_GT(image.size(), 4096u);
    for (const std::string& bytes : {image.substr(0, 1024), std::string("not a library\n"), std::string()}) {
        WriteBytes(m_folder + L"\\CorvelFeedbackInformation.dll", bytes);
        CFeedbackLibrary library;
        EXPECT_EQ(0, library.Load(m_folder)) << bytes.size();
    }
}

TEST_F(FeedbackLibraryLoad, SucceedsWithTheStandInOnce)
{
    Place(StandIn());
    CFeedbackLibrary library;
    ASSERT_EQ(1, library.Load(m_folder));
    EXPECT_EQ(1, library.IsLoaded());
    EXPECT_EQ(1, library.Load(m_folder));
    EXPECT_TRUE(Journal().empty());
}

// The library is loaded on the thread where it is called, so that what its DllMain sets
// up there is where its calls are; that thread enters no COM apartment of its own, so
// that a library which enters one itself gets the kind it asks for.
TEST_F(FeedbackLibraryLoad, IsLoadedWhereItIsCalledAndEntersTheApartmentItAsksFor)
{
    for (const char* model : {"multithreaded", "apartment"}) {
        SCOPED_TRACE(model);
        const std::wstring folder = m_folder + L"\\" + std::wstring(model, model + std::strlen(model));
        ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), NULL));
        ASSERT_TRUE(::CopyFileW(StandIn().c_str(), (folder + L"\\CorvelFeedbackInformation.dll").c_str(), FALSE));
        WriteBytes(folder + L"\\CorvelFeedbackInformation.ini", std::string("com=") + model + "\n");
        CFeedbackLibrary library;
        ASSERT_EQ(1, library.Load(folder));
        EXPECT_EQ(1, CallOnItsThread(library, [](CFeedbackLibrary& l) { return l.InitFreedbackDll(); }))
            << "the library could not enter the apartment it asks for";
        const std::string thread = std::to_string(library.Thread().ThreadId());
        const std::vector<std::string> expected = {"DllMain\t" + thread, "InitFreedbackDll\t" + thread};
        EXPECT_EQ(expected, SplitLines(ReadBytes(folder + L"\\CorvelFeedbackInformation.threads")));
        EXPECT_NE(std::to_string(::GetCurrentThreadId()), thread);
    }
}

TEST_F(FeedbackLibraryLoad, LoadsOnlyOnItsOwnThread)
{
    Place(StandIn());
    CFeedbackLibrary library;
    EXPECT_EQ(0, library.LoadOnLibraryThread(m_folder)) << "before its thread runs";
    ASSERT_TRUE(library.Thread().Start());
    EXPECT_EQ(0, library.LoadOnLibraryThread(m_folder)) << "on another thread";
    EXPECT_EQ(0, library.IsLoaded());
    EXPECT_FALSE(support::PathExists(m_folder + L"\\CorvelFeedbackInformation.threads")) << "it was loaded";
    EXPECT_EQ(1, CallOnItsThread(library, [this](CFeedbackLibrary& l) { return l.LoadOnLibraryThread(m_folder); }));
    EXPECT_EQ(1, library.IsLoaded());
}

// A system library planted beside the library, which its own library's import reaches
// only through a forwarded export (icmp.dll forwards to iphlpapi.dll), is never loaded:
// its own library is loaded by its full path, its imports searched for in the system
// folder only. Wine takes a library from beside another only when told to
// (ORV_DLLOVERRIDES, set where this test is registered), as Windows does for every
// library that is not a KnownDLL; the control cases show that it does so here.
TEST_F(FeedbackLibraryLoad, ASystemLibraryPlantedBesideItIsNeverLoaded)
{
    const char* overrides = std::getenv("ORV_DLLOVERRIDES");
    ASSERT_TRUE(overrides && std::strstr(overrides, "icmp") && std::strstr(overrides, "iphlpapi"))
        << "run through scripts/wine-run.sh with ORV_DLLOVERRIDES=icmp,iphlpapi=n,b";
    const std::wstring marker = BuildFolder() + L"\\tests\\orv_marker.dll";
    const std::wstring markers = m_folder + L"\\markers";
    ASSERT_TRUE(::CreateDirectoryW(markers.c_str(), NULL));
    ::SetEnvironmentVariableW(L"ORV_MARKER_DIR", markers.c_str());
    // A control loads the library with the search that includes its folder, and frees it
    // again; the markers refuse to load, which Wine answers by leaving the imports that
    // needed them unresolved rather than failing the load.
    const auto searchingItsFolder = [](const std::wstring& folder) {
        HMODULE module = ::LoadLibraryExW((folder + L"\\CorvelFeedbackInformation.dll").c_str(), NULL,
                                          LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (module)
            ::FreeLibrary(module);
    };
    CFeedbackLibrary library;
    const struct {
        const char* name;
        std::function<void(const std::wstring& folder)> load;
        const char* markers;
    } cases[] = {
        // First, as the planted libraries would not be reached once the real ones are loaded.
        {"control: the library's folder searched first", searchingItsFolder, "icmp.dll.loaded"},
        {"control: its system imports loaded from the system folder, then its folder searched first",
         [&](const std::wstring& folder) {
             HMODULE icmp = ::LoadLibraryExW(L"icmp.dll", NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
             searchingItsFolder(folder);
             if (icmp)
                 ::FreeLibrary(icmp);
         },
         "iphlpapi.dll.loaded"},
        {"the tool's load",
         [&](const std::wstring& folder) {
             ASSERT_EQ(1, library.Load(folder));
             EXPECT_EQ(1, CallOnItsThread(library, [](CFeedbackLibrary& l) { return l.InitFreedbackDll(); }));
         },
         ""},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring folder = m_folder + L"\\" + std::to_wstring(++n);
        ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), NULL));
        for (const wchar_t* file : {L"CorvelFeedbackInformation.dll", L"CorvelFeedbackHelper.dll"})
            ASSERT_TRUE(::CopyFileW((PrivateStandInFolder() + L"\\" + file).c_str(), (folder + L"\\" + file).c_str(), FALSE));
        for (const wchar_t* planted : {L"icmp.dll", L"iphlpapi.dll"})
            ASSERT_TRUE(::CopyFileW(marker.c_str(), (folder + L"\\" + planted).c_str(), FALSE));
        c.load(folder);
        EXPECT_EQ(c.markers, FilesIn(markers));
        for (const wchar_t* name : {L"icmp.dll.loaded", L"iphlpapi.dll.loaded"})
            ::DeleteFileW((markers + L"\\" + name).c_str());
    }
    ::SetEnvironmentVariableW(L"ORV_MARKER_DIR", NULL);
}

TEST_P(FeedbackLibraryMissingEntry, Fails)
{
    const std::wstring variant = BinFolder() + L"\\feedbackdll-no-" + std::wstring(GetParam(), GetParam() + std::strlen(GetParam())) +
                                 L"\\CorvelFeedbackInformation.dll";
    const std::vector<std::string> names = ExportNames(ReadBytes(variant));
    ASSERT_EQ(AllExportsBut(GetParam()), std::set<std::string>(names.begin(), names.end()));
    Place(variant);
    CFeedbackLibrary library;
    EXPECT_EQ(0, library.Load(m_folder));
    EXPECT_EQ(0, library.IsLoaded());
    EXPECT_EQ(0, library.InitFreedbackDll());
    EXPECT_EQ(0, library.CustomerFeedbackEx(kFeedbackToolId, kFeedbackToolVersion, 1, L"0"));
    EXPECT_TRUE(Journal().empty());
}

INSTANTIATE_TEST_SUITE_P(Variants, FeedbackLibraryMissingEntry, ::testing::Values("OpenToolDownUrl", "CustomerFeedbackEx"));

TEST_F(FeedbackLibraryCalls, ResultsFollowTheSettings)
{
    EXPECT_EQ(1, m_library.InitFreedbackDll());
    EXPECT_EQ(0, m_library.GetToolIsNewVersion(kFeedbackToolId, kFeedbackToolVersion));
    Configure("init=0\nnewversion=3\n");
    EXPECT_EQ(0, m_library.InitFreedbackDll());
    EXPECT_EQ(3, m_library.GetToolIsNewVersion(kFeedbackToolId, kFeedbackToolVersion));
    const std::vector<std::string> expected = {
        "InitFreedbackDll",
        "GetToolIsNewVersion\t10083\t1.0.0",
        "InitFreedbackDll",
        "GetToolIsNewVersion\t10083\t1.0.0",
    };
    EXPECT_EQ(expected, Journal());
}

TEST_F(FeedbackLibraryCalls, CustomerFeedbackExReachesTheLibrary)
{
    const __time64_t before = _time64(NULL);
    const std::wstring timeText = MakeFeedbackTimeText();
    EXPECT_EQ(1, m_library.CustomerFeedbackEx(kFeedbackToolId, kFeedbackToolVersion, 2, timeText.c_str()));
    const std::vector<std::string> journal = Journal();
    ASSERT_EQ(1u, journal.size());
    EXPECT_EQ("CustomerFeedbackEx\t10083\t1.0.0\t2\t" + Narrow(timeText), journal[0]);
    const int reported = std::stoi(journal[0].substr(journal[0].rfind('\t') + 1));
    EXPECT_GE(reported, static_cast<int>(before));
    EXPECT_LE(reported, static_cast<int>(_time64(NULL)));
}

TEST_F(FeedbackLibraryCalls, JournalKeepsOneLinePerCall)
{
    EXPECT_EQ(0, m_library.OpenUrl(nullptr));
    Configure("open=0\n");
    EXPECT_EQ(0, m_library.OpenUrl(L"a\tb\nc\\d \u4E2D"));
    const std::vector<std::string> expected = {
        "OpenUrl\t<null>",
        "OpenUrl\ta\\tb\\nc\\\\d \xE4\xB8\xAD",
    };
    EXPECT_EQ(expected, Journal());
}

TEST_F(FeedbackLibraryCalls, CallsFromSeveralThreadsKeepWholeLines)
{
    const int threads = 8;
    const int calls = 25;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([this, t] {
            for (int i = 0; i < calls; ++i)
                m_library.CustomerFeedbackEx(kFeedbackToolId, kFeedbackToolVersion, t, std::to_wstring(i).c_str());
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    const std::vector<std::string> journal = Journal();
    ASSERT_EQ(static_cast<size_t>(threads * calls), journal.size());
    std::set<std::string> distinct(journal.begin(), journal.end());
    EXPECT_EQ(journal.size(), distinct.size());
    for (int t = 0; t < threads; ++t)
        for (int i = 0; i < calls; ++i)
            EXPECT_EQ(1u, distinct.count("CustomerFeedbackEx\t10083\t1.0.0\t" + std::to_string(t) + "\t" +
                                         std::to_string(i)));
}

// Every entry point is cdecl: the caller removes the arguments. On i686 a callee that
// removed them too (or neither) would move the stack pointer a little with every call.
// The calls are made here, through the binding's own pointer types: a function with a
// frame of its own between (a wrapper) would put the stack pointer back on leaving and
// hide the drift.
TEST_F(FeedbackLibraryCalls, ThousandsOfCallsLeaveTheStackPointerWhereItWas)
{
#ifndef __i386__
    GTEST_SKIP() << "only i686 has more than one calling convention";
#else
    Configure("open=0\n");
    const HMODULE module = ::GetModuleHandleW(kFeedbackLibraryFileName);
    ASSERT_NE(module, nullptr);
    using Library = CFeedbackLibrary;
    const auto init = reinterpret_cast<Library::InitFreedbackDllProc>(::GetProcAddress(module, "InitFreedbackDll"));
    const auto newVersion =
        reinterpret_cast<Library::GetToolIsNewVersionProc>(::GetProcAddress(module, "GetToolIsNewVersion"));
    const auto download = reinterpret_cast<Library::OpenToolDownUrlProc>(::GetProcAddress(module, "OpenToolDownUrl"));
    const auto question =
        reinterpret_cast<Library::FeedbackQuestionProc>(::GetProcAddress(module, "FeedbackQuestion"));
    const auto openUrl = reinterpret_cast<Library::OpenUrlProc>(::GetProcAddress(module, "OpenUrl"));
    const auto feedback =
        reinterpret_cast<Library::CustomerFeedbackExProc>(::GetProcAddress(module, "CustomerFeedbackEx"));
    ASSERT_TRUE(init && newVersion && download && question && openUrl && feedback);
    constexpr int kRounds = 500;
    uintptr_t before = 0, after = 0;
    asm volatile("movl %%esp, %0" : "=r"(before) : : "memory");
    for (int i = 0; i < kRounds; ++i) {
        init();
        newVersion(kFeedbackToolId, kFeedbackToolVersion);
        download();
        question(kFeedbackToolId, kFeedbackToolVersion);
        openUrl(L"https://support.corvel.example/");
        feedback(kFeedbackToolId, kFeedbackToolVersion, 1, L"0");
    }
    asm volatile("movl %%esp, %0" : "=r"(after) : : "memory");
    EXPECT_EQ(before, after);
    EXPECT_EQ(6u * kRounds, Journal().size());
#endif
}

TEST_F(FeedbackLibraryCalls, DelaySlowsEveryCall)
{
    Configure("delay_ms=400\n");
    const ULONGLONG start = ::GetTickCount64();
    m_library.InitFreedbackDll();
    // The tick count moves in steps of about 16 ms.
    EXPECT_GE(::GetTickCount64() - start, 360u);
}

TEST_F(FeedbackLibraryCalls, OpensOnlyWebAddresses)
{
    Configure(RecorderSetting());
    const std::wstring recorder = BinFolder() + L"\\urlrecorder.exe";
    const wchar_t* refused[] = {
        recorder.c_str(),
        L"C:\\windows\\system32\\notepad.exe",
        L"file:///C:/windows/system32/notepad.exe",
        L"ftp://example.com/",
        L"mailto:someone@example.com",
        L"javascript:alert(1)",
        L"http:/example.com",
        L" https://example.com/",
        L"https://",
        L"",
    };
    for (const wchar_t* url : refused)
        EXPECT_EQ(0, m_library.OpenUrl(url)) << Narrow(url);
    EXPECT_EQ(1, m_library.OpenUrl(L"https://kb.corvel.example/detail/dc_172545.html"));
    EXPECT_EQ(1, m_library.OpenUrl(L"HTTP://kb.corvel.example/"));
    const std::vector<std::string> expected = {
        "https://kb.corvel.example/detail/dc_172545.html",
        "HTTP://kb.corvel.example/",
    };
    EXPECT_EQ(expected, Opened());
    EXPECT_EQ(std::size(refused) + 2, Journal().size());
}

TEST_F(FeedbackLibraryCalls, VendorPagesOpenInTheBrowser)
{
    Configure(RecorderSetting());
    m_library.FeedbackQuestion(kFeedbackToolId, kFeedbackToolVersion);
    m_library.OpenToolDownUrl();
    m_library.FeedbackQuestion(L"a b&c", L"\u4E2D");
    const std::vector<std::string> opened = Opened();
    ASSERT_EQ(3u, opened.size());
    EXPECT_EQ(0u, opened[0].rfind("https://", 0));
    EXPECT_NE(std::string::npos, opened[0].find("toolid=10083&version=1.0.0"));
    EXPECT_EQ(0u, opened[1].rfind("https://", 0));
    EXPECT_NE(std::string::npos, opened[2].find("toolid=a%20b%26c&version=%E4%B8%AD"));
    const std::vector<std::string> expected = {
        "FeedbackQuestion\t10083\t1.0.0",
        "OpenToolDownUrl",
        "FeedbackQuestion\ta b&c\t\xE4\xB8\xAD",
    };
    EXPECT_EQ(expected, Journal());
}

TEST_F(FeedbackLibraryCalls, OpenZeroOpensNothing)
{
    Configure(RecorderSetting() + "open=0\n");
    EXPECT_EQ(0, m_library.OpenUrl(L"https://kb.corvel.example/"));
    m_library.OpenToolDownUrl();
    m_library.FeedbackQuestion(kFeedbackToolId, kFeedbackToolVersion);
    EXPECT_TRUE(Opened().empty());
    EXPECT_EQ(3u, Journal().size());
}

namespace
{
// Runs this test program from another folder as a child running only the
// ExeFolderChild test, with ORV_FEEDBACK_EXPECT telling it what Load() must return.
DWORD RunChild(const std::wstring& exe, const std::wstring& workingFolder, const wchar_t* expect)
{
    std::wstring commandLine = L"\"" + exe + L"\" --gtest_filter=FeedbackLibraryExeFolderChild.*";
    ::SetEnvironmentVariableW(L"ORV_FEEDBACK_EXPECT", expect);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    const BOOL started = ::CreateProcessW(exe.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL,
                                          workingFolder.c_str(), &si, &pi);
    ::SetEnvironmentVariableW(L"ORV_FEEDBACK_EXPECT", NULL);
    if (!started)
        return 0xFFFFFFFF;
    ::CloseHandle(pi.hThread);
    DWORD code = 0xFFFFFFFE;
    if (::WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(pi.hProcess, &code);
    else
        ::TerminateProcess(pi.hProcess, 1);
    ::CloseHandle(pi.hProcess);
    return code;
}

std::wstring ThisExecutable()
{
    wchar_t path[MAX_PATH + 1] = {};
    ::GetModuleFileNameW(NULL, path, MAX_PATH);
    return path;
}
}

TEST(FeedbackLibraryExeFolderChild, LoadFromTheExecutablesFolder)
{
    const char* expect = std::getenv("ORV_FEEDBACK_EXPECT");
    if (!expect)
        GTEST_SKIP() << "runs only as the child of LoadUsesTheExecutablesFolder";
    CFeedbackLibrary library;
    ASSERT_EQ(std::atoi(expect), library.Load());
    if (library.IsLoaded()) {
        EXPECT_EQ(1, library.InitFreedbackDll());
    }
}

// Load() looks beside the executable, not in the current folder.
TEST_F(FeedbackLibraryLoad, UsesTheExecutablesFolder)
{
    const std::wstring exe = m_folder + L"\\FeedbackLibraryChild.exe";
    ASSERT_TRUE(::CopyFileW(ThisExecutable().c_str(), exe.c_str(), FALSE));
    EXPECT_EQ(0u, RunChild(exe, BinFolder(), L"0"));
    Place(StandIn());
    const std::wstring empty = m_folder + L"\\cwd";
    ::CreateDirectoryW(empty.c_str(), NULL);
    EXPECT_EQ(0u, RunChild(exe, empty, L"1"));
    const std::vector<std::string> expected = {"InitFreedbackDll"};
    EXPECT_EQ(expected, Journal());
}
