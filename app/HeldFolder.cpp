#include "app/HeldFolder.h"

#include <cstddef>
#include <utility>

namespace {

// What the system says the path of an open file or folder is, with the \\?\ of its
// answer removed (a network path keeps its \\?\UNC\ and so matches no drive path).
std::wstring FinalPathOf(HANDLE h) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetFinalPathNameByHandleW(h, &path[0], static_cast<DWORD>(path.size()),
                                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0) return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(n);
    }
    const wchar_t prefix[] = L"\\\\?\\";
    if (path.compare(0, 4, prefix) == 0 && path.compare(0, 8, L"\\\\?\\UNC\\") != 0) path.erase(0, 4);
    return path;
}

LONGLONG FileId(const BY_HANDLE_FILE_INFORMATION& info) {
    return static_cast<LONGLONG>((static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow);
}

// Marks an open item for deletion, which happens when its last handle closes. A
// read-only file is made writable first, as the system refuses to delete it otherwise.
bool MarkForDeletion(HANDLE h, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        FILE_BASIC_INFO basic{};
        basic.FileAttributes = (attributes & ~FILE_ATTRIBUTE_READONLY) ? (attributes & ~FILE_ATTRIBUTE_READONLY)
                                                                        : FILE_ATTRIBUTE_NORMAL;
        ::SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof(basic));
    }
    FILE_DISPOSITION_INFO disposition{TRUE};
    return ::SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof(disposition)) != FALSE;
}

constexpr DWORD kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
// Folders are held without FILE_SHARE_DELETE: nobody renames or removes one while the
// clean-up works inside it.
constexpr DWORD kFolderShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kOpenFlags = FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;

}  // namespace

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                  TRUE) == CSTR_EQUAL;
}

CHeldFolder::CHeldFolder(const std::wstring& path)
    : CHeldFolder(path, win::UniqueHandle(::CreateFileW(path.c_str(), kFolderAccess, kFolderShare, nullptr,
                                                        OPEN_EXISTING, kOpenFlags, nullptr))) {}

CHeldFolder::CHeldFolder(std::wstring path, win::UniqueHandle handle)
    : path_(std::move(path)), handle_(std::move(handle)) {
    if (handle_ && !::GetFileInformationByHandle(handle_.get(), &info_)) handle_.reset();
}

std::wstring CHeldFolder::FinalPath() const { return handle_ ? FinalPathOf(handle_.get()) : std::wstring(); }

bool CHeldFolder::IsAtPath() const {
    if (!handle_ || !SamePath(FinalPath(), path_)) return false;
    // What the path leads to now must be the held folder itself: Wine answers the final
    // path of a handle from the name it was opened by, wherever the folder went since.
    win::UniqueHandle now(::CreateFileW(path_.c_str(), FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        kOpenFlags, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    return now && ::GetFileInformationByHandle(now.get(), &info) &&
           info.dwVolumeSerialNumber == info_.dwVolumeSerialNumber && FileId(info) == FileId(info_);
}

bool CHeldFolder::IsPlainFolderAtPath() const {
    return handle_ && (info_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(info_.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsAtPath();
}

bool CHeldFolder::List(std::vector<HeldEntry>& entries) const {
    entries.clear();
    if (!handle_) return false;
    // FILE_ID_BOTH_DIR_INFO records are 8-byte aligned.
    std::vector<LONGLONG> block(64 * 1024 / sizeof(LONGLONG));
    const DWORD bytes = static_cast<DWORD>(block.size() * sizeof(LONGLONG));
    FILE_INFO_BY_HANDLE_CLASS request = FileIdBothDirectoryRestartInfo;
    while (::GetFileInformationByHandleEx(handle_.get(), request, block.data(), bytes)) {
        request = FileIdBothDirectoryInfo;
        const auto* base = reinterpret_cast<const BYTE*>(block.data());
        for (DWORD offset = 0;;) {
            const auto* record = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(base + offset);
            const std::wstring name(record->FileName, record->FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L"..") {
                entries.push_back({name, record->FileAttributes, record->FileId.QuadPart});
            }
            if (record->NextEntryOffset == 0) break;
            offset += record->NextEntryOffset;
        }
    }
    // A listing cut short by anything but its end could hide what the folder holds.
    return ::GetLastError() == ERROR_NO_MORE_FILES;
}

win::UniqueHandle CHeldFolder::Open(const HeldEntry& entry, DWORD access, BY_HANDLE_FILE_INFORMATION& info) const {
    const std::wstring path = path_ + L"\\" + entry.name;
    const DWORD share = entry.IsDirectory() ? kFolderShare : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    win::UniqueHandle item(
        ::CreateFileW(path.c_str(), access | FILE_READ_ATTRIBUTES | SYNCHRONIZE, share, nullptr, OPEN_EXISTING,
                      kOpenFlags, nullptr));
    if (!item || !::GetFileInformationByHandle(item.get(), &info)) return win::UniqueHandle();
    // The item listed here, and here still: the same object on the same volume, at
    // this folder's path, and this folder still where it was accepted.
    if (info.dwVolumeSerialNumber != info_.dwVolumeSerialNumber || FileId(info) != entry.fileId) {
        return win::UniqueHandle();
    }
    if (!SamePath(FinalPathOf(item.get()), path) || !IsAtPath()) return win::UniqueHandle();
    return item;
}

bool CHeldFolder::Delete(const HeldEntry& entry) const {
    const DWORD access = DELETE | FILE_WRITE_ATTRIBUTES | (entry.IsDirectory() ? kFolderAccess : 0);
    BY_HANDLE_FILE_INFORMATION info{};
    win::UniqueHandle item = Open(entry, access, info);
    if (!item) return false;
    const DWORD attributes = info.dwFileAttributes;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        const CHeldFolder inner(path_ + L"\\" + entry.name, std::move(item));
        std::vector<HeldEntry> entries;
        const bool listed = inner.List(entries);
        bool emptied = listed;
        for (const HeldEntry& e : entries) emptied = inner.Delete(e) && emptied;
        // Deleted when its handle closes, at the end of this scope.
        return emptied && MarkForDeletion(inner.handle_.get(), attributes);
    }
    return MarkForDeletion(item.get(), attributes);
}

bool CHeldFolder::Rename(const HeldEntry& entry, const std::wstring& newName) const {
    BY_HANDLE_FILE_INFORMATION info{};
    win::UniqueHandle item = Open(entry, DELETE, info);
    if (!item) return false;
    // The new name as a full path of the kernel's: a bare name is taken in the
    // entry's own folder by Windows but in the current folder by Wine.
    const std::wstring target = L"\\??\\" + path_ + L"\\" + newName;
    const size_t bytes = offsetof(FILE_RENAME_INFO, FileName) + target.size() * sizeof(wchar_t);
    std::vector<LONGLONG> block((bytes + sizeof(wchar_t) + sizeof(LONGLONG) - 1) / sizeof(LONGLONG));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(block.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    target.copy(rename->FileName, target.size());
    if (!::SetFileInformationByHandle(item.get(), FileRenameInfo, rename, static_cast<DWORD>(bytes))) return false;
    return SamePath(FinalPathOf(item.get()), path_ + L"\\" + newName);
}
