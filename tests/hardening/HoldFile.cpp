// hold_file <path> <ready file>: opens path for reading and writing with no sharing at
// all, as another program may, writes the ready file and holds the file until its
// standard input closes or 60 s have passed.
#include <windows.h>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
        return 2;
    HANDLE file = ::CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    HANDLE ready = ::CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (ready != INVALID_HANDLE_VALUE)
        ::CloseHandle(ready);
    char byte = 0;
    DWORD read = 0;
    HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    const ULONGLONG end = ::GetTickCount64() + 60000;
    while (::GetTickCount64() < end) {
        if (input && input != INVALID_HANDLE_VALUE && ::GetFileType(input) == FILE_TYPE_PIPE) {
            if (!::ReadFile(input, &byte, 1, &read, nullptr))
                break;
        } else {
            ::Sleep(100);
        }
    }
    ::CloseHandle(file);
    return 0;
}
