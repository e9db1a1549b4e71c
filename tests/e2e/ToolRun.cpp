#include "tests/e2e/ToolRun.h"

#include <oleacc.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>

#include "res/resource.h"

namespace gd = guidriver;

namespace e2e {

const char kQuietFeedback[] = "open=0\n";

namespace {

const wchar_t kSettledProp[] = L"Orvane.PairSettled";

using support::FromCodePage;
using support::Split;

void CollectTree(const std::wstring& root, const std::wstring& relative, std::vector<FileSnapshot>& out) {
    const std::wstring here = relative.empty() ? root : root + L"\\" + relative;
    WIN32_FIND_DATAW fd;
    HANDLE find = ::FindFirstFileW((here + L"\\*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring rel = relative.empty() ? name : relative + L"\\" + name;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out.push_back({rel + L"\\", {}});
            CollectTree(root, rel, out);
        } else {
            out.push_back({rel, gd::ReadFileBytes(root + L"\\" + rel)});
        }
    } while (::FindNextFileW(find, &fd));
    ::FindClose(find);
}

}  // namespace

ToolRun::ToolRun(const std::wstring& folderName, const std::wstring& parent) {
    const std::wstring dist = gd::EnvPath(L"ORV_DIST");
    ownsParent_ = parent.empty();
    parent_ = ownsParent_ ? gd::TempFolder(L"orv_e2e_") : parent;
    if (dist.empty() || parent_.empty() || folderName.empty()) return;
    folder_ = parent_ + L"\\" + folderName;
    records_ = folder_ + L".records";
    // Never copy over (or later remove) what is there.
    if (gd::FileExists(folder_) || gd::FileExists(records_)) return;
    createdFolder_ = true;
    ready_ = ::CreateDirectoryW(records_.c_str(), nullptr) && Redeliver() && SetFeedback("");
}

bool ToolRun::Redeliver() {
    return gd::CopyTree(gd::EnvPath(L"ORV_DIST"), folder_) && gd::FileExists(Exe());
}

ToolRun::~ToolRun() {
    End();
    if (ownsParent_ && !parent_.empty()) {
        gd::RemoveTree(parent_);
    } else if (createdFolder_) {
        if (gd::FileExists(folder_)) gd::RemoveTree(folder_);
        gd::RemoveTree(records_);
    }
}

bool ToolRun::SetSimulator(const std::string& keywords) {
    return ready_ && gd::WriteFileBytes(Path(L"LUMAFWU\\LUMAFWU.behavior"), keywords);
}

bool ToolRun::SetFeedback(const std::string& settings) {
    return !records_.empty() &&
           gd::WriteFileBytes(Path(L"CorvelFeedbackInformation.ini"), settings + "\nrecords=" + gd::Utf8(records_) + "\n");
}

bool ToolRun::Start(const std::wstring& args) {
    panel_ = nullptr;
    return ready_ && process_.Start(Exe(), args, folder_);
}

bool ToolRun::RunToExit(const std::wstring& args, DWORD timeoutMs, bool& windowSeen) {
    windowSeen = false;
    if (!Start(args)) return false;
    return gd::WaitFor(
        [&] {
            const bool ended = !Running();
            windowSeen = windowSeen || !gd::TopWindows(Pid(), false).empty();
            return ended;
        },
        timeoutMs, 5);
}

HWND ToolRun::WaitForPanel(DWORD timeoutMs) {
    panel_ = WaitForDialogWith(IDC_REPAIR, timeoutMs);
    return panel_;
}

std::string ToolRun::StartQuiet() {
    if (!Ready()) return "the tool's folder could not be copied";
    if (!SetFeedback(kQuietFeedback)) return "the feedback library's settings could not be written";
    if (!Start()) return "the tool did not start";
    if (!WaitForPanel()) return "the main panel did not show";
    return std::string();
}

HWND ToolRun::StartForRepair(const std::string& simulator) {
    if (!SetSimulator(simulator) || !StartQuiet().empty()) return nullptr;
    HWND repair = PanelControl(IDC_REPAIR);
    return gd::WaitUntilHittable(repair, kSettleTimeoutMs) ? repair : nullptr;
}

HWND ToolRun::WaitForDialogWith(int controlId, DWORD timeoutMs) const {
    HWND child = gd::WaitForWindowWithControl(Pid(), controlId, timeoutMs);
    if (!child) return nullptr;
    HWND back = ::GetWindow(child, GW_OWNER);
    if (!back || !gd::WaitForProp(back, kSettledProp, kSettleTimeoutMs)) return nullptr;
    return child;
}

HWND ToolRun::WaitForPrompt(DWORD timeoutMs) const { return WaitForDialogWith(IDC_PROMPT_FIRST, timeoutMs); }

std::wstring ToolRun::PromptText(HWND promptChild) { return Text(::GetDlgItem(promptChild, IDC_PROMPT_TEXT)); }

bool ToolRun::ConfirmPrompt(HWND promptChild) const {
    HWND button = ::GetDlgItem(promptChild, IDC_PROMPT_FIRST);
    return gd::ClickWhenHittable(button, kSettleTimeoutMs) && gd::WaitForGone(promptChild, kWindowTimeoutMs);
}

HWND ToolRun::WaitForProgress(DWORD timeoutMs) const {
    return gd::WaitForWindowWithControl(Pid(), IDC_PROGRESS_TEXT, timeoutMs);
}

HWND ToolRun::FindViewer() const {
    // Hidden viewers are not among the visible windows, so every window is looked at.
    for (HWND h : gd::TopWindows(Pid(), false)) {
        if (::GetDlgItem(h, IDC_AGREEMENT_EDIT)) return ::GetWindow(h, GW_OWNER);
    }
    return nullptr;
}

RECT ToolRun::ClientRectOf(HWND control) {
    RECT r{};
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::wstring ToolRun::Text(HWND window) { return window ? gd::Describe(window).text : L""; }

std::vector<JournalEntry> ToolRun::Journal() const {
    return support::ReadJournal(RecordPath(L"CorvelFeedbackInformation.journal"));
}

int ToolRun::JournalCount(const std::wstring& entryPoint) const {
    int n = 0;
    for (const JournalEntry& e : Journal()) n += !e.empty() && e[0] == entryPoint;
    return n;
}

unsigned long long CreationTime(HANDLE process) {
    FILETIME created, ended, kernel, user;
    if (!process || !::GetProcessTimes(process, &created, &ended, &kernel, &user)) return 0;
    return (static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

namespace {

ULONGLONG CreationTime(DWORD pid) {
    HANDLE h = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    const ULONGLONG t = e2e::CreationTime(h);
    if (h) ::CloseHandle(h);
    return t;
}

}  // namespace

std::vector<DWORD> ToolRun::ChildProcesses(const std::wstring& imageName) const {
    std::vector<DWORD> found;
    if (Pid() == 0) return found;
    for (const guidriver::ProcessEntry& p : guidriver::ProcessTable()) {
        if (p.parent == Pid() && _wcsicmp(p.image.c_str(), imageName.c_str()) == 0) found.push_back(p.pid);
    }
    return found;
}

bool ToolRun::RunsBelow(const std::wstring& imageName) const {
    const std::vector<DWORD> below = Descendants();
    for (const guidriver::ProcessEntry& p : guidriver::ProcessTable()) {
        if (_wcsicmp(p.image.c_str(), imageName.c_str()) == 0 &&
            std::find(below.begin(), below.end(), p.pid) != below.end())
            return true;
    }
    return false;
}

std::vector<DWORD> ToolRun::Descendants() const {
    std::vector<DWORD> found;
    const ULONGLONG toolCreated = CreationTime(process_.handle());
    if (Pid() == 0 || toolCreated == 0) return found;
    const std::vector<guidriver::ProcessEntry> all = guidriver::ProcessTable();
    std::vector<DWORD> parents{Pid()};
    while (!parents.empty()) {
        const DWORD parent = parents.back();
        parents.pop_back();
        for (const guidriver::ProcessEntry& p : all) {
            if (p.parent != parent || p.pid == Pid()) continue;
            if (std::find(found.begin(), found.end(), p.pid) != found.end()) continue;
            // Wine hands out process ids again soon: a process older than the tool (the
            // desktop, the services) only names a parent that had the same id once.
            if (CreationTime(p.pid) < toolCreated) continue;
            found.push_back(p.pid);
            parents.push_back(p.pid);
        }
    }
    return found;
}

void ToolRun::End() {
    if (!process_.handle()) return;
    // Everything that may still run below the tool: the firmware simulator, the hidden
    // clean-up cmd.exe with its timeout.exe, and the console host Wine starts for it.
    // Wine's conhost.exe does not end when its only client is killed, and it keeps the
    // test's output pipe open, so ctest would wait for it until its time-out.
    const std::vector<DWORD> children = Descendants();
    if (process_.Running()) process_.Kill();
    for (DWORD id : children) {
        if (HANDLE h = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id)) {
            ::TerminateProcess(h, 99);
            ::WaitForSingleObject(h, 5000);
            ::CloseHandle(h);
        }
    }
}

bool Prepare(ToolRun& run, const std::string& simulator) {
    return run.Ready() && run.SetFeedback(kQuietFeedback) && run.SetSimulator(simulator);
}

unsigned long long RecordValue(const std::string& text, const std::string& key) {
    const size_t at = ("\n" + text).find("\n" + key + "=");
    if (at == std::string::npos || text.find("\r\n", at) == std::string::npos) return 0;
    return std::strtoull(text.c_str() + at + key.size() + 1, nullptr, 10);
}

unsigned long long RanValue(const ToolRun& run, const std::string& key) {
    return RecordValue(gd::ReadFileBytes(Ran(run)), key);
}

std::vector<FileSnapshot> SnapshotTree(const std::wstring& folder) {
    std::vector<FileSnapshot> out;
    CollectTree(folder, L"", out);
    return out;
}

std::wstring ToolLogPath() {
    wchar_t base[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, base, CSIDL_COMMON_APPDATA, FALSE)) return L"";
    return std::wstring(base) + L"\\ToolLog\\Orvane 2020灯效闪烁修复工具.txt";
}

bool DeleteToolLog() {
    const std::wstring path = ToolLogPath();
    return ::DeleteFileW(path.c_str()) || !gd::FileExists(path);
}

std::vector<std::wstring> ToolLogRecords() {
    // "[YYYY-MM-DD hh:mm:ss mmmms]   text" CR CR LF, in code page 936.
    std::vector<std::wstring> texts;
    const std::wstring all = FromCodePage(936, gd::ReadFileBytes(ToolLogPath()));
    for (const std::wstring& line : Split(all, L"\r\r\n")) {
        const size_t close = line.find(L']');
        if (line.empty() || line[0] != L'[' || close == std::wstring::npos) {
            texts.push_back(line);  // malformed: kept whole so that a comparison shows it
            continue;
        }
        const size_t text = line.find_first_not_of(L' ', close + 1);
        texts.push_back(text == std::wstring::npos ? L"" : line.substr(text));
    }
    return texts;
}

int ScreenDpi() {
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi;
}

float ToolScale() {
    const int dpi = ScreenDpi();
    return dpi > 100 ? static_cast<float>(dpi / 100.0) : 1.0f;
}

std::wstring BuildPath(const std::wstring& relative) {
    const std::wstring build = gd::EnvPath(L"ORV_BUILD");
    return build.empty() ? L"" : build + L"\\" + relative;
}

std::wstring SaveWindowShot(HWND window, const std::wstring& name) {
    const std::wstring folder = gd::ScreensFolder();
    RECT r{};
    if (folder.empty() || !::GetWindowRect(window, &r)) return L"";
    const std::wstring path = folder + L"\\" + name + L".png";
    return gd::SaveScreenshot(path, &r) ? path : L"";
}

namespace {

GUITHREADINFO ThreadInput(HWND window) {
    GUITHREADINFO info{sizeof(info)};
    const DWORD thread = window ? ::GetWindowThreadProcessId(window, nullptr) : 0;
    if (!thread || !::GetGUIThreadInfo(thread, &info)) info = GUITHREADINFO{sizeof(info)};
    return info;
}

}  // namespace

HWND KeyboardFocus(HWND window) { return ThreadInput(window).hwndFocus; }

HWND ActiveWindow(HWND window) { return ThreadInput(window).hwndActive; }

bool FocusByTab(HWND control) {
    const auto focus = [control] { return KeyboardFocus(control); };
    for (int presses = 0; presses < 12; ++presses) {
        if (focus() == control) return true;
        const HWND before = focus();
        gd::PressChord({VK_TAB});
        gd::WaitFor([&] { return focus() != before; }, 1000);
    }
    return focus() == control;
}

std::wstring AccessibleName(HWND window) {
    // Once per thread; oleacc's proxies need no more than an apartment.
    thread_local const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    (void)com;
    IAccessible* accessible = nullptr;
    // Not IID_IAccessible: MinGW's oleacc import library also offers that name, as an
    // import of the library, and a link that takes it from there passes the bytes of
    // a jump for the interface's id.
    const HRESULT found = ::AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                                       reinterpret_cast<void**>(&accessible));
    if (FAILED(found) || !accessible) {
        wchar_t code[16];
        std::swprintf(code, 16, L"%08lx", static_cast<unsigned long>(found));
        return L"<no accessible object: " + std::wstring(code) + L">";
    }
    VARIANT self;
    ::VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    const HRESULT hr = accessible->get_accName(self, &name);
    std::wstring result = hr == S_OK && name ? std::wstring(name, ::SysStringLen(name)) : L"<no name>";
    ::SysFreeString(name);
    accessible->Release();
    return result;
}

void Idle(DWORD ms) { gd::WaitFor([] { return false; }, ms); }

}  // namespace e2e
