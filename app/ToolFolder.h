#pragma once
#include <memory>
#include <string>
#include <vector>

class CHeldFolder;

// The exit clean-up removes the folder that holds the tool. It runs elevated, so it
// acts only on a folder that is plainly the tool's own, and even there it deletes
// only what the tool was delivered with, each item through a handle of its own: a
// file saved into the folder at the last moment, or a fresh copy of the tool
// unpacked there, stays, and so does the folder. These are the facts it looks at and
// the pure decisions on them.

struct FolderEntry {
    std::wstring name;
    bool isDirectory = false;
};

// The one list of what the tool is delivered with: its executable, the firmware
// tool's folder LUMAFWU with everything in it, and the feedback library with the
// files it keeps beside itself (CorvelFeedbackInformation.*).
bool IsDeliveredEntry(const FolderEntry& entry, const std::wstring& exeName);

struct ToolFolderFacts {
    std::wstring folder;                   // the executable's folder, no trailing backslash
    std::wstring fullPath;                 // what GetFullPathNameW makes of it
    std::wstring longPath;                 // what GetLongPathNameW makes of it
    std::wstring exeName;                  // file name of the running executable
    bool listed = false;                   // the held folder was read to its end
    std::vector<FolderEntry> entries;      // what the folder holds at its top level
    bool isReparsePoint = false;           // the folder, one above it or an entry is a link
    std::vector<std::wstring> knownFolders;  // Desktop, Downloads, profile, Windows, ...
};

enum class CleanupVerdict {
    Remove,
    NotAFolder,         // empty, relative, a drive root, or a folder that cannot be read
    NotCanonical,       // read otherwise by Windows: a trailing blank or dot, a short name
    UnsafeCharacters,   // cmd.exe would expand or interpret part of the path
    KnownFolder,        // a user or system folder
    ReparsePoint,
    NoFirmwareFolder,   // no LUMAFWU folder beside the executable
    ForeignContent,     // holds something the tool is not delivered with
};

CleanupVerdict CheckToolFolder(const ToolFolderFacts& facts);

// The name a file that the process has loaded (the executable, the feedback library)
// takes at exit, until the delayed command deletes it once the process has ended.
std::wstring RetiredName(const std::wstring& name, const std::wstring& runMark);

// The parameters of the hidden cmd.exe: wait 3 seconds (the tool has ended by then),
// delete the retired files, then remove the folder if that left it empty. Each file
// is named by its name and "*", a pattern that del matches against files only, so a
// folder or a link put in its place is never entered. Nothing is removed recursively.
std::wstring CleanupParameters(const std::wstring& folder, const std::vector<std::wstring>& retiredNames);

// The known folders of this user and of the machine, each also in its long form.
std::vector<std::wstring> KnownFolders();

// The clean-up's work inside the process, on one folder.
class CToolFolderCleanup {
public:
    CToolFolderCleanup(std::wstring folder, std::wstring exeName, std::vector<std::wstring> knownFolders);
    ~CToolFolderCleanup();
    CToolFolderCleanup(const CToolFolderCleanup&) = delete;
    CToolFolderCleanup& operator=(const CToolFolderCleanup&) = delete;

    // Opens and holds the folder, gathers the facts and decides.
    CleanupVerdict Check();
    const ToolFolderFacts& Facts() const { return facts_; }

    // After Check() said Remove: gives the files this process has loaded from the
    // folder their retired names and deletes everything else that was delivered, then
    // sets the delayed command's parameters. False, with nothing deleted, when the
    // folder no longer lies at its path or a loaded file could not be renamed.
    bool Clear(const std::wstring& runMark, std::wstring& parameters);

private:
    ToolFolderFacts facts_;
    std::unique_ptr<CHeldFolder> held_;
};

// The exit clean-up of the running executable's folder: when it passes the check,
// clears it and starts the hidden command. Returns 1 always.
int RemoveToolFolder();
