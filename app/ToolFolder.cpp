#include "app/ToolFolder.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cwctype>

#include "repair/ExeFolder.h"

namespace {

std::wstring Lower(std::wstring s) {
    std::transform(s.begin(), s.end(), s.begin(), [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return s;
}

std::wstring TrimSlashes(std::wstring s) {
    while (!s.empty() && (s.back() == L'\\' || s.back() == L'/')) s.pop_back();
    return s;
}

bool SameOrAbove(const std::wstring& folder, const std::wstring& known) {
    // The folder is a known folder or contains one (e.g. the profile above Downloads).
    const std::wstring f = Lower(TrimSlashes(folder)), k = Lower(TrimSlashes(known));
    if (k.empty()) return false;
    if (f == k) return true;
    return k.size() > f.size() && k.compare(0, f.size(), f) == 0 && k[f.size()] == L'\\';
}

bool IsDeliveredEntry(const FolderEntry& e, const std::wstring& exeName) {
    const std::wstring n = Lower(e.name);
    if (e.isDirectory) return n == L"lumafwu";
    if (n == Lower(exeName)) return true;
    // The feedback library and the files it keeps beside itself.
    const std::wstring lib = L"corvelfeedbackinformation.";
    return n.compare(0, lib.size(), lib) == 0;
}

}  // namespace

CleanupVerdict CheckToolFolder(const ToolFolderFacts& facts) {
    const std::wstring& f = facts.folder;
    // An absolute folder below a drive root: "X:\something".
    if (f.size() < 4 || f[1] != L':' || f[2] != L'\\' || !std::iswalpha(f[0]) || f.back() == L'\\') {
        return CleanupVerdict::NotAFolder;
    }
    // Inside the double quotes of the command cmd.exe still expands %...% and, with
    // delayed expansion on in the registry, !...!; a quote would end the quoting. The
    // rest (spaces, & ^ ( ) ; , =) is plain text there.
    for (wchar_t c : f) {
        if (c < 0x20 || wcschr(L"%!|<>\"", c)) return CleanupVerdict::UnsafeCharacters;
    }
    if (f.find(L"\\\\") != std::wstring::npos || f.find(L"\\.") != std::wstring::npos) {
        return CleanupVerdict::NotAFolder;
    }
    for (const std::wstring& k : facts.knownFolders) {
        if (SameOrAbove(f, k)) return CleanupVerdict::KnownFolder;
    }
    if (facts.isReparsePoint) return CleanupVerdict::ReparsePoint;
    bool firmware = false, exe = false;
    for (const FolderEntry& e : facts.entries) {
        if (!IsDeliveredEntry(e, facts.exeName)) return CleanupVerdict::ForeignContent;
        firmware = firmware || e.isDirectory;
        exe = exe || (!e.isDirectory && Lower(e.name) == Lower(facts.exeName));
    }
    if (!firmware) return CleanupVerdict::NoFirmwareFolder;
    if (!exe) return CleanupVerdict::ForeignContent;
    return CleanupVerdict::Remove;
}

std::wstring CleanupParameters(const std::wstring& folder) {
    return L"/D /C timeout /t 3 /nobreak & rmdir /s /q \"" + folder + L"\"";
}

ToolFolderFacts GatherToolFolderFacts() {
    ToolFolderFacts facts;
    facts.folder = GetExeFolder();
    wchar_t path[MAX_PATH + 1] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    const wchar_t* slash = wcsrchr(path, L'\\');
    facts.exeName = slash ? slash + 1 : path;

    WIN32_FIND_DATAW fd;
    HANDLE find = ::FindFirstFileW((facts.folder + L"\\*").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            facts.entries.push_back({name, (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) facts.isReparsePoint = true;
        } while (::FindNextFileW(find, &fd));
        ::FindClose(find);
    }
    // The folder itself or any folder above it being a link would let rmdir act elsewhere.
    for (std::wstring p = facts.folder; p.size() > 3; p = p.substr(0, p.rfind(L'\\'))) {
        const DWORD attrs = ::GetFileAttributesW(p.c_str());
        if (attrs == INVALID_FILE_ATTRIBUTES || (attrs & FILE_ATTRIBUTE_REPARSE_POINT)) facts.isReparsePoint = true;
        if (p.rfind(L'\\') == std::wstring::npos) break;
    }

    static const int kFolders[] = {
        CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL, CSIDL_PROFILE, CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86,
        CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_COMMON_APPDATA, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA,
        CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_COMMON_DOCUMENTS, CSIDL_PROGRAM_FILES_COMMON, CSIDL_MYMUSIC,
        CSIDL_MYPICTURES, CSIDL_MYVIDEO, CSIDL_STARTMENU, CSIDL_COMMON_STARTMENU,
    };
    for (int id : kFolders) {
        wchar_t buf[MAX_PATH] = {};
        if (SUCCEEDED(::SHGetFolderPathW(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, buf)) && buf[0]) {
            facts.knownFolders.push_back(buf);
        }
    }
    PWSTR downloads = nullptr;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_Downloads, 0, nullptr, &downloads)) && downloads) {
        facts.knownFolders.push_back(downloads);
    }
    ::CoTaskMemFree(downloads);
    if (const DWORD n = ::GetEnvironmentVariableW(L"USERPROFILE", nullptr, 0)) {
        std::wstring profile(n, L'\0');
        profile.resize(::GetEnvironmentVariableW(L"USERPROFILE", &profile[0], n));
        facts.knownFolders.push_back(profile);
        facts.knownFolders.push_back(profile + L"\\Downloads");
    }
    return facts;
}

int RemoveToolFolder() {
    const ToolFolderFacts facts = GatherToolFolderFacts();
    if (CheckToolFolder(facts) != CleanupVerdict::Remove) return 1;
    wchar_t system[MAX_PATH] = {};
    const UINT n = ::GetSystemDirectoryW(system, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 1;
    const std::wstring cmd = std::wstring(system) + L"\\cmd.exe";
    const std::wstring params = CleanupParameters(facts.folder);
    // The system folder as working folder, so that nothing holds the tool's folder open.
    ::ShellExecuteW(nullptr, L"open", cmd.c_str(), params.c_str(), system, SW_HIDE);
    return 1;
}
