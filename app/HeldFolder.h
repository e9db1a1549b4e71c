#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "win/Handle.h"

// One entry of a folder as listed through the folder's handle.
struct HeldEntry {
    std::wstring name;
    DWORD attributes = 0;
    LONGLONG fileId = 0;

    bool IsDirectory() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    bool IsLink() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
};

// A folder opened without following a link and held open while the exit clean-up
// works in it; nobody can rename or delete it meanwhile. Whatever the clean-up does
// to an entry it does through a handle of that entry, opened without following a
// link and used only when it is the very item listed in this folder (same volume,
// same file id) and its final path is this folder's path and its name: a folder above
// swapped for a link, or an entry swapped after the listing, makes it leave the entry
// alone.
class CHeldFolder {
public:
    // Opens `path`, written as the clean-up accepted it (drive letter, no trailing
    // backslash).
    explicit CHeldFolder(const std::wstring& path);
    CHeldFolder(const CHeldFolder&) = delete;
    CHeldFolder& operator=(const CHeldFolder&) = delete;

    bool IsOpen() const { return static_cast<bool>(handle_); }
    // The held folder is what its path leads to now, and its final path is that path:
    // no folder on the way is a link or has been swapped.
    bool IsAtPath() const;
    // Open, a folder, not a link itself, and at its path.
    bool IsPlainFolderAtPath() const;
    // What the system says the held folder's path is now (\\?\ removed); empty on failure.
    std::wstring FinalPath() const;

    // The entries, without "." and "..". False when the listing could not be read to
    // its end.
    bool List(std::vector<HeldEntry>& entries) const;

    // Deletes the entry and, for a folder that is not a link, everything in it first.
    // A link is deleted as a link. True when the entry is gone.
    bool Delete(const HeldEntry& entry) const;
    // Renames the entry inside this folder. True when it then lies here as `newName`.
    bool Rename(const HeldEntry& entry, const std::wstring& newName) const;

private:
    CHeldFolder(std::wstring path, win::UniqueHandle handle);
    // The entry, opened with `access`, when it is the listed item and lies here; `info`
    // is what its handle says of it.
    win::UniqueHandle Open(const HeldEntry& entry, DWORD access, BY_HANDLE_FILE_INFORMATION& info) const;

    std::wstring path_;
    win::UniqueHandle handle_;
    BY_HANDLE_FILE_INFORMATION info_{};
};

// Paths compared as the file system does: ordinal, ignoring case.
bool SamePath(const std::wstring& a, const std::wstring& b);
