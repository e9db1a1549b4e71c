#include "win/SystemLibrary.h"

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

HMODULE LoadLibraryAt(const std::wstring& path) {
    const LoaderApi& api = Api();
    return api.loadLibraryEx(path.c_str(), nullptr,
                             api.setDefaultDllDirectories ? LOAD_LIBRARY_SEARCH_SYSTEM32 : LOAD_WITH_ALTERED_SEARCH_PATH);
}

LoaderApi SetLoaderApiForTest(const LoaderApi& api) {
    const LoaderApi previous = Api();
    Api() = api;
    return previous;
}

}  // namespace win
