// Test browser for the feedback library stand-in: appends the address it is given to
// opened.txt in its working directory, one UTF-8 line per run.
#include <windows.h>

#include <string>

#include "win/Handle.h"

int wmain(int argc, wchar_t** argv)
{
    std::wstring line = argc > 1 ? argv[1] : L"";
    line += L"\n";
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), NULL, 0, NULL, NULL);
    std::string bytes(n, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), &bytes[0], n, NULL, NULL);
    win::UniqueHandle file(::CreateFileW(L"opened.txt", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file)
        return 1;
    DWORD written = 0;
    return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, NULL) ? 0 : 1;
}
