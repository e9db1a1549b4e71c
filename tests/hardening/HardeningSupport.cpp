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

ScopedEnv::ScopedEnv(const wchar_t* name, const std::wstring& value) : m_name(name)
{
    const DWORD n = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (n > 0) {
        m_old.resize(n);
        m_old.resize(::GetEnvironmentVariableW(name, &m_old[0], n));
        m_had = true;
    }
    ::SetEnvironmentVariableW(name, value.c_str());
}

ScopedEnv::~ScopedEnv()
{
    ::SetEnvironmentVariableW(m_name.c_str(), m_had ? m_old.c_str() : nullptr);
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

// Maps a relative virtual address to a file offset through the section table.
size_t RvaToOffset(const std::string& image, const IMAGE_SECTION_HEADER* sections, WORD count, DWORD rva)
{
    for (WORD i = 0; i < count; ++i) {
        const IMAGE_SECTION_HEADER& s = sections[i];
        const DWORD size = std::max(s.Misc.VirtualSize, s.SizeOfRawData);
        if (rva >= s.VirtualAddress && rva < s.VirtualAddress + size)
            return rva - s.VirtualAddress + s.PointerToRawData;
    }
    return image.size();
}

}  // namespace

std::vector<std::string> StaticImports(const std::wstring& path, bool* ok)
{
    std::vector<std::string> names;
    if (ok)
        *ok = false;
    const std::string image = guidriver::ReadFileBytes(path);
    if (image.size() < sizeof(IMAGE_DOS_HEADER))
        return names;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || static_cast<size_t>(dos->e_lfanew) + 0x200 > image.size())
        return names;
    const char* nt = image.data() + dos->e_lfanew;
    const auto* file = reinterpret_cast<const IMAGE_FILE_HEADER*>(nt + 4);
    const char* optional = nt + 4 + sizeof(IMAGE_FILE_HEADER);
    const WORD magic = *reinterpret_cast<const WORD*>(optional);
    IMAGE_DATA_DIRECTORY imports = {};
    if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC)
        imports = reinterpret_cast<const IMAGE_OPTIONAL_HEADER64*>(optional)->DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    else if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC)
        imports = reinterpret_cast<const IMAGE_OPTIONAL_HEADER32*>(optional)->DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    else
        return names;
    const auto* sections =
        reinterpret_cast<const IMAGE_SECTION_HEADER*>(optional + file->SizeOfOptionalHeader);
    size_t at = RvaToOffset(image, sections, file->NumberOfSections, imports.VirtualAddress);
    for (; at + sizeof(IMAGE_IMPORT_DESCRIPTOR) <= image.size(); at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image.data() + at);
        if (d->Name == 0)
            break;
        const size_t name = RvaToOffset(image, sections, file->NumberOfSections, d->Name);
        if (name >= image.size())
            return names;
        names.push_back(Lower(std::string(image.c_str() + name)));
    }
    if (ok)
        *ok = true;
    return names;
}

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
