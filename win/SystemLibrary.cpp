#include "win/SystemLibrary.h"

#include <cwctype>
#include <set>

#include "win/PeImports.h"

namespace win {

namespace {

LoaderApi SystemLoaderApi() {
    LoaderApi api;
    api.loadLibraryEx = &::LoadLibraryExW;
    if (HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll")) {
        api.setDefaultDllDirectories = reinterpret_cast<LoaderApi::SetDefaultDllDirectoriesFn>(
            reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
    }
    return api;
}

LoaderApi& Api() {
    static LoaderApi api = SystemLoaderApi();
    return api;
}

}  // namespace

std::wstring SystemFolder() {
    wchar_t folder[MAX_PATH + 1] = {};
    const UINT n = ::GetSystemDirectoryW(folder, MAX_PATH + 1);
    if (n == 0 || n > MAX_PATH) return std::wstring();
    return std::wstring(folder, n);
}

bool RestrictLibrarySearch() {
    const LoaderApi& api = Api();
    const bool restricted = api.setDefaultDllDirectories && api.setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    ::SetDllDirectoryW(L"");
    return restricted;
}

HMODULE LoadSystemLibrary(const std::wstring& fileName) {
    const LoaderApi& api = Api();
    if (api.setDefaultDllDirectories) return api.loadLibraryEx(fileName.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    const std::wstring folder = SystemFolder();
    if (folder.empty()) return nullptr;
    // By its full path, and its imports searched from the system folder first.
    return api.loadLibraryEx((folder + L"\\" + fileName).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

namespace {

bool IsFile(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring Wide(const std::string& name) {
    // Import names are ASCII file names.
    return std::wstring(name.begin(), name.end());
}

// Loads, from the system folder, every library that `path` or a library shipped beside
// it imports and that the system folder holds. Once loaded, a library is found by its
// name, so no copy of it beside `path` is ever looked at.
void LoadSystemImports(const std::wstring& path, const std::wstring& folder, const std::wstring& system,
                       std::set<std::wstring>& seen) {
    for (const std::string& name : ImportedLibraryNames(path)) {
        std::wstring file = Wide(name);
        for (wchar_t& c : file) c = static_cast<wchar_t>(::towlower(c));
        if (!seen.insert(file).second) continue;
        if (IsFile(system + L"\\" + file)) {
            LoadSystemLibrary(file);
        } else if (IsFile(folder + L"\\" + file)) {
            LoadSystemImports(folder + L"\\" + file, folder, system, seen);
        }
    }
}

}  // namespace

HMODULE LoadLibraryAt(const std::wstring& path) {
    const LoaderApi& api = Api();
    const size_t slash = path.find_last_of(L"\\/");
    const std::wstring system = SystemFolder();
    if (slash == std::wstring::npos || system.empty()) return nullptr;
    std::set<std::wstring> seen;
    LoadSystemImports(path, path.substr(0, slash), system, seen);
    return api.loadLibraryEx(path.c_str(), nullptr,
                             api.setDefaultDllDirectories ? LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32
                                                          : LOAD_WITH_ALTERED_SEARCH_PATH);
}

LoaderApi SetLoaderApiForTest(const LoaderApi& api) {
    const LoaderApi previous = Api();
    Api() = api;
    return previous;
}

}  // namespace win
