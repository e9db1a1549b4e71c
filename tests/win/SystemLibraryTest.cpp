#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

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
