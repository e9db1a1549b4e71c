#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/HeldFolder.h"
#include "app/ToolFolder.h"
#include "tests/support/TempFolder.h"
#include "tools/guidriver/GuiDriver.h"

namespace gd = guidriver;
using support::PathExists;
using support::ReadBytes;
using support::TempFolder;
using support::WriteBytes;

namespace {

const wchar_t kExe[] = L"FastMendLUMAFWU.exe";
const wchar_t kLibrary[] = L"CorvelFeedbackInformation.dll";

ToolFolderFacts Delivered(const std::wstring& folder) {
    ToolFolderFacts f;
    f.folder = f.fullPath = f.longPath = folder;
    f.exeName = kExe;
    f.listed = true;
    f.entries = {{kExe, false}, {L"LUMAFWU", true}, {kLibrary, false}};
    f.knownFolders = {L"C:\\users\\ann\\Desktop", L"C:\\users\\ann\\Downloads", L"C:\\users\\ann",
                      L"C:\\Program Files", L"C:\\windows", L"C:\\ProgramData"};
    return f;
}

std::string Narrow(const std::wstring& s) { return gd::Utf8(s); }

// A folder as the tool is delivered, on disk: the executable, the firmware tool with
// a log and a folder of its own, the feedback library (a real one, so that it can be
// loaded) and its settings.
void MakeDelivered(const std::wstring& folder) {
    ::CreateDirectoryW(folder.c_str(), nullptr);
    WriteBytes(folder + L"\\" + kExe, "the tool");
    ::CreateDirectoryW((folder + L"\\LUMAFWU").c_str(), nullptr);
    WriteBytes(folder + L"\\LUMAFWU\\LUMAFWU.exe", "firmware tool");
    WriteBytes(folder + L"\\LUMAFWU\\LUMAFWUlog.txt", "Success");
    ::CreateDirectoryW((folder + L"\\LUMAFWU\\Drivers").c_str(), nullptr);
    WriteBytes(folder + L"\\LUMAFWU\\Drivers\\flash.bin", "image");
    ::CopyFileW((gd::EnvPath(L"ORV_DIST") + L"\\" + kLibrary).c_str(), (folder + L"\\" + kLibrary).c_str(), FALSE);
    WriteBytes(folder + L"\\CorvelFeedbackInformation.ini", "open=0\n");
}

// The library of a delivered folder, loaded as the tool loads it, until the end of scope.
class LoadedLibrary {
public:
    explicit LoadedLibrary(const std::wstring& folder)
        : module_(::LoadLibraryExW((folder + L"\\" + kLibrary).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)) {}
    ~LoadedLibrary() { Free(); }
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;
    bool Loaded() const { return module_ != nullptr; }
    void Free() {
        if (module_) ::FreeLibrary(module_);
        module_ = nullptr;
    }

private:
    HMODULE module_;
};

std::wstring SystemFolder() {
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    return system;
}

// Starts the delayed command as the tool does (hidden cmd.exe in the system folder).
std::unique_ptr<gd::Process> StartDelayed(const std::wstring& parameters) {
    auto process = std::make_unique<gd::Process>();
    if (!process->Start(SystemFolder() + L"\\cmd.exe", parameters, SystemFolder())) process.reset();
    return process;
}

std::vector<std::wstring> Names(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (wcscmp(fd.cFileName, L".") && wcscmp(fd.cFileName, L"..")) names.push_back(fd.cFileName);
    } while (::FindNextFileW(find, &fd));
    ::FindClose(find);
    return names;
}

}  // namespace

TEST(ToolFolder, RemovesOnlyAFolderThatHoldsJustTheTool) {
    EXPECT_EQ(CheckToolFolder(Delivered(L"C:\\users\\ann\\Downloads\\Orvane fix")), CleanupVerdict::Remove);
    EXPECT_EQ(CheckToolFolder(Delivered(L"D:\\工具\\灯效修复")), CleanupVerdict::Remove);

    auto journal = Delivered(L"C:\\tools\\fix");
    journal.entries.push_back({L"CorvelFeedbackInformation.journal", false});
    EXPECT_EQ(CheckToolFolder(journal), CleanupVerdict::Remove);

    auto userFile = Delivered(L"C:\\tools\\fix");
    userFile.entries.push_back({L"thesis.docx", false});
    EXPECT_EQ(CheckToolFolder(userFile), CleanupVerdict::ForeignContent);

    auto userDir = Delivered(L"C:\\tools\\fix");
    userDir.entries.push_back({L"Photos", true});
    EXPECT_EQ(CheckToolFolder(userDir), CleanupVerdict::ForeignContent);

    auto noFirmware = Delivered(L"C:\\tools\\fix");
    noFirmware.entries = {{kExe, false}};
    EXPECT_EQ(CheckToolFolder(noFirmware), CleanupVerdict::NoFirmwareFolder);

    auto firmwareIsAFile = Delivered(L"C:\\tools\\fix");
    firmwareIsAFile.entries = {{kExe, false}, {L"LUMAFWU", false}};
    EXPECT_EQ(CheckToolFolder(firmwareIsAFile), CleanupVerdict::ForeignContent);

    auto linked = Delivered(L"C:\\tools\\fix");
    linked.isReparsePoint = true;
    EXPECT_EQ(CheckToolFolder(linked), CleanupVerdict::ReparsePoint);

    auto unread = Delivered(L"C:\\tools\\fix");
    unread.listed = false;
    EXPECT_EQ(CheckToolFolder(unread), CleanupVerdict::NotAFolder);
}

TEST(ToolFolder, TheDeliveredListIsTheOneTheCleanUpActsOn) {
    EXPECT_TRUE(IsDeliveredEntry({L"fastmendlumafwu.EXE", false}, kExe));
    EXPECT_TRUE(IsDeliveredEntry({L"LUMAFWU", true}, kExe));
    EXPECT_TRUE(IsDeliveredEntry({L"CorvelFeedbackInformation.journal", false}, kExe));
    EXPECT_FALSE(IsDeliveredEntry({L"LUMAFWU", false}, kExe));
    EXPECT_FALSE(IsDeliveredEntry({kExe, true}, kExe));
    EXPECT_FALSE(IsDeliveredEntry({L"CorvelFeedbackInformation", false}, kExe));
    EXPECT_FALSE(IsDeliveredEntry({L"notes.txt", false}, kExe));
    EXPECT_FALSE(IsDeliveredEntry({RetiredName(kExe, L"1f-2e"), false}, kExe));
}

TEST(ToolFolder, NeverActsOnUserOrSystemFoldersOrRoots) {
    struct Case { const wchar_t* folder; CleanupVerdict expected; };
    const Case cases[] = {
        {L"C:\\users\\ann\\Downloads", CleanupVerdict::KnownFolder},
        {L"C:\\Users\\Ann\\downloads", CleanupVerdict::KnownFolder},
        {L"C:\\users\\ann\\Desktop", CleanupVerdict::KnownFolder},
        {L"C:\\users\\ann", CleanupVerdict::KnownFolder},
        {L"C:\\users", CleanupVerdict::KnownFolder},  // holds the profile
        {L"C:\\Program Files", CleanupVerdict::KnownFolder},
        {L"C:\\windows", CleanupVerdict::KnownFolder},
        {L"C:\\ProgramData", CleanupVerdict::KnownFolder},
        {L"C:\\", CleanupVerdict::NotAFolder},
        {L"C:", CleanupVerdict::NotAFolder},
        {L"", CleanupVerdict::NotAFolder},
        {L"tools\\fix", CleanupVerdict::NotAFolder},
        {L"\\\\server\\share\\fix", CleanupVerdict::NotAFolder},
        {L"\\\\?\\C:\\tools\\fix", CleanupVerdict::NotAFolder},
        {L"C:\\tools\\..\\fix", CleanupVerdict::NotAFolder},
        {L"C:\\users\\ann\\Downloadsfix", CleanupVerdict::Remove},  // a sibling, not below
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CheckToolFolder(Delivered(c.folder)), c.expected) << Narrow(c.folder);
    }
}

// Only a path that Windows gives back unchanged is acted on.
TEST(ToolFolder, RefusesPathsThatWindowsWouldReadOtherwise) {
    struct Case { const wchar_t* folder; const wchar_t* full; const wchar_t* longForm; CleanupVerdict expected; };
    const Case cases[] = {
        {L"C:\\tools\\fix ", L"C:\\tools\\fix", L"C:\\tools\\fix ", CleanupVerdict::NotCanonical},
        {L"C:\\tools\\fix.", L"C:\\tools\\fix", L"C:\\tools\\fix.", CleanupVerdict::NotCanonical},
        {L"C:\\PROGRA~1\\fix", L"C:\\PROGRA~1\\fix", L"C:\\Program Files\\fix", CleanupVerdict::NotCanonical},
        {L"C:\\users\\ann\\DOWNLO~1", L"C:\\users\\ann\\DOWNLO~1", L"C:\\users\\ann\\Downloads",
         CleanupVerdict::NotCanonical},
        {L"C:\\tools\\fix", L"C:\\tools\\fix", L"", CleanupVerdict::NotCanonical},  // not there
        {L"c:\\TOOLS\\fix", L"c:\\TOOLS\\fix", L"C:\\tools\\fix", CleanupVerdict::Remove},
    };
    for (const Case& c : cases) {
        auto facts = Delivered(c.folder);
        facts.fullPath = c.full;
        facts.longPath = c.longForm;
        EXPECT_EQ(CheckToolFolder(facts), c.expected) << Narrow(c.folder);
    }
}

// The characters cmd.exe takes literally inside the command's quotes.
const wchar_t kQuotedLiterally[] = L" ()&^;,=";

TEST(ToolFolder, RefusesPathsThatCmdWouldInterpret) {
    for (const wchar_t* f : {L"C:\\a%OS%b", L"C:\\a%b", L"C:\\a!b", L"C:\\a!OS!b", L"C:\\a|b", L"C:\\a<b",
                             L"C:\\a>b", L"C:\\a\"b", L"C:\\a\nb", L"C:\\a*b", L"C:\\a?b"}) {
        EXPECT_EQ(CheckToolFolder(Delivered(f)), CleanupVerdict::UnsafeCharacters) << Narrow(f);
    }
    EXPECT_EQ(CheckToolFolder(Delivered(L"C:\\a b\\c d")), CleanupVerdict::Remove);
    EXPECT_EQ(CheckToolFolder(Delivered(L"C:\\Downloads\\FastMend (1)")), CleanupVerdict::Remove);
    EXPECT_EQ(CheckToolFolder(Delivered(L"D:\\R&D ^x; y,z=w (2)")), CleanupVerdict::Remove);
    for (const wchar_t* c = kQuotedLiterally; *c; ++c) {
        EXPECT_EQ(CheckToolFolder(Delivered(std::wstring(L"C:\\a") + *c + L"b")), CleanupVerdict::Remove) << int(*c);
    }
}

TEST(ToolFolder, TheDelayedCommandDeletesTheRetiredFilesAndRemovesOnlyAnEmptyFolder) {
    EXPECT_EQ(RetiredName(kExe, L"1f-2e"), L"FastMendLUMAFWU.exe.1f-2e.old");
    EXPECT_EQ(CleanupParameters(L"C:\\tools\\a b", {L"x.exe.1f-2e.old", L"y.dll.1f-2e.old"}),
              L"/D /C timeout /t 3 /nobreak & del /f /q \"C:\\tools\\a b\\x.exe.1f-2e.old*\" & del /f /q "
              L"\"C:\\tools\\a b\\y.dll.1f-2e.old*\" & rmdir \"C:\\tools\\a b\"");
}

// The whole clean-up on disk: a note saved after the check, and a fresh copy of the
// library unpacked while the old one waited for the delayed command, both stay.
TEST(ToolFolder, DeletesWhatWasDeliveredAndLeavesWhatCameLater) {
    TempFolder parent;
    const std::wstring folder = parent / L"Orvane 灯效修复";
    MakeDelivered(folder);
    LoadedLibrary library(folder);
    ASSERT_TRUE(library.Loaded());

    CToolFolderCleanup cleanup(folder, kExe, KnownFolders());
    ASSERT_EQ(cleanup.Check(), CleanupVerdict::Remove);
    WriteBytes(folder + L"\\note.txt", "saved at the last moment");
    std::wstring parameters;
    ASSERT_TRUE(cleanup.Clear(L"7-8", parameters));

    // The loaded library waits under its retired name; everything else is gone already.
    const std::wstring retired = RetiredName(kLibrary, L"7-8");
    EXPECT_EQ(parameters, CleanupParameters(folder, {retired}));
    EXPECT_TRUE(PathExists(folder + L"\\" + retired));
    EXPECT_FALSE(PathExists(folder + L"\\" + kLibrary));
    EXPECT_FALSE(PathExists(folder + L"\\" + kExe)) << "a file not loaded is deleted at once";
    EXPECT_FALSE(PathExists(folder + L"\\LUMAFWU"));
    EXPECT_FALSE(PathExists(folder + L"\\CorvelFeedbackInformation.ini"));
    EXPECT_EQ(ReadBytes(folder + L"\\note.txt"), "saved at the last moment");

    library.Free();
    WriteBytes(folder + L"\\" + kLibrary, "unpacked again");
    auto command = StartDelayed(parameters);
    ASSERT_NE(command, nullptr);
    ASSERT_TRUE(command->Wait(60000));
    EXPECT_FALSE(PathExists(folder + L"\\" + retired));
    EXPECT_EQ(ReadBytes(folder + L"\\" + kLibrary), "unpacked again");
    EXPECT_EQ(ReadBytes(folder + L"\\note.txt"), "saved at the last moment");
    EXPECT_EQ(Names(folder).size(), 2u);
}

// Folder names the clean-up has always removed, each beside "x" and "y": a command cut
// at one of the characters, or split there into two names, would leave the folder or
// reach a neighbour.
TEST(ToolFolder, EveryFolderNameRemovedBeforeIsRemovedStill) {
    TempFolder parent;
    for (const wchar_t* name : {L"x", L"y"}) {
        ::CreateDirectoryW((parent / name).c_str(), nullptr);
        WriteBytes(parent / name + L"\\keep.txt", "keep");
    }
    std::vector<std::wstring> names = {L"FastMend (1)", L"Tools & Fixes", L"灯效 修复工具", L"R&D ^x; y,z=w (2)"};
    for (const wchar_t* c = kQuotedLiterally; *c; ++c) names.push_back(std::wstring(L"x") + *c + L"y");

    std::vector<std::unique_ptr<LoadedLibrary>> libraries;
    std::vector<std::wstring> commands;
    for (const std::wstring& name : names) {
        SCOPED_TRACE(Narrow(name));
        const std::wstring folder = parent / name;
        MakeDelivered(folder);
        libraries.push_back(std::make_unique<LoadedLibrary>(folder));
        ASSERT_TRUE(libraries.back()->Loaded());
        CToolFolderCleanup cleanup(folder, kExe, KnownFolders());
        ASSERT_EQ(cleanup.Check(), CleanupVerdict::Remove);
        std::wstring parameters;
        ASSERT_TRUE(cleanup.Clear(L"3-4", parameters));
        commands.push_back(parameters);
    }
    libraries.clear();
    std::vector<std::unique_ptr<gd::Process>> runs;
    for (const std::wstring& parameters : commands) {
        runs.push_back(StartDelayed(parameters));
        ASSERT_NE(runs.back(), nullptr);
    }
    for (auto& run : runs) ASSERT_TRUE(run->Wait(60000));
    for (const std::wstring& name : names) EXPECT_FALSE(PathExists(parent / name)) << "left: " << Narrow(name);
    EXPECT_EQ(ReadBytes(parent / L"x\\keep.txt"), "keep");
    EXPECT_EQ(ReadBytes(parent / L"y\\keep.txt"), "keep");
}

// "Orvane " and "Orvane." are read by every path-based call as their neighbour
// "Orvane"; a short name hides what the folder is.
TEST(ToolFolder, APathEndingInABlankOrADotOrWrittenShortIsRefused) {
    TempFolder parent;
    const std::wstring neighbour = parent / L"Orvane";
    ::CreateDirectoryW(neighbour.c_str(), nullptr);
    WriteBytes(neighbour + L"\\thesis.docx", "the user's");
    for (const wchar_t* name : {L"Orvane ", L"Orvane."}) {
        SCOPED_TRACE(Narrow(name));
        const std::wstring folder = parent / name;
        MakeDelivered(L"\\\\?\\" + folder);
        ASSERT_TRUE(PathExists(L"\\\\?\\" + folder + L"\\LUMAFWU\\LUMAFWU.exe"));
        CToolFolderCleanup cleanup(folder, kExe, KnownFolders());
        EXPECT_EQ(cleanup.Check(), CleanupVerdict::NotCanonical);
        support::RemoveTree(L"\\\\?\\" + folder);
    }
    EXPECT_EQ(ReadBytes(neighbour + L"\\thesis.docx"), "the user's");

    const std::wstring longFolder = parent / L"Orvane lighting repair";
    MakeDelivered(longFolder);
    wchar_t shortForm[MAX_PATH] = {};
    ASSERT_GT(::GetShortPathNameW(longFolder.c_str(), shortForm, MAX_PATH), 0u);
    ASSERT_NE(std::wstring(shortForm), longFolder);
    EXPECT_EQ(CToolFolderCleanup(shortForm, kExe, KnownFolders()).Check(), CleanupVerdict::NotCanonical)
        << Narrow(shortForm);
    EXPECT_EQ(CToolFolderCleanup(longFolder, kExe, KnownFolders()).Check(), CleanupVerdict::Remove);
}

// An item swapped after the listing is not the item listed: nothing is done to it.
TEST(HeldFolder, ActsOnlyOnTheItemItListed) {
    TempFolder parent;
    const std::wstring folder = parent / L"tool";
    MakeDelivered(folder);
    CHeldFolder held(folder);
    ASSERT_TRUE(held.IsPlainFolderAtPath());
    std::vector<HeldEntry> entries;
    ASSERT_TRUE(held.List(entries));
    EXPECT_EQ(entries.size(), 4u);

    // Written first and moved over the listed one, so that it cannot take the old file's id.
    const std::wstring ini = folder + L"\\CorvelFeedbackInformation.ini";
    WriteBytes(parent / L"other.ini", "put in its place");
    ASSERT_TRUE(::MoveFileExW((parent / L"other.ini").c_str(), ini.c_str(), MOVEFILE_REPLACE_EXISTING));
    for (const HeldEntry& e : entries) {
        if (e.name == L"CorvelFeedbackInformation.ini") {
            EXPECT_FALSE(held.Delete(e));
            EXPECT_FALSE(held.Rename(e, L"renamed.ini"));
        }
    }
    EXPECT_EQ(ReadBytes(ini), "put in its place");

    for (const HeldEntry& e : entries) {
        if (e.name == L"LUMAFWU") {
            EXPECT_TRUE(held.Delete(e));
        }
    }
    EXPECT_FALSE(PathExists(folder + L"\\LUMAFWU"));
}

namespace {

// tests\app_links, made before the test: "decoy" and "link", a link to it. Under Wine a
// link is a link of the host's file system, which Windows programs see as a reparse
// point that the system follows.
std::wstring LinksFolder() { return gd::EnvPath(L"ORV_APP_LINKS"); }

}  // namespace

TEST(ToolFolderLinks, AFolderUnderALinkOrBeingOneIsRefused) {
    const std::wstring links = LinksFolder();
    ASSERT_FALSE(links.empty());
    const std::wstring plain = links + L"\\plain tool";
    MakeDelivered(plain);
    EXPECT_EQ(CToolFolderCleanup(plain, kExe, {}).Check(), CleanupVerdict::Remove) << "the control";

    const std::wstring under = links + L"\\link\\tool";
    MakeDelivered(under);
    ASSERT_TRUE(PathExists(links + L"\\decoy\\tool\\LUMAFWU\\LUMAFWU.exe"));
    CToolFolderCleanup cleanup(under, kExe, {});
    EXPECT_EQ(cleanup.Check(), CleanupVerdict::ReparsePoint);

    const std::wstring linkItself = links + L"\\link";
    WriteBytes(links + L"\\decoy\\" + kExe, "the tool");
    ::CreateDirectoryW((links + L"\\decoy\\LUMAFWU").c_str(), nullptr);
    support::RemoveTree(links + L"\\decoy\\tool");
    EXPECT_EQ(CToolFolderCleanup(linkItself, kExe, {}).Check(), CleanupVerdict::ReparsePoint);
}

// A folder above the tool's swapped between the check and the deletion: renamed away,
// and another folder, holding a folder of the tool's name, moved into its place. (Wine
// cannot make a junction, and a Windows program under Wine that renames a link of the
// host's renames what it leads to, so the swap is made with a folder; for every call
// by path the effect is the same.) The clean-up deletes nothing, neither where the
// path leads now nor in the held folder.
TEST(ToolFolderLinks, ASwappedParentDeletesNothingOutsideTheToolsFolder) {
    const std::wstring links = LinksFolder();
    ASSERT_FALSE(links.empty());
    const std::wstring parent = links + L"\\downloads";
    ::CreateDirectoryW(parent.c_str(), nullptr);
    const std::wstring folder = parent + L"\\Orvane";
    MakeDelivered(folder);
    const std::wstring elsewhere = links + L"\\elsewhere";
    ::CreateDirectoryW(elsewhere.c_str(), nullptr);
    MakeDelivered(elsewhere + L"\\Orvane");
    WriteBytes(elsewhere + L"\\Orvane\\LUMAFWU\\precious.txt", "not the tool's");

    CToolFolderCleanup cleanup(folder, kExe, {});
    ASSERT_EQ(cleanup.Check(), CleanupVerdict::Remove);
    ASSERT_TRUE(::MoveFileW(parent.c_str(), (links + L"\\downloads.moved").c_str()));
    ASSERT_TRUE(::MoveFileW(elsewhere.c_str(), parent.c_str()));
    const std::wstring victim = folder;  // the path now leads there
    ASSERT_EQ(ReadBytes(victim + L"\\LUMAFWU\\precious.txt"), "not the tool's") << "the swap did not take";

    std::wstring parameters;
    EXPECT_FALSE(cleanup.Clear(L"5-6", parameters));
    EXPECT_EQ(ReadBytes(victim + L"\\LUMAFWU\\precious.txt"), "not the tool's");
    EXPECT_EQ(ReadBytes(victim + L"\\LUMAFWU\\LUMAFWU.exe"), "firmware tool");
    EXPECT_EQ(ReadBytes(victim + L"\\" + kExe), "the tool");
    EXPECT_EQ(ReadBytes(victim + L"\\CorvelFeedbackInformation.ini"), "open=0\n");
    EXPECT_EQ(ReadBytes(links + L"\\downloads.moved\\Orvane\\LUMAFWU\\LUMAFWU.exe"), "firmware tool");

    // The control: what removing by the path would have done.
    auto removal = StartDelayed(L"/D /C rmdir /s /q \"" + folder + L"\"");
    ASSERT_NE(removal, nullptr);
    ASSERT_TRUE(removal->Wait(30000));
    EXPECT_FALSE(PathExists(victim + L"\\LUMAFWU\\precious.txt")) << "the swap would have been harmless anyway";
}
