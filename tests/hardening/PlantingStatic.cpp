// A program that restricts the library search first thing, like the tool, but imports
// version.dll statically: the import is resolved before its first line runs, so a
// planted version.dll beside it is still loaded. The control case for the rule that
// the tool imports only libraries the system takes from its own folder.
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv)
{
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(argv[0], &handle);
    std::printf("version info: %lu bytes\n", static_cast<unsigned long>(size));
    return 0;
}
