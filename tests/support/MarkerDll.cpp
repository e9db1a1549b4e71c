// A library planted under the name of a system library. When anything loads it, it
// leaves "<its own file name>.loaded" in the folder named by ORV_MARKER_DIR (holding
// the path of the program that loaded it) and refuses to be used.
#include <windows.h>

namespace {

void LeaveMarker(HINSTANCE self)
{
    wchar_t folder[MAX_PATH] = {};
    const DWORD n = ::GetEnvironmentVariableW(L"ORV_MARKER_DIR", folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return;
    wchar_t own[MAX_PATH] = {};
    ::GetModuleFileNameW(self, own, MAX_PATH);
    const wchar_t* name = own;
    for (const wchar_t* p = own; *p; ++p) {
        if (*p == L'\\' || *p == L'/')
            name = p + 1;
    }
    // The loader may name it after the import ("VERSION.dll"); one spelling for the tests.
    ::CharLowerW(const_cast<wchar_t*>(name));
    wchar_t path[2 * MAX_PATH + 16] = {};
    ::lstrcpyW(path, folder);
    ::lstrcatW(path, L"\\");
    ::lstrcatW(path, name);
    ::lstrcatW(path, L".loaded");
    HANDLE file = ::CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    wchar_t program[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    DWORD written = 0;
    ::WriteFile(file, program, length * sizeof(wchar_t), &written, nullptr);
    ::CloseHandle(file);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    LeaveMarker(instance);
    // Not the library the program asked for: fail its load rather than be called.
    return FALSE;
}
