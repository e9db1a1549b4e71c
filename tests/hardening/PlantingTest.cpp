#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/e2e/ToolRun.h"
#include "tests/hardening/HardeningSupport.h"
#include "tests/support/PeImage.h"
#include "tools/guidriver/GuiDriver.h"

using namespace hardening;
namespace gd = guidriver;

namespace {

// The libraries planted beside the tool: the ones it or the system's libraries load on
// its behalf and that are not KnownDLLs. Wine loads them from beside the program only
// when they are listed in WINEDLLOVERRIDES as "n,b" (scripts/wine-run.sh passes
// ORV_DLLOVERRIDES on), so the list comes from there.
std::wstring Env(const wchar_t* variable)
{
    wchar_t value[4096] = {};
    const DWORD n = ::GetEnvironmentVariableW(variable, value, 4096);
    return n < 4096 ? value : L"";
}

// "a,b,c" as library file names.
std::vector<std::wstring> SplitNames(const std::wstring& list)
{
    std::vector<std::wstring> names;
    size_t at = 0;
    while (at < list.size()) {
        size_t comma = list.find(L',', at);
        if (comma == std::wstring::npos)
            comma = list.size();
        if (comma > at)
            names.push_back(list.substr(at, comma - at) + L".dll");
        at = comma + 1;
    }
    return names;
}

std::vector<std::wstring> PlantedNames()
{
    const std::wstring overrides = Env(L"ORV_DLLOVERRIDES");
    size_t at = 0;
    while (at < overrides.size()) {
        size_t end = overrides.find(L';', at);
        if (end == std::wstring::npos)
            end = overrides.size();
        const std::wstring entry = overrides.substr(at, end - at);
        const size_t eq = entry.find(L'=');
        if (eq != std::wstring::npos && entry.compare(eq, std::wstring::npos, L"=n,b") == 0)
            return SplitNames(entry.substr(0, eq));
        at = end + 1;
    }
    return {};
}

bool IsOlder(const std::wstring& path, const std::wstring& than)
{
    WIN32_FILE_ATTRIBUTE_DATA a = {}, b = {};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &a) ||
        !::GetFileAttributesExW(than.c_str(), GetFileExInfoStandard, &b))
        return true;
    return ::CompareFileTime(&a.ftLastWriteTime, &b.ftLastWriteTime) < 0;
}

// Wine's own plumbing, which has no counterpart on Windows: the drivers, and the
// libraries only Wine's built-in C runtime and graphics use.
bool IsWineInternal(const std::wstring& name)
{
    return name == L"win32u.dll" || name == L"ucrtbase.dll" || name == L"zlib1.dll" || name.compare(0, 4, L"wine") == 0;
}

std::wstring MarkerDll()
{
    return TestBinFolder() + L"\\orv_marker.dll";
}

void Plant(const std::wstring& folder, const std::vector<std::wstring>& names)
{
    for (const std::wstring& n : names)
        ASSERT_TRUE(::CopyFileW(MarkerDll().c_str(), (folder + L"\\" + n).c_str(), FALSE)) << Utf8(n);
}

std::string Joined(const std::vector<std::wstring>& names)
{
    std::string out;
    for (const std::wstring& n : names)
        out += (out.empty() ? "" : ", ") + Utf8(n);
    return out;
}

// Runs a helper program to its end with the markers' environment.
DWORD RunToEnd(const std::wstring& exe, const std::wstring& args, const std::wstring& folder)
{
    gd::Process p;
    if (!p.Start(exe, args, folder))
        return static_cast<DWORD>(-1);
    if (!p.Wait(30000)) {
        p.Kill();
        return static_cast<DWORD>(-2);
    }
    return p.ExitCode();
}

struct ScenarioResult {
    bool panel = false;
    bool viewer = false;
    bool outcome = false;
    bool ended = false;
    std::set<std::wstring> modules;
};

// The tool started from its folder (as Explorer starts it), the agreement viewer
// opened and closed (it loads the rich edit library), one repair, then closed with its
// feedback question answered (in the Chinese interface). Records which modules it had
// loaded.
ScenarioResult RunTool(e2e::ToolRun& run)
{
    ScenarioResult r;
    if (!run.Start())
        return r;
    const auto collect = [&] {
        for (const std::wstring& m : LoadedModules(run.Handle()))
            r.modules.insert(m);
    };
    r.panel = run.WaitForPanel() != nullptr;
    HWND repair = run.PanelControl(IDC_REPAIR);
    HWND link = run.PanelControl(IDC_AGREEMENT_LINK);
    if (r.panel && gd::ClickWhenHittable(link, e2e::kSettleTimeoutMs)) {
        HWND viewer = run.WaitForDialogWith(IDC_AGREEMENT_EDIT);
        r.viewer = viewer != nullptr;
        if (r.viewer) {
            collect();
            gd::ClickControl(link);
            gd::WaitFor([&] { return !::IsWindowVisible(viewer); }, e2e::kWindowTimeoutMs);
        }
    }
    if (r.panel && gd::WaitUntilHittable(repair, e2e::kSettleTimeoutMs)) {
        collect();
        gd::ClickControl(repair);
        if (HWND outcome = run.WaitForPrompt(30000)) {
            r.outcome = true;
            collect();
            run.ConfirmPrompt(outcome);
        }
        HWND close = run.PanelControl(IDC_CLOSE);
        if (gd::ClickWhenHittable(close, e2e::kSettleTimeoutMs)) {
            HWND feedback = run.WaitForDialogWith(IDC_SOLVED, e2e::kWindowTimeoutMs);
            if (feedback) {
                collect();
                gd::ClickWhenHittable(::GetDlgItem(feedback, IDC_SOLVED), e2e::kSettleTimeoutMs);
            }
        }
    }
    r.ended = run.WaitForExit(30000);
    return r;
}

}  // namespace

TEST(Planting, ControlProgramsDoLoadAPlantedLibrary)
{
    const std::vector<std::wstring> planted = PlantedNames();
    ASSERT_NE(planted.end(), std::find(planted.begin(), planted.end(), L"version.dll"))
        << "run through scripts/wine-run.sh with ORV_DLLOVERRIDES naming version among others";
    Scratch folder(L"orv plant control ");
    Scratch markers(L"orv markers ");
    for (const wchar_t* exe : {L"planting_probe.exe", L"planting_static.exe"})
        ASSERT_TRUE(::CopyFileW((TestBinFolder() + L"\\" + exe).c_str(), (folder / exe).c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW((TestBinFolder() + L"\\feedback_winmm\\CorvelFeedbackInformation.dll").c_str(),
                            (folder / L"CorvelFeedbackInformation.dll").c_str(), FALSE));
    ScopedEnv markerDir(L"ORV_MARKER_DIR", markers.Path());

    // Each case plants only its own library: Wine's built-in system libraries pull
    // version.dll in through the program's folder when the search is not restricted.
    const std::wstring library = L"\"" + (folder / L"CorvelFeedbackInformation.dll") + L"\"";
    const struct {
        const char* name;
        const wchar_t* planted;
        std::wstring exe;
        std::wstring args;
        const char* markers;
    } cases[] = {
        {"bare name, search not restricted", L"version.dll", L"planting_probe.exe", L"plain version.dll",
         "version.dll.loaded"},
        {"bare name, search restricted", L"version.dll", L"planting_probe.exe", L"restricted version.dll", ""},
        {"dependency of a library loaded by full path, not restricted", L"winmm.dll", L"planting_probe.exe",
         L"plain " + library, "winmm.dll.loaded"},
        {"dependency of a library loaded by full path, restricted", L"winmm.dll", L"planting_probe.exe",
         L"restricted " + library, ""},
        {"static import, search restricted in the entry point", L"version.dll", L"planting_static.exe", L"",
         "version.dll.loaded"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const wchar_t* name : {L"version.dll", L"winmm.dll"})
            ::DeleteFileW((folder / name).c_str());
        for (const std::wstring& m : FilesIn(markers.Path()))
            ::DeleteFileW((markers / m).c_str());
        Plant(folder.Path(), {c.planted});
        const DWORD exit = RunToEnd(folder / c.exe, c.args, folder.Path());
        EXPECT_NE(static_cast<DWORD>(-2), exit) << "the probe did not end";
        EXPECT_EQ(c.markers, Joined(FilesIn(markers.Path())));
    }
}

TEST(Planting, TheToolLoadsNoLibraryFromItsFolder)
{
    std::vector<std::wstring> planted = PlantedNames();
    ASSERT_FALSE(planted.empty()) << "run through scripts/wine-run.sh with ORV_DLLOVERRIDES";
    const std::vector<std::wstring> wineOnly = SplitNames(Env(L"ORV_NOT_PLANTED_IN_TOOL"));
    planted.erase(std::remove_if(planted.begin(), planted.end(),
                                 [&](const std::wstring& n) {
                                     return std::find(wineOnly.begin(), wineOnly.end(), n) != wineOnly.end();
                                 }),
                  planted.end());
    Scratch markers(L"orv markers ");
    e2e::ToolRun tool(L"Orvane 修复");
    ASSERT_TRUE(tool.Ready());
    tool.SetFeedback(e2e::kQuietFeedback);
    tool.SetSimulator("mode=quiet,success\ndelay_ms=0\n");
    const std::wstring folder = tool.Folder();
    // A feedback library that itself imports winmm.dll: its dependencies must come from
    // the system folder too.
    ASSERT_TRUE(::CopyFileW((TestBinFolder() + L"\\feedback_winmm\\CorvelFeedbackInformation.dll").c_str(),
                            (folder + L"\\CorvelFeedbackInformation.dll").c_str(), FALSE));
    Plant(folder, planted);
    ScenarioResult run;
    {
        ScopedEnv markerDir(L"ORV_MARKER_DIR", markers.Path());
        run = RunTool(tool);
    }
    EXPECT_TRUE(run.panel);
    EXPECT_TRUE(run.viewer);
    EXPECT_EQ(1u, run.modules.count(L"riched20.dll")) << "the scenario did not reach the rich edit library";
    EXPECT_TRUE(run.outcome);
    EXPECT_TRUE(run.ended);
    EXPECT_EQ("", Joined(FilesIn(markers.Path()))) << "planted libraries were loaded";
    // The journal proves the feedback library was loaded and used.
    const std::string journal = gd::ReadFileBytes(tool.RecordPath(L"CorvelFeedbackInformation.journal"));
    EXPECT_NE(std::string::npos, journal.find("InitFreedbackDll")) << journal;

    // Every library the tool had loaded is a KnownDLL or was planted, so the list above
    // keeps up with what the program uses.
    std::vector<std::wstring> unplanted;
    for (const std::wstring& m : run.modules) {
        const bool library = m.size() > 4 && m.compare(m.size() - 4, 4, L".dll") == 0;
        if (!library || IsKnownDll(Utf8(m)) || m == L"corvelfeedbackinformation.dll" || IsWineInternal(m) ||
            std::find(wineOnly.begin(), wineOnly.end(), m) != wineOnly.end())
            continue;
        if (std::find(planted.begin(), planted.end(), m) == planted.end())
            unplanted.push_back(m);
    }
    EXPECT_EQ("", Joined(unplanted)) << "loaded by the tool but not planted";
    std::cout << "planted: " << Joined(planted) << "\n";
}

TEST(StaticImports, OnlyLibrariesTheSystemTakesFromItsOwnFolder)
{
    struct Binary {
        std::wstring path;
        bool required;
    };
    std::vector<Binary> binaries = {
        {DistFolder() + L"\\FastMendLUMAFWU.exe", true},
        {DistFolder() + L"\\CorvelFeedbackInformation.dll", true},
    };
    // The delivered 32-bit build, when it has been built (scripts/test.sh builds it).
    const std::wstring i686 = gd::EnvPath(L"ORV_I686_DIST");
    if (!i686.empty())
        binaries.push_back({i686 + L"\\FastMendLUMAFWU.exe", false});
    for (const Binary& b : binaries) {
        SCOPED_TRACE(Utf8(b.path));
        if (!b.required && (!gd::FileExists(b.path) || IsOlder(b.path, binaries.front().path))) {
            std::cout << "not built or older than this build, not checked: " << Utf8(b.path) << "\n";
            continue;
        }
        const support::PeImage image(b.path);
        ASSERT_TRUE(image.Ok());
        const std::vector<std::string> imports = image.ImportedLibraries();
        EXPECT_FALSE(imports.empty());
        for (const std::string& name : imports)
            EXPECT_TRUE(IsKnownDll(name)) << name << " is imported statically";
    }

    // The check itself sees a non-system import where there is one.
    const support::PeImage control(TestBinFolder() + L"\\planting_static.exe");
    ASSERT_TRUE(control.Ok());
    const std::vector<std::string> controlImports = control.ImportedLibraries();
    EXPECT_NE(controlImports.end(), std::find(controlImports.begin(), controlImports.end(), "version.dll"));
}
