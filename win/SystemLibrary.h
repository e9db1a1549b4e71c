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

// Loads the library at an absolute path together with its own libraries: those its
// import tables (and theirs, in turn) name that lie beside it and not in the system
// folder. Each is loaded by its full path, what it imports first, and the library last;
// everything else they import is a system library and comes from the system folder
// only, so that a copy planted beside the library never stands in for one, even when
// reached through a forwarded export. Without the search flags (see above) the system
// libraries are loaded from the system folder first, and the rest of the search starts
// in the library's folder. What was loaded stays loaded. Null on failure, also when an
// import table is refused (win/PeImports.h).
HMODULE LoadLibraryAt(const std::wstring& path);

// The system folder without a trailing backslash; empty when unknown.
std::wstring SystemFolder();

// Test seam: replaces the loader functions (a null setDefaultDllDirectories stands for a
// system without it) and returns the ones in use before.
LoaderApi SetLoaderApiForTest(const LoaderApi& api);

}  // namespace win
