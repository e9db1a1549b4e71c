#pragma once
#include <string>
#include <vector>

// The exit clean-up removes the folder that holds the tool, a few seconds after the
// tool has ended. It runs elevated, so it acts only on a folder that is plainly the
// tool's own: these are the facts it looks at, and the pure decision on them.

struct FolderEntry {
    std::wstring name;
    bool isDirectory = false;
};

struct ToolFolderFacts {
    std::wstring folder;                   // the executable's folder, no trailing backslash
    std::wstring exeName;                  // file name of the running executable
    std::vector<FolderEntry> entries;      // what the folder holds at its top level
    bool isReparsePoint = false;           // the folder or a folder above it is a link
    std::vector<std::wstring> knownFolders;  // Desktop, Downloads, profile, Windows, ...
};

enum class CleanupVerdict {
    Remove,
    NotAFolder,         // empty, relative or a drive root
    UnsafeCharacters,   // cmd.exe would expand or interpret part of the path
    KnownFolder,        // a user or system folder
    ReparsePoint,
    NoFirmwareFolder,   // no LUMAFWU folder beside the executable
    ForeignContent,     // holds something the tool is not delivered with
};

CleanupVerdict CheckToolFolder(const ToolFolderFacts& facts);

// The parameters of the hidden cmd.exe: wait 3 seconds (the tool has ended by
// then), then remove the folder, quoted, without the user's AutoRun commands.
std::wstring CleanupParameters(const std::wstring& folder);

// Gathers the facts for the running executable's folder from the disk and the shell.
ToolFolderFacts GatherToolFolderFacts();

// The exit clean-up: starts the hidden command when the folder passes the check.
// Returns 1 always.
int RemoveToolFolder();
