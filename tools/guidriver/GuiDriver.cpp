#include "GuiDriver.h"

#include <gdiplus.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cwchar>

namespace guidriver {

namespace {

void PumpPending() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

struct EnumState {
    DWORD pid;
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTop(HWND hwnd, LPARAM lp) {
    auto* st = reinterpret_cast<EnumState*>(lp);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if ((st->pid == 0 || pid == st->pid) && (!st->visibleOnly || ::IsWindowVisible(hwnd))) st->found.push_back(hwnd);
    return TRUE;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t buf[256] = {};
    ::GetClassNameW(hwnd, buf, 255);
    return buf;
}

std::wstring TextOf(HWND hwnd) {
    // WM_GETTEXT rather than GetWindowText, so that controls of other processes answer.
    wchar_t buf[1024] = {};
    DWORD_PTR n = 0;
    ::SendMessageTimeoutW(hwnd, WM_GETTEXT, 1023, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000, &n);
    return buf;
}

void SendMouse(DWORD flags, int x = 0, int y = 0) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    if (flags & MOUSEEVENTF_MOVE) {
        const int w = ::GetSystemMetrics(SM_CXSCREEN), h = ::GetSystemMetrics(SM_CYSCREEN);
        in.mi.dwFlags |= MOUSEEVENTF_ABSOLUTE;
        in.mi.dx = static_cast<LONG>((x * 65535LL + (w - 1) / 2) / (w - 1));
        in.mi.dy = static_cast<LONG>((y * 65535LL + (h - 1) / 2) / (h - 1));
    }
    ::SendInput(1, &in, sizeof(in));
}

}  // namespace

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs) {
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    for (;;) {
        PumpPending();
        if (condition()) return true;
        if (::GetTickCount64() >= end) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, pollMs, QS_ALLINPUT);
    }
}

std::vector<HWND> TopWindows(DWORD pid, bool visibleOnly) {
    EnumState st{pid, visibleOnly, {}};
    ::EnumWindows(&CollectTop, reinterpret_cast<LPARAM>(&st));
    return st.found;
}

HWND FindTopWindow(DWORD pid, const std::wstring& title, const std::wstring& className,
                   const std::function<bool(HWND)>& extra) {
    for (HWND h : TopWindows(pid)) {
        if (!title.empty() && TextOf(h) != title) continue;
        if (!className.empty() && ClassOf(h) != className) continue;
        if (extra && !extra(h)) continue;
        return h;
    }
    return nullptr;
}

HWND WaitForTopWindow(DWORD pid, const std::wstring& title, const std::wstring& className, DWORD timeoutMs,
                      const std::function<bool(HWND)>& extra) {
    HWND found = nullptr;
    WaitFor([&] { return (found = FindTopWindow(pid, title, className, extra)) != nullptr; }, timeoutMs);
    return found;
}

HWND WaitForWindowWithControl(DWORD pid, int controlId, DWORD timeoutMs) {
    return WaitForTopWindow(pid, L"", L"", timeoutMs, [controlId](HWND h) {
        HWND c = ::GetDlgItem(h, controlId);
        return c != nullptr;
    });
}

bool WaitForGone(HWND hwnd, DWORD timeoutMs) {
    return WaitFor([hwnd] { return !::IsWindow(hwnd) || !::IsWindowVisible(hwnd); }, timeoutMs);
}

bool WaitForProp(HWND hwnd, const wchar_t* name, DWORD timeoutMs) {
    return WaitFor([&] { return ::IsWindow(hwnd) && ::GetPropW(hwnd, name) != nullptr; }, timeoutMs);
}

bool WaitForMoveSizeLoop(HWND window, DWORD timeoutMs) {
    const DWORD thread = ::GetWindowThreadProcessId(window, nullptr);
    return thread != 0 && WaitFor([thread] {
        GUITHREADINFO gui{sizeof(gui)};
        return ::GetGUIThreadInfo(thread, &gui) && (gui.flags & GUI_INMOVESIZE) != 0;
    }, timeoutMs, 5);
}

Control Describe(HWND hwnd) {
    Control c;
    c.hwnd = hwnd;
    c.id = ::GetDlgCtrlID(hwnd);
    c.className = ClassOf(hwnd);
    c.text = TextOf(hwnd);
    ::GetWindowRect(hwnd, &c.rect);
    c.visible = ::IsWindowVisible(hwnd) != FALSE;
    c.enabled = ::IsWindowEnabled(hwnd) != FALSE;
    return c;
}

std::map<int, Control> Children(HWND parent) {
    std::map<int, Control> out;
    for (HWND c = ::GetWindow(parent, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
        Control d = Describe(c);
        out.emplace(d.id, d);
    }
    return out;
}

void MoveTo(int x, int y) {
    // Absolute input is in 1/65535ths of the screen and systems round it
    // differently: aim, wait until the pointer has landed, and correct. The
    // pointer position can lag behind SendInput, so a correction is made only from
    // a position that has stayed put.
    //
    // Under Wine, moves made with SendInput move only Wine's own pointer: the X
    // server's pointer stays where it was (the screen's centre at first). When a window
    // is mapped or unmapped under that stale X pointer, Wine takes the pointer position
    // from X again, and a click sent right after lands there instead. Putting the X
    // pointer on the target too (SetCursorPos warps it) keeps the two together.
    ::SetCursorPos(x, y);
    int aimX = x, aimY = y;
    for (int attempt = 0; attempt < 4; ++attempt) {
        SendMouse(MOUSEEVENTF_MOVE, aimX, aimY);
        POINT p{};
        if (WaitFor([&] { ::GetCursorPos(&p); return p.x == x && p.y == y; }, 150, 5)) return;
        POINT last{-100000, -100000};
        WaitFor([&] {
            ::GetCursorPos(&p);
            const bool still = p.x == last.x && p.y == last.y;
            last = p;
            return still;
        }, 500, 50);
        if (p.x == x && p.y == y) return;
        aimX += x - p.x;
        aimY += y - p.y;
    }
}

void ButtonDown() { SendMouse(MOUSEEVENTF_LEFTDOWN); }
void ButtonUp() { SendMouse(MOUSEEVENTF_LEFTUP); }

void PressChord(std::initializer_list<WORD> keys) {
    std::vector<INPUT> in;
    for (WORD k : keys) {
        INPUT i{};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = k;
        in.push_back(i);
    }
    for (auto k = keys.end(); k != keys.begin();) {
        INPUT i{};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = *--k;
        i.ki.dwFlags = KEYEVENTF_KEYUP;
        in.push_back(i);
    }
    ::SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
}

namespace {

// What the last ClickControl of this thread saw of its press, for SceneReport.
thread_local std::wstring t_lastPress;

bool IsButton(HWND h) { return _wcsicmp(ClassOf(h).c_str(), L"Button") == 0; }

DWORD_PTR ButtonState(HWND button) {
    DWORD_PTR state = 0;
    ::SendMessageTimeoutW(button, BM_GETSTATE, 0, 0, SMTO_ABORTIFHUNG, 2000, &state);
    return state;
}

std::wstring Hex(const void* p) {
    wchar_t buf[32];
    swprintf(buf, 32, L"%p", p);
    return buf;
}

// The input state of the thread that owns `window`, as a press would meet it.
std::wstring InputState(HWND window) {
    GUITHREADINFO gui{sizeof(gui)};
    const DWORD thread = ::GetWindowThreadProcessId(window, nullptr);
    if (!::GetGUIThreadInfo(thread, &gui)) return L"(no thread state)";
    RECT r{};
    ::GetWindowRect(window, &r);
    return L"foreground " + Hex(::GetForegroundWindow()) + L", active " + Hex(gui.hwndActive) + L", focus " +
           Hex(gui.hwndFocus) + L", capture " + Hex(gui.hwndCapture) + L", flags " + std::to_wstring(gui.flags) +
           L", hit " + Hex(::WindowFromPoint(Centre(r)));
}

// Lets the thread of the window at (x, y) handle everything that reached it before.
void CatchUp(int x, int y) {
    DWORD_PTR ignored = 0;
    if (HWND target = ::WindowFromPoint(POINT{x, y})) {
        ::SendMessageTimeoutW(target, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &ignored);
    }
}

// Moves there and lets the target's thread catch up with the move (and with
// whatever showed the window) before a button goes down.
//
// Under Wine a program's thread turns the X events it has not read yet into pointer
// moves when it next waits for messages. When a window vanished under the pointer (a
// prompt that was just confirmed), X told the window below about the pointer's old
// position; a thread slow to read that (an emulated 32-bit program on a busy machine)
// takes Wine's pointer back there after the move, and a press then lands on the old
// spot. So the move counts once the pointer has stayed on the target for a while, the
// target's thread catching up all along; whenever it is taken away, the move is made
// again. No button is pressed meanwhile.
void MoveAndSettle(int x, int y) {
    constexpr DWORD kStillMs = 250, kGiveUpMs = 5000;
    MoveTo(x, y);
    ULONGLONG since = ::GetTickCount64();
    WaitFor([&] {
        CatchUp(x, y);
        POINT p{};
        ::GetCursorPos(&p);
        if (p.x != x || p.y != y) {
            MoveTo(x, y);
            since = ::GetTickCount64();
            return false;
        }
        return ::GetTickCount64() - since >= kStillMs;
    }, kGiveUpMs, 10);
}

}  // namespace

void Click(int x, int y) {
    MoveAndSettle(x, y);
    ButtonDown();
    ButtonUp();
}

POINT Centre(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

void ClickControl(HWND control) {
    RECT r{};
    ::GetWindowRect(control, &r);
    POINT p = Centre(r);
    // Only once the control is what the pointer would hit there.
    WaitFor([&] { return ::WindowFromPoint(p) == control; }, 3000);
    MoveAndSettle(p.x, p.y);
    const std::wstring before = InputState(control);
    ButtonDown();
    if (IsButton(control)) {
        // Like a hand, let go once the button shows pressed: the release then meets
        // a press that was taken, and a report can tell a lost press from a lost release.
        const bool pressed = WaitFor([&] { return (ButtonState(control) & BST_PUSHED) != 0; }, 500, 5);
        t_lastPress = pressed ? L"the button showed pressed before the release"
                              : L"the button never showed pressed (the press went elsewhere); before the press " +
                                    before + L"; 500 ms after it " + InputState(control);
    } else {
        t_lastPress.clear();
    }
    ButtonUp();
}

std::string SceneReport(HWND control) {
    auto name = [](HWND h) {
        if (!h) return std::wstring(L"none");
        return Hex(h) + L" " + ClassOf(h) + L" #" + std::to_wstring(::GetDlgCtrlID(h)) + L" \"" +
               TextOf(h) + L"\"";
    };
    RECT r{};
    ::GetWindowRect(control, &r);
    const POINT centre = Centre(r);
    POINT cursor{};
    ::GetCursorPos(&cursor);
    GUITHREADINFO gui{sizeof(gui)};
    ::GetGUIThreadInfo(0, &gui);
    std::wstring out = L"control " + name(control) + L" at (" + std::to_wstring(centre.x) + L"," +
                       std::to_wstring(centre.y) + L") hits " + name(::WindowFromPoint(centre)) + L"; pointer (" +
                       std::to_wstring(cursor.x) + L"," + std::to_wstring(cursor.y) + L"); foreground " +
                       name(::GetForegroundWindow()) + L"; focus " + name(gui.hwndFocus) + L"; capture " +
                       name(gui.hwndCapture);
    if (IsButton(control)) out += L"; button state " + std::to_wstring(ButtonState(control));
    if (!t_lastPress.empty()) out += L"; last click: " + t_lastPress;
    out += L"; windows:";
    DWORD pid = 0;
    ::GetWindowThreadProcessId(control, &pid);
    for (HWND h : TopWindows(pid)) {
        ::GetWindowRect(h, &r);
        out += L"\n  " + name(h) + L" (" + std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L")-(" +
               std::to_wstring(r.right) + L"," + std::to_wstring(r.bottom) + L")" +
               (::IsWindowEnabled(h) ? L"" : L" disabled") + L" owner " + name(::GetWindow(h, GW_OWNER));
    }
    return Utf8(out);
}

std::string Utf8(const std::wstring& text) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                        nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

bool WaitUntilHittable(HWND control, DWORD timeoutMs) {
    RECT r{};
    ::GetWindowRect(control, &r);
    const POINT p = Centre(r);
    return WaitFor([&] { return ::WindowFromPoint(p) == control; }, timeoutMs);
}

bool ClickWhenHittable(HWND control, DWORD hittableMs, const std::function<bool()>& done, DWORD doneMs) {
    if (!control || !WaitUntilHittable(control, hittableMs)) return false;
    ClickControl(control);
    return !done || WaitFor(done, doneMs);
}

COLORREF ScreenPixel(int x, int y) {
    HDC screen = ::GetDC(nullptr);
    COLORREF c = ::GetPixel(screen, x, y);
    ::ReleaseDC(nullptr, screen);
    return c;
}

bool SaveScreenshot(const std::wstring& path, const RECT* area) {
    RECT r{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    if (area) r = *area;
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return false;
    HDC screen = ::GetDC(nullptr);
    HDC mem = ::CreateCompatibleDC(screen);
    HBITMAP bmp = ::CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = ::SelectObject(mem, bmp);
    ::BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    ::SelectObject(mem, old);
    bool ok = false;
    {
        Gdiplus::Bitmap image(bmp, nullptr);
        // The PNG encoder's class id.
        const CLSID png = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
        ok = image.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
    }
    ::DeleteObject(bmp);
    ::DeleteDC(mem);
    ::ReleaseDC(nullptr, screen);
    return ok;
}

std::wstring ScreensFolder() {
    std::wstring build = EnvPath(L"ORV_BUILD");
    if (build.empty()) return L"";
    std::wstring folder = build + L"\\screens";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

Process::~Process() {
    if (Running()) Kill();
    if (process_) ::CloseHandle(process_);
}

bool Process::Start(const std::wstring& exe, const std::wstring& args, const std::wstring& folder) {
    std::wstring cmd = L"\"" + exe + L"\"";
    if (!args.empty()) cmd += L" " + args;
    STARTUPINFOW si{sizeof(si)};
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &si, &pi)) {
        return false;
    }
    ::CloseHandle(pi.hThread);
    if (process_) ::CloseHandle(process_);
    process_ = pi.hProcess;
    pid_ = pi.dwProcessId;
    return true;
}

bool Process::Running() const {
    return process_ && ::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool Process::Wait(DWORD timeoutMs) {
    return process_ && WaitFor([this] { return !Running(); }, timeoutMs);
}

DWORD Process::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (process_) ::GetExitCodeProcess(process_, &code);
    return code;
}

void Process::Kill() {
    if (process_) {
        ::TerminateProcess(process_, 99);
        ::WaitForSingleObject(process_, 5000);
    }
}

std::wstring TempFolder(const std::wstring& prefix) {
    wchar_t base[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, base);
    for (unsigned n = ::GetTickCount() & 0xFFFF;; ++n) {
        std::wstring path = std::wstring(base) + prefix + std::to_wstring(::GetCurrentProcessId()) + L"_" +
                            std::to_wstring(n);
        if (::CreateDirectoryW(path.c_str(), nullptr)) return path;
        if (::GetLastError() != ERROR_ALREADY_EXISTS) return L"";
    }
}

bool CopyTree(const std::wstring& from, const std::wstring& to) {
    ::CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW fd;
    HANDLE h = ::FindFirstFileW((from + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    do {
        std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ok = CopyTree(from + L"\\" + name, to + L"\\" + name) && ok;
        } else {
            ok = ::CopyFileW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str(), FALSE) && ok;
        }
    } while (::FindNextFileW(h, &fd));
    ::FindClose(h);
    return ok;
}

bool RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW fd;
    HANDLE h = ::FindFirstFileW((path + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring full = path + L"\\" + name;
            ::SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(full);
            else ::DeleteFileW(full.c_str());
        } while (::FindNextFileW(h, &fd));
        ::FindClose(h);
    }
    return ::RemoveDirectoryW(path.c_str()) != FALSE;
}

std::string ReadFileBytes(const std::wstring& path) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    std::string out;
    char buf[65536];
    DWORD n = 0;
    while (::ReadFile(h, buf, sizeof(buf), &n, nullptr) && n) out.append(buf, n);
    ::CloseHandle(h);
    return out;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD n = 0;
    bool ok = ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr) && n == bytes.size();
    ::CloseHandle(h);
    return ok;
}

std::vector<ProcessEntry> ProcessTable() {
    std::vector<ProcessEntry> all;
    HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return all;
    PROCESSENTRY32W pe{};
    pe.dwSize = sizeof(pe);
    for (BOOL more = ::Process32FirstW(snap, &pe); more; more = ::Process32NextW(snap, &pe)) {
        all.push_back({pe.th32ProcessID, pe.th32ParentProcessID, pe.szExeFile});
    }
    ::CloseHandle(snap);
    return all;
}

bool FileExists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring EnvPath(const wchar_t* name) {
    wchar_t buf[4096] = {};
    DWORD n = ::GetEnvironmentVariableW(name, buf, 4096);
    if (n == 0 || n >= 4096) return L"";
    std::wstring p = buf;
    if (!p.empty() && p[0] == L'/') {
        std::replace(p.begin(), p.end(), L'/', L'\\');
        p = L"Z:" + p;
    }
    return p;
}

}  // namespace guidriver
