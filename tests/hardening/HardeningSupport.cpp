#include "tests/hardening/HardeningSupport.h"

#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <cctype>
#include <cwctype>

#include "tools/guidriver/GuiDriver.h"
#include "win/Handle.h"

namespace hardening {

std::wstring BuildFolder()
{
    return guidriver::EnvPath(L"ORV_BUILD");
}

std::wstring DistFolder()
{
    return guidriver::EnvPath(L"ORV_DIST");
}

std::wstring TestBinFolder()
{
    return BuildFolder() + L"\\tests";
}

Scratch::Scratch(const std::wstring& prefix) : m_path(guidriver::TempFolder(prefix)) {}

Scratch::~Scratch()
{
    if (!m_path.empty())
        guidriver::RemoveTree(m_path);
}

std::vector<std::wstring> FilesIn(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(fd.cFileName);
    } while (::FindNextFileW(find, &fd));
    ::FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

}  // namespace

std::vector<std::wstring> LoadedModules(HANDLE process)
{
    std::vector<std::wstring> names;
    std::vector<HMODULE> modules(1024);
    DWORD needed = 0;
    if (!::EnumProcessModulesEx(process, modules.data(), static_cast<DWORD>(modules.size() * sizeof(HMODULE)), &needed,
                                LIST_MODULES_ALL))
        return names;
    modules.resize(std::min<size_t>(modules.size(), needed / sizeof(HMODULE)));
    for (HMODULE m : modules) {
        wchar_t name[MAX_PATH] = {};
        if (::GetModuleBaseNameW(process, m, name, MAX_PATH)) {
            std::wstring n = name;
            std::transform(n.begin(), n.end(), n.begin(), [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
            names.push_back(n);
        }
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

namespace {

// Reads the command line from the process's own parameter block.
std::wstring CommandLineOf(DWORD pid)
{
    using QueryFn = LONG(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    static const auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    win::UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    if (!process || !query)
        return std::wstring();
    PROCESS_BASIC_INFORMATION basic = {};
    if (query(process.get(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0 || !basic.PebBaseAddress)
        return std::wstring();
    PEB peb = {};
    RTL_USER_PROCESS_PARAMETERS parameters = {};
    if (!::ReadProcessMemory(process.get(), basic.PebBaseAddress, &peb, sizeof peb, nullptr) ||
        !::ReadProcessMemory(process.get(), peb.ProcessParameters, &parameters, sizeof parameters, nullptr))
        return std::wstring();
    std::wstring line(parameters.CommandLine.Length / sizeof(wchar_t), L'\0');
    if (!line.empty() &&
        !::ReadProcessMemory(process.get(), parameters.CommandLine.Buffer, &line[0], parameters.CommandLine.Length, nullptr))
        return std::wstring();
    return line;
}

}  // namespace

std::vector<std::wstring> CommandLinesOf(const wchar_t* exeName)
{
    std::vector<std::wstring> lines;
    for (const guidriver::ProcessEntry& p : guidriver::ProcessTable()) {
        if (::CompareStringOrdinal(p.image.c_str(), -1, exeName, -1, TRUE) != CSTR_EQUAL)
            continue;
        const std::wstring line = CommandLineOf(p.pid);
        if (!line.empty())
            lines.push_back(line);
    }
    return lines;
}

bool IsKnownDll(const std::string& name)
{
    static const char* const kKnown[] = {
        "ntdll.dll",   "kernel32.dll", "kernelbase.dll", "user32.dll",   "gdi32.dll",    "advapi32.dll",
        "shell32.dll", "ole32.dll",    "oleaut32.dll",   "comdlg32.dll", "shlwapi.dll",  "msvcrt.dll",
        "imm32.dll",   "rpcrt4.dll",   "sechost.dll",    "combase.dll",  "ws2_32.dll",   "setupapi.dll",
        "psapi.dll",   "shcore.dll",   "normaliz.dll",   "nsi.dll",      "wldap32.dll",  "imagehlp.dll",
        "msctf.dll",   "clbcatq.dll",  "coml2.dll",      "difxapi.dll",
    };
    const std::string n = Lower(name);
    return std::any_of(std::begin(kKnown), std::end(kKnown), [&](const char* k) { return n == k; });
}

}  // namespace hardening
