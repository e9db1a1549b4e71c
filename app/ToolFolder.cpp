#include "app/ToolFolder.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cwctype>
#include <utility>

#include "app/HeldFolder.h"
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

// A path as one of the two path functions gives it back; empty on failure.
template <typename PathFunction>
std::wstring PathAs(PathFunction function, const std::wstring& path) {
    std::wstring out(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD n = function(path.c_str(), &out[0], static_cast<DWORD>(out.size()));
        if (n == 0) return std::wstring();
        if (n < out.size()) {
            out.resize(n);
            return out;
        }
        out.resize(n);
    }
    return std::wstring();
}

std::wstring FullPathOf(const std::wstring& path) {
    return PathAs([](const wchar_t* p, wchar_t* out, DWORD n) { return ::GetFullPathNameW(p, n, out, nullptr); },
                  path);
}

std::wstring LongPathOf(const std::wstring& path) {
    return PathAs([](const wchar_t* p, wchar_t* out, DWORD n) { return ::GetLongPathNameW(p, out, n); }, path);
}

bool IsLoadedModule(const std::wstring& path) {
    HMODULE module = nullptr;
    return ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, path.c_str(), &module) && module;
}

// Distinct for every run of the tool: the process id and the time it ends.
std::wstring RunMark() {
    wchar_t mark[32] = {};
    swprintf(mark, 32, L"%lx-%lx", ::GetCurrentProcessId(), static_cast<unsigned long>(::GetTickCount64()));
    return mark;
}

}  // namespace

bool IsDeliveredEntry(const FolderEntry& e, const std::wstring& exeName) {
    const std::wstring n = Lower(e.name);
    if (e.isDirectory) return n == L"lumafwu";
    if (n == Lower(exeName)) return true;
    // The feedback library and the files it keeps beside itself.
    const std::wstring lib = L"corvelfeedbackinformation.";
    return n.compare(0, lib.size(), lib) == 0;
}

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
        if (c < 0x20 || wcschr(L"%!|<>\"*?", c)) return CleanupVerdict::UnsafeCharacters;
    }
    if (f.find(L"\\\\") != std::wstring::npos || f.find(L"\\.") != std::wstring::npos) {
        return CleanupVerdict::NotAFolder;
    }
    // One path for everything: the one Windows itself gives back. A trailing blank or
    // dot would be cut off by every path-based call (acting on a neighbour), and a short
    // name would slip past the comparison with the known folders.
    if (!SamePath(facts.fullPath, f) || !SamePath(facts.longPath, f)) return CleanupVerdict::NotCanonical;
    for (const std::wstring& k : facts.knownFolders) {
        if (SameOrAbove(f, k)) return CleanupVerdict::KnownFolder;
    }
    if (!facts.listed) return CleanupVerdict::NotAFolder;
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

std::wstring RetiredName(const std::wstring& name, const std::wstring& runMark) {
    return name + L"." + runMark + L".old";
}

std::wstring CleanupParameters(const std::wstring& folder, const std::vector<std::wstring>& retiredNames) {
    std::wstring parameters = L"/D /C timeout /t 3 /nobreak";
    for (const std::wstring& name : retiredNames) parameters += L" & del /f /q \"" + folder + L"\\" + name + L"*\"";
    return parameters + L" & rmdir \"" + folder + L"\"";
}

std::vector<std::wstring> KnownFolders() {
    std::vector<std::wstring> folders;
    static const int kFolders[] = {
        CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL, CSIDL_PROFILE, CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86,
        CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_COMMON_APPDATA, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA,
        CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_COMMON_DOCUMENTS, CSIDL_PROGRAM_FILES_COMMON, CSIDL_MYMUSIC,
        CSIDL_MYPICTURES, CSIDL_MYVIDEO, CSIDL_STARTMENU, CSIDL_COMMON_STARTMENU,
    };
    for (int id : kFolders) {
        wchar_t buf[MAX_PATH] = {};
        if (SUCCEEDED(::SHGetFolderPathW(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, buf)) && buf[0]) {
            folders.push_back(buf);
        }
    }
    PWSTR downloads = nullptr;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_Downloads, 0, nullptr, &downloads)) && downloads) {
        folders.push_back(downloads);
    }
    ::CoTaskMemFree(downloads);
    if (const DWORD n = ::GetEnvironmentVariableW(L"USERPROFILE", nullptr, 0)) {
        std::wstring profile(n, L'\0');
        profile.resize(::GetEnvironmentVariableW(L"USERPROFILE", &profile[0], n));
        folders.push_back(profile);
        folders.push_back(profile + L"\\Downloads");
    }
    // A folder the system names by its short form is compared in its long form too.
    const size_t given = folders.size();
    for (size_t i = 0; i < given; ++i) {
        const std::wstring longForm = LongPathOf(folders[i]);
        if (!longForm.empty() && !SamePath(longForm, folders[i])) folders.push_back(longForm);
    }
    return folders;
}

CToolFolderCleanup::CToolFolderCleanup(std::wstring folder, std::wstring exeName,
                                       std::vector<std::wstring> knownFolders) {
    facts_.folder = std::move(folder);
    facts_.exeName = std::move(exeName);
    facts_.knownFolders = std::move(knownFolders);
}

CToolFolderCleanup::~CToolFolderCleanup() = default;

CleanupVerdict CToolFolderCleanup::Check() {
    facts_.fullPath = FullPathOf(facts_.folder);
    facts_.longPath = LongPathOf(facts_.folder);
    facts_.entries.clear();
    facts_.listed = false;
    held_ = std::make_unique<CHeldFolder>(facts_.folder);
    if (held_->IsOpen()) {
        facts_.isReparsePoint = !held_->IsPlainFolderAtPath();
        std::vector<HeldEntry> entries;
        facts_.listed = held_->List(entries);
        for (const HeldEntry& e : entries) {
            facts_.entries.push_back({e.name, e.IsDirectory()});
            facts_.isReparsePoint = facts_.isReparsePoint || e.IsLink();
        }
    }
    return CheckToolFolder(facts_);
}

bool CToolFolderCleanup::Clear(const std::wstring& runMark, std::wstring& parameters) {
    std::vector<HeldEntry> entries;
    if (!held_ || !held_->IsPlainFolderAtPath() || !held_->List(entries)) return false;
    std::vector<HeldEntry> loaded, rest;
    for (const HeldEntry& e : entries) {
        if (!IsDeliveredEntry({e.name, e.IsDirectory()}, facts_.exeName)) continue;
        const bool image = !e.IsDirectory() && IsLoadedModule(facts_.folder + L"\\" + e.name);
        (image ? loaded : rest).push_back(e);
    }
    // A file in use as a module cannot be deleted before the process ends; under a name
    // of this run's own it waits for the delayed command, and a fresh copy unpacked
    // under the delivered name meanwhile is never touched. All of them or none: a tool
    // without its executable's name but with its folder left would be of no use.
    std::vector<HeldEntry> retired;
    std::vector<std::wstring> names;
    for (const HeldEntry& e : loaded) {
        HeldEntry renamed = e;
        renamed.name = RetiredName(e.name, runMark);
        if (!held_->Rename(e, renamed.name)) {
            for (size_t i = 0; i < retired.size(); ++i) held_->Rename(retired[i], loaded[i].name);
            return false;
        }
        retired.push_back(renamed);
        names.push_back(renamed.name);
    }
    for (const HeldEntry& e : rest) held_->Delete(e);
    parameters = CleanupParameters(facts_.folder, names);
    return true;
}

int RemoveToolFolder() {
    std::vector<wchar_t> module(32768);
    const DWORD n = ::GetModuleFileNameW(nullptr, module.data(), static_cast<DWORD>(module.size()));
    if (n == 0 || n >= module.size()) return 1;
    const std::wstring exePath(module.data(), n);
    const std::wstring folder = FolderOfPath(exePath);
    if (folder.empty()) return 1;
    CToolFolderCleanup cleanup(folder, exePath.substr(folder.size() + 1), KnownFolders());
    std::wstring parameters;
    if (cleanup.Check() != CleanupVerdict::Remove || !cleanup.Clear(RunMark(), parameters)) return 1;
    wchar_t system[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 1;
    const std::wstring cmd = std::wstring(system) + L"\\cmd.exe";
    // The system folder as working folder, so that nothing holds the tool's folder open.
    ::ShellExecuteW(nullptr, L"open", cmd.c_str(), parameters.c_str(), system, SW_HIDE);
    return 1;
}
