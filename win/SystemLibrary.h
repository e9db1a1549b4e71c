#pragma once
#include <windows.h>

#include <string>

namespace win {

// Library loading for a program that runs elevated from a downloaded folder: system
// libraries come from the system folder, never from the program's own.
// SetDefaultDllDirectories and the LOAD_LIBRARY_SEARCH_* flags came with Windows 8 (and
// update KB2533623 for Windows 7). They are looked up at run time, so that the program
// still starts where they are missing; there every system library is loaded by its
// full path in the system folder instead.

// The loader functions used here; by default the system's own.
struct LoaderApi {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    using LoadLibraryExWFn = HMODULE(WINAPI*)(LPCWSTR, HANDLE, DWORD);
    SetDefaultDllDirectoriesFn setDefaultDllDirectories = nullptr;  // null where the system lacks it
    LoadLibraryExWFn loadLibraryEx = nullptr;
};

// Restricts the library search of the process to the system folder where the system
// can; in any case takes the current folder out of it. True when the restriction to the
// system folder is in force.
bool RestrictLibrarySearch();

// Loads a system library, named by its file name, from the system folder; its own
// imports are looked for there first. Null on failure.
HMODULE LoadSystemLibrary(const std::wstring& fileName);

// Loads the library at an absolute path together with the libraries shipped beside it.
// Every library it (or one shipped beside it) imports that the system folder holds is
// loaded from there first, so that a copy planted beside it never stands in for a
// system library; the rest come from its folder. The system libraries stay loaded.
HMODULE LoadLibraryAt(const std::wstring& path);

// The system folder without a trailing backslash; empty when unknown.
std::wstring SystemFolder();

// Test seam: replaces the loader functions (a null setDefaultDllDirectories stands for a
// system without it) and returns the ones in use before.
LoaderApi SetLoaderApiForTest(const LoaderApi& api);

}  // namespace win
