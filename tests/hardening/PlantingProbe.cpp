// planting_probe <mode> <library>: loads a library the way a program that does not
// restrict its search would ("plain"), or after restricting the search to the system
// folder ("restricted"), and prints whether it loaded. The control cases of the
// planting test: with a marker beside the probe, "plain" must leave the marker.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
        return 2;
    if (std::wcscmp(argv[1], L"restricted") == 0) {
        ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    } else if (std::wcscmp(argv[1], L"plain") != 0) {
        return 2;
    }
    HMODULE module = ::LoadLibraryW(argv[2]);
    std::wprintf(L"%ls %ls: %ls\n", argv[1], argv[2], module ? L"loaded" : L"not loaded");
    return 0;
}
