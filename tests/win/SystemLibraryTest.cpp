#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/PeCraft.h"
#include "tests/support/TempFolder.h"
#include "win/SystemLibrary.h"

namespace {

std::wstring g_lastAsked;

// The loader of Windows 7 without update KB2533623: no SetDefaultDllDirectories, and
// the LOAD_LIBRARY_SEARCH_* flags are an invalid parameter.
HMODULE WINAPI Windows7LoadLibraryEx(LPCWSTR name, HANDLE file, DWORD flags) {
    g_lastAsked = name;
    if (flags & 0x1F00) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return ::LoadLibraryExW(name, file, flags);
}

std::wstring FolderOf(HMODULE module) {
    wchar_t path[MAX_PATH] = {};
    const std::wstring p(path, ::GetModuleFileNameW(module, path, MAX_PATH));
    return p.substr(0, p.find_last_of(L'\\'));
}

bool SameFolder(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

struct LoadCall {
    std::wstring name;
    DWORD flags;
    bool operator==(const LoadCall& o) const { return name == o.name && flags == o.flags; }
};
std::vector<LoadCall> g_calls;

std::ostream& operator<<(std::ostream& out, const LoadCall& c) {
    std::string name;
    for (wchar_t ch : c.name) name += ch < 128 ? static_cast<char>(ch) : '?';
    return out << name << " 0x" << std::hex << c.flags << std::dec;
}

// Notes every load asked for and loads nothing.
HMODULE WINAPI NoteLoadLibraryEx(LPCWSTR name, HANDLE, DWORD flags) {
    g_calls.push_back({name, flags});
    return reinterpret_cast<HMODULE>(::GetModuleHandleW(nullptr));
}

// Notes every load asked for and has the system do it.
HMODULE WINAPI NoteAndLoadLibraryEx(LPCWSTR name, HANDLE file, DWORD flags) {
    g_calls.push_back({name, flags});
    return ::LoadLibraryExW(name, file, flags);
}

BOOL WINAPI RestrictNothing(DWORD) { return TRUE; }

// build\tests\<this test> -> build\<relative>
std::wstring BuildPath(const std::wstring& relative) {
    wchar_t own[MAX_PATH] = {};
    std::wstring path(own, ::GetModuleFileNameW(nullptr, own, MAX_PATH));
    path.resize(path.find_last_of(L'\\'));
    path.resize(path.find_last_of(L'\\'));
    return path + L"\\" + relative;
}

class ScopedLoaderApi {
public:
    explicit ScopedLoaderApi(const win::LoaderApi& api) : previous_(win::SetLoaderApiForTest(api)) {}
    ~ScopedLoaderApi() { win::SetLoaderApiForTest(previous_); }

private:
    win::LoaderApi previous_;
};

}  // namespace

TEST(SystemLibrary, WithAndWithoutSetDefaultDllDirectoriesEveryLibraryComesFromTheSystemFolder) {
    const std::wstring system = win::SystemFolder();
    ASSERT_FALSE(system.empty());
    win::LoaderApi windows7;
    windows7.loadLibraryEx = &Windows7LoadLibraryEx;

    const struct {
        const char* name;
        bool oldSystem;
    } systems[] = {{"this system", false}, {"Windows 7 without KB2533623", true}};
    for (const auto& s : systems) {
        SCOPED_TRACE(s.name);
        std::unique_ptr<ScopedLoaderApi> emulated;
        if (s.oldSystem) emulated = std::make_unique<ScopedLoaderApi>(windows7);
        EXPECT_EQ(!s.oldSystem, win::RestrictLibrarySearch());
        // The delay-loaded libraries and the rich edit control's.
        for (const wchar_t* name : {L"gdiplus.dll", L"comctl32.dll", L"riched20.dll"}) {
            const HMODULE module = win::LoadSystemLibrary(name);
            ASSERT_NE(nullptr, module) << "error " << ::GetLastError();
            EXPECT_TRUE(SameFolder(system, FolderOf(module)));
            // There no search may be involved: the library is named by its full path.
            if (s.oldSystem) {
                EXPECT_EQ(system + L"\\" + name, g_lastAsked);
            }
            ::FreeLibrary(module);
        }
        const HMODULE byPath = win::LoadLibraryAt(system + L"\\version.dll");
        ASSERT_NE(nullptr, byPath) << "error " << ::GetLastError();
        ::FreeLibrary(byPath);
    }
}

// Which libraries are loaded for a library, in which order and how, decided from crafted
// files with a loader that loads nothing.
TEST(SystemLibrary, ALibrarysOwnLibrariesLoadByFullPathBeforeItAndNothingElseFromItsFolder) {
    support::TempFolder root;
    const std::wstring folder = root / L"tool";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const auto place = [&](const std::wstring& name, std::vector<std::string> imports,
                           std::vector<std::string> delayImports = {}) {
        support::PeCraft craft;
        craft.imports = std::move(imports);
        craft.delayImports = std::move(delayImports);
        support::WriteBytes(folder + L"\\" + name, support::CraftPe(craft));
    };
    place(L"library.dll",
          {"own1.dll", "KERNEL32.dll", "version.dll", "Own2.dll", "api-ms-win-crt-runtime-l1-1-0.dll", "missing.dll",
           "..\\escape.dll"},
          {"delayed.dll"});
    place(L"own1.dll", {"own3.dll", "library.dll", "kernel32.dll"});
    place(L"own2.dll", {"own1.dll"});
    place(L"own3.dll", {});
    place(L"delayed.dll", {});
    // Beside it, but system libraries or no file names of its folder: never loaded from there.
    for (const wchar_t* planted : {L"version.dll", L"kernel32.dll", L"api-ms-win-crt-runtime-l1-1-0.dll"})
        place(planted, {});
    support::WriteBytes(root / L"escape.dll", support::CraftPe(support::PeCraft()));

    const std::wstring system = win::SystemFolder();
    ASSERT_FALSE(system.empty());
    const auto own = [&](const wchar_t* name) { return folder + L"\\" + name; };
    const DWORD kSystemOnly = LOAD_LIBRARY_SEARCH_SYSTEM32;
    const DWORD kAltered = LOAD_WITH_ALTERED_SEARCH_PATH;
    const struct {
        const char* name;
        bool searchFlags;
        std::vector<LoadCall> calls;
    } systems[] = {
        {"with the search flags", true,
         {{own(L"own3.dll"), kSystemOnly},
          {own(L"own1.dll"), kSystemOnly},
          {own(L"own2.dll"), kSystemOnly},
          {own(L"delayed.dll"), kSystemOnly},
          {own(L"library.dll"), kSystemOnly}}},
        {"Windows 7 without KB2533623", false,
         {{own(L"own3.dll"), kAltered},
          {system + L"\\kernel32.dll", kAltered},
          {own(L"own1.dll"), kAltered},
          {system + L"\\version.dll", kAltered},
          {own(L"own2.dll"), kAltered},
          {own(L"delayed.dll"), kAltered},
          {own(L"library.dll"), kAltered}}},
    };
    for (const auto& s : systems) {
        SCOPED_TRACE(s.name);
        win::LoaderApi api;
        api.loadLibraryEx = &NoteLoadLibraryEx;
        api.setDefaultDllDirectories = s.searchFlags ? &RestrictNothing : nullptr;
        ScopedLoaderApi noted(api);
        g_calls.clear();
        EXPECT_NE(nullptr, win::LoadLibraryAt(own(L"library.dll")));
        EXPECT_EQ(s.calls, g_calls);
    }

    // A library whose own library is beyond what any real one is, is not loaded at all.
    support::PeCraft crafted;
    crafted.imports = {"a.dll"};
    crafted.sections = 97;
    support::WriteBytes(own(L"crafted.dll"), support::CraftPe(crafted));
    place(L"refusing.dll", {"crafted.dll"});
    win::LoaderApi api;
    api.loadLibraryEx = &NoteLoadLibraryEx;
    api.setDefaultDllDirectories = &RestrictNothing;
    ScopedLoaderApi noted(api);
    g_calls.clear();
    EXPECT_EQ(nullptr, win::LoadLibraryAt(own(L"refusing.dll")));
    EXPECT_TRUE(g_calls.empty());
}

// The stand-in of a library that ships a library of its own loads both ways.
TEST(SystemLibrary, ALibraryWithOneOfItsOwnLoadsWithAndWithoutTheSearchFlags) {
    const std::wstring folder = BuildPath(L"bin\\feedbackdll-private");
    const std::wstring library = folder + L"\\CorvelFeedbackInformation.dll";
    const std::wstring helper = folder + L"\\corvelfeedbackhelper.dll";
    for (bool searchFlags : {true, false}) {
        SCOPED_TRACE(searchFlags ? "with the search flags" : "Windows 7 without KB2533623");
        win::LoaderApi api;
        api.loadLibraryEx = searchFlags ? &NoteAndLoadLibraryEx : &Windows7LoadLibraryEx;
        api.setDefaultDllDirectories = searchFlags ? &RestrictNothing : nullptr;
        ScopedLoaderApi noted(api);
        g_calls.clear();
        const HMODULE module = win::LoadLibraryAt(library);
        ASSERT_NE(nullptr, module) << "error " << ::GetLastError();
        EXPECT_NE(nullptr, ::GetProcAddress(module, "InitFreedbackDll"));
        if (searchFlags) {
            const std::vector<LoadCall> expected = {{helper, LOAD_LIBRARY_SEARCH_SYSTEM32},
                                                    {library, LOAD_LIBRARY_SEARCH_SYSTEM32}};
            EXPECT_EQ(expected, g_calls);
        } else {
            EXPECT_EQ(library, g_lastAsked);
        }
        ::FreeLibrary(module);
    }
}

namespace {

// The marker files left in `folder`, one name a line.
std::string MarkersIn(const std::wstring& folder) {
    std::string names;
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW((folder + L"\\*.loaded").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        for (const wchar_t* c = found.cFileName; *c; ++c) names += static_cast<char>(*c);
        names += "\n";
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return names;
}

// A copy of the library that ships a library of its own (which imports icmp.dll), with
// a marker planted beside it under that system library's name. (icmp.dll forwards its
// functions to iphlpapi.dll; without the search flags a forward's target is looked for
// beside the importer first, which the tool cannot prevent there. Such a system never
// loads the feedback library: the tool stops at its version check before.)
std::wstring PlantedCopy(const std::wstring& root, const wchar_t* name) {
    const std::wstring folder = root + L"\\" + name;
    if (!::CreateDirectoryW(folder.c_str(), nullptr)) return L"";
    for (const wchar_t* file : {L"CorvelFeedbackInformation.dll", L"CorvelFeedbackHelper.dll"}) {
        const std::wstring from = BuildPath(L"bin\\feedbackdll-private\\") + file;
        if (!::CopyFileW(from.c_str(), (folder + L"\\" + file).c_str(), FALSE)) return L"";
    }
    if (!::CopyFileW(BuildPath(L"tests\\orv_marker.dll").c_str(), (folder + L"\\icmp.dll").c_str(), FALSE))
        return L"";
    return folder;
}

constexpr wchar_t kOldSystemChild[] = L"ORV_OLD_SYSTEM_CHILD";

}  // namespace

// On Windows 7 without KB2533623 the library search cannot be restricted: a process
// that never had SetDefaultDllDirectories, as such a system gives, must still never load
// a system library planted beside the feedback library. The pass runs in a child process
// of its own, where nothing ever restricted the search; Wine is told to prefer a library
// beside the program for the planted name, as Windows does for any library that is not
// a KnownDLL, and a control load shows that it then does.
TEST(SystemLibrary, OnAnOldSystemAPlantedSystemLibraryBesideTheLibraryIsNeverLoaded) {
    wchar_t childRoot[MAX_PATH] = {};
    if (::GetEnvironmentVariableW(kOldSystemChild, childRoot, MAX_PATH)) {
        const std::wstring root = childRoot;
        win::LoaderApi windows7;
        windows7.loadLibraryEx = &Windows7LoadLibraryEx;
        ScopedLoaderApi emulated(windows7);
        EXPECT_FALSE(win::RestrictLibrarySearch());
        const std::wstring markers = root + L"\\markers";
        ASSERT_TRUE(::SetEnvironmentVariableW(L"ORV_MARKER_DIR", markers.c_str()));

        const std::wstring control = PlantedCopy(root, L"control");
        ASSERT_FALSE(control.empty());
        const HMODULE plain = ::LoadLibraryExW((control + L"\\CorvelFeedbackInformation.dll").c_str(), nullptr,
                                               LOAD_WITH_ALTERED_SEARCH_PATH);
        if (plain) ::FreeLibrary(plain);
        EXPECT_EQ("icmp.dll.loaded\n", MarkersIn(markers)) << "the control load did not reach the planted library";
        ::DeleteFileW((markers + L"\\icmp.dll.loaded").c_str());

        const std::wstring tool = PlantedCopy(root, L"tool");
        ASSERT_FALSE(tool.empty());
        const HMODULE module = win::LoadLibraryAt(tool + L"\\CorvelFeedbackInformation.dll");
        ASSERT_NE(nullptr, module) << "error " << ::GetLastError();
        EXPECT_NE(nullptr, ::GetProcAddress(module, "InitFreedbackDll"));
        EXPECT_EQ("", MarkersIn(markers)) << "a planted system library was loaded";
        return;
    }

    const char* overrides = std::getenv("ORV_DLLOVERRIDES");
    ASSERT_TRUE(overrides && std::strstr(overrides, "icmp")) << "run through scripts/wine-run.sh with ORV_DLLOVERRIDES=icmp=n,b";
    support::TempFolder root;
    ASSERT_TRUE(::CreateDirectoryW((root / L"markers").c_str(), nullptr));
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) +
                           L"\" --gtest_filter=SystemLibrary.OnAnOldSystemAPlantedSystemLibraryBesideTheLibraryIsNeverLoaded";
    ASSERT_TRUE(::SetEnvironmentVariableW(kOldSystemChild, root.Path().c_str()));
    STARTUPINFOW si{sizeof(si)};
    PROCESS_INFORMATION pi{};
    const BOOL started = ::CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    ::SetEnvironmentVariableW(kOldSystemChild, nullptr);
    ASSERT_TRUE(started) << "error " << ::GetLastError();
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(pi.hProcess, 60000));
    DWORD code = 1;
    ::GetExitCodeProcess(pi.hProcess, &code);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    EXPECT_EQ(0u, code) << "the old-system pass failed in its own process (its output is above)";
}
