#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/Env.h"
#include "tools/guidriver/GuiDriver.h"

namespace hardening {

using guidriver::Utf8;

// Windows paths of the build's folders (from ORV_BUILD / ORV_DIST).
std::wstring BuildFolder();
std::wstring DistFolder();
// build/tests: the test executables and the helpers built beside them.
std::wstring TestBinFolder();

using support::ScopedEnv;

// A fresh temporary folder removed with everything in it at the end.
class Scratch {
public:
    explicit Scratch(const std::wstring& prefix);
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    const std::wstring& Path() const { return m_path; }
    std::wstring operator/(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

// Names of the files in a folder (not recursive, no folders).
std::vector<std::wstring> FilesIn(const std::wstring& folder);

// Base names (lower case) of the modules loaded in a running process.
std::vector<std::wstring> LoadedModules(HANDLE process);

// The command lines of the running processes whose executable has this file name.
std::vector<std::wstring> CommandLinesOf(const wchar_t* exeName);

// Libraries every Windows version takes only from its own folder, whatever lies beside
// the program (KnownDLLs, and ntdll, which is always mapped first).
bool IsKnownDll(const std::string& name);

}  // namespace hardening
