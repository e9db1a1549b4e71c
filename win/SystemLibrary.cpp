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

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(::towlower(c));
    return text;
}

// Import names are ASCII file names.
std::wstring LowerFileName(const std::string& name) { return Lower(std::wstring(name.begin(), name.end())); }

// A file name alone: nothing that would lead out of the folder it is looked for in.
bool IsPlainFileName(const std::wstring& name) {
    return !name.empty() && name.find_first_of(L"\\/:") == std::wstring::npos && name != L"." && name != L"..";
}

// Names the loader itself maps onto system libraries, whatever lies beside a library.
bool IsApiSet(const std::wstring& name) { return name.compare(0, 4, L"api-") == 0 || name.compare(0, 4, L"ext-") == 0; }

// Loads a library's own libraries (those its import tables name that lie beside it and
// not in the system folder), each by its full path, after what it imports in turn; the
// library itself is then loaded by the caller the same way. Every other import is a
// system library: with the search flags it is looked for in the system folder only;
// without them it is loaded from there first, so that the search, which then starts in
// the library's folder, finds it loaded.
class OwnLibraries {
public:
    OwnLibraries(const LoaderApi& api, std::wstring folder, std::wstring system, const std::wstring& library)
        : m_api(api), m_folder(std::move(folder)), m_system(std::move(system)) {
        m_seen.insert(library);
    }

    DWORD Flags() const {
        return m_api.setDefaultDllDirectories ? LOAD_LIBRARY_SEARCH_SYSTEM32 : LOAD_WITH_ALTERED_SEARCH_PATH;
    }

    // False when the import tables of `path` or of one of its own libraries are refused.
    bool LoadImportsOf(const std::wstring& path) {
        const auto names = ImportedLibraryNames(path);
        if (!names) return false;
        for (const std::string& name : *names) {
            const std::wstring file = LowerFileName(name);
            if (!IsPlainFileName(file) || !m_seen.insert(file).second) continue;
            if (IsApiSet(file) || IsFile(m_system + L"\\" + file)) {
                if (!m_api.setDefaultDllDirectories && !IsApiSet(file)) LoadSystemLibrary(file);
                continue;
            }
            const std::wstring own = m_folder + L"\\" + file;
            // One that is nowhere makes the library's own load fail, as it should.
            if (!IsFile(own)) continue;
            if (!LoadImportsOf(own)) return false;
            m_api.loadLibraryEx(own.c_str(), nullptr, Flags());
        }
        return true;
    }

private:
    const LoaderApi& m_api;
    const std::wstring m_folder;
    const std::wstring m_system;
    std::set<std::wstring> m_seen;
};

}  // namespace

HMODULE LoadLibraryAt(const std::wstring& path) {
    const LoaderApi& api = Api();
    const size_t slash = path.find_last_of(L"\\/");
    const std::wstring system = SystemFolder();
    if (slash == std::wstring::npos || system.empty()) return nullptr;
    OwnLibraries own(api, path.substr(0, slash), system, Lower(path.substr(slash + 1)));
    if (!own.LoadImportsOf(path)) return nullptr;
    // Its imports of its own libraries are the modules loaded above, found by their names.
    return api.loadLibraryEx(path.c_str(), nullptr, own.Flags());
}

LoaderApi SetLoaderApiForTest(const LoaderApi& api) {
    const LoaderApi previous = Api();
    Api() = api;
    return previous;
}

}  // namespace win
