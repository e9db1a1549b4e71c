#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <vector>

#include "app/ToolFolder.h"
#include "tests/support/TempFolder.h"
#include "tools/guidriver/GuiDriver.h"

namespace gd = guidriver;
using support::PathExists;
using support::TempFolder;
using support::WriteBytes;

namespace {

ToolFolderFacts Delivered(const std::wstring& folder) {
    ToolFolderFacts f;
    f.folder = folder;
    f.exeName = L"FastMendLUMAFWU.exe";
    f.entries = {{L"FastMendLUMAFWU.exe", false}, {L"LUMAFWU", true}, {L"CorvelFeedbackInformation.dll", false}};
    f.knownFolders = {L"C:\\users\\ann\\Desktop", L"C:\\users\\ann\\Downloads", L"C:\\users\\ann",
                      L"C:\\Program Files", L"C:\\windows", L"C:\\ProgramData"};
    return f;
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
    noFirmware.entries = {{L"FastMendLUMAFWU.exe", false}};
    EXPECT_EQ(CheckToolFolder(noFirmware), CleanupVerdict::NoFirmwareFolder);

    auto firmwareIsAFile = Delivered(L"C:\\tools\\fix");
    firmwareIsAFile.entries = {{L"FastMendLUMAFWU.exe", false}, {L"LUMAFWU", false}};
    EXPECT_EQ(CheckToolFolder(firmwareIsAFile), CleanupVerdict::ForeignContent);

    auto linked = Delivered(L"C:\\tools\\fix");
    linked.isReparsePoint = true;
    EXPECT_EQ(CheckToolFolder(linked), CleanupVerdict::ReparsePoint);
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
        {L"C:\\tools\\..\\fix", CleanupVerdict::NotAFolder},
        {L"C:\\users\\ann\\Downloadsfix", CleanupVerdict::Remove},  // a sibling, not below
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CheckToolFolder(Delivered(c.folder)), c.expected) << std::string(c.folder, c.folder + wcslen(c.folder));
    }
}

// The characters cmd.exe takes literally inside the command's quotes.
const wchar_t kQuotedLiterally[] = L" ()&^;,=";

TEST(ToolFolder, RefusesPathsThatCmdWouldInterpret) {
    for (const wchar_t* f : {L"C:\\a%OS%b", L"C:\\a%b", L"C:\\a!b", L"C:\\a!OS!b", L"C:\\a|b", L"C:\\a<b",
                             L"C:\\a>b", L"C:\\a\"b", L"C:\\a\nb"}) {
        EXPECT_EQ(CheckToolFolder(Delivered(f)), CleanupVerdict::UnsafeCharacters);
    }
    EXPECT_EQ(CheckToolFolder(Delivered(L"C:\\a b\\c d")), CleanupVerdict::Remove);
    EXPECT_EQ(CheckToolFolder(Delivered(L"C:\\Downloads\\FastMend (1)")), CleanupVerdict::Remove);
    EXPECT_EQ(CheckToolFolder(Delivered(L"D:\\R&D ^x; y,z=w (2)")), CleanupVerdict::Remove);
    for (const wchar_t* c = kQuotedLiterally; *c; ++c) {
        EXPECT_EQ(CheckToolFolder(Delivered(std::wstring(L"C:\\a") + *c + L"b")), CleanupVerdict::Remove) << int(*c);
    }
}

TEST(ToolFolder, CmdRemovesTheQuotedFolderWholeAndNothingBesideIt) {
    // "x<c>y" beside "x" and "y": a command cut at <c> or split there into two names
    // would leave the folder or remove a neighbour.
    TempFolder parent;
    for (const wchar_t* name : {L"x", L"y"}) {
        ::CreateDirectoryW((parent / name).c_str(), nullptr);
        WriteBytes(parent / name + L"\\keep.txt", "keep");
    }
    wchar_t system[MAX_PATH] = {};
    ASSERT_GT(::GetSystemDirectoryW(system, MAX_PATH), 0u);
    std::vector<std::unique_ptr<gd::Process>> runs;
    for (const wchar_t* c = kQuotedLiterally; *c; ++c) {
        const std::wstring folder = parent / (std::wstring(L"x") + *c + L"y");
        ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
        ::CreateDirectoryW((folder + L"\\LUMAFWU").c_str(), nullptr);
        WriteBytes(folder + L"\\LUMAFWU\\LUMAFWU.exe", "tool");
        runs.push_back(std::make_unique<gd::Process>());
        ASSERT_TRUE(runs.back()->Start(std::wstring(system) + L"\\cmd.exe", CleanupParameters(folder), system));
    }
    for (auto& run : runs) ASSERT_TRUE(run->Wait(60000));
    for (const wchar_t* c = kQuotedLiterally; *c; ++c) {
        EXPECT_FALSE(PathExists(parent / (std::wstring(L"x") + *c + L"y"))) << "left: x" << char(*c) << "y";
    }
    EXPECT_TRUE(PathExists(parent / L"x\\keep.txt"));
    EXPECT_TRUE(PathExists(parent / L"y\\keep.txt"));
}

TEST(ToolFolder, CommandQuotesTheFolderAndSkipsAutoRun) {
    EXPECT_EQ(CleanupParameters(L"C:\\tools\\a b"), L"/D /C timeout /t 3 /nobreak & rmdir /s /q \"C:\\tools\\a b\"");
}
