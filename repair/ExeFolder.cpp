#include "repair/ExeFolder.h"

#include <windows.h>

#include <vector>

std::wstring FolderOfPath(const std::wstring& path)
{
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring GetExeFolder()
{
    // MAX_PATH + 1 covers the usual case; a longer module path is read whole rather than
    // cut, since a cut path would point at some other folder.
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size() - 1));
        if (n == 0)
            return std::wstring();
        if (n < buffer.size() - 1 || buffer.size() > 32768)
            return FolderOfPath(std::wstring(buffer.data(), n));
        buffer.resize(buffer.size() * 2);
    }
}
