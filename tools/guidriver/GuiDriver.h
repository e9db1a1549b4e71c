#pragma once
#include <windows.h>

#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace guidriver {

struct Control {
    HWND hwnd = nullptr;
    int id = 0;
    std::wstring className;
    std::wstring text;
    RECT rect{};  // window rectangle, screen coordinates
    bool visible = false;
    bool enabled = false;
};

// Polls `condition` every `pollMs` until it holds or `timeoutMs` passes, pumping
// the calling thread's messages meanwhile. Returns whether it held.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs = 20);

// Top-level windows of a process (0: any process), in z-order.
std::vector<HWND> TopWindows(DWORD pid, bool visibleOnly = true);
// The first top-level window of the process whose title or class matches (empty
// matches anything) and that satisfies `extra` when given.
HWND FindTopWindow(DWORD pid, const std::wstring& title, const std::wstring& className = L"",
                   const std::function<bool(HWND)>& extra = nullptr);
// Waits for such a window; null on time-out.
HWND WaitForTopWindow(DWORD pid, const std::wstring& title, const std::wstring& className, DWORD timeoutMs,
                      const std::function<bool(HWND)>& extra = nullptr);
// The first top-level window of the process that has a child with this id.
HWND WaitForWindowWithControl(DWORD pid, int controlId, DWORD timeoutMs);
bool WaitForGone(HWND hwnd, DWORD timeoutMs);
// Waits until the window carries the named property.
bool WaitForProp(HWND hwnd, const wchar_t* name, DWORD timeoutMs);
// Waits until the thread of `window` runs the system's move-or-size loop, as it does
// once a press on a caption has started a drag. The loop takes the pointer's position
// when it starts, so a drag moves the pointer only after this.
bool WaitForMoveSizeLoop(HWND window, DWORD timeoutMs);

Control Describe(HWND hwnd);
// Direct children of a window, keyed by control id.
std::map<int, Control> Children(HWND parent);

// Real input through SendInput (so low-level hooks and hover tracking see it).
void MoveTo(int x, int y);
void ButtonDown();
void ButtonUp();
// Presses the keys in order and lets them go in reverse (a chord such as Alt+F4),
// as real keyboard input to whatever window has the focus.
void PressChord(std::initializer_list<WORD> keys);
void Click(int x, int y);
// Clicks the centre of a control once it is the window the pointer hits there.
void ClickControl(HWND control);
// What a click on `control` would meet, for a test's failure message: the window
// the centre hits, the pointer, the foreground and focus windows, and the visible
// top-level windows of the control's process in z-order with their state (and a
// button's push state, and whether the last ClickControl saw its press taken).
std::string SceneReport(HWND control);  // UTF-8
std::string Utf8(const std::wstring& text);
// Waits until the window under the centre of `control` is `control`.
bool WaitUntilHittable(HWND control, DWORD timeoutMs);
// Clicks `control` once it is hittable (within `hittableMs`) and, when `done` is
// given, waits up to `doneMs` for what the click should bring. False when the control
// is null or either wait ran out (nothing is clicked if the control never came).
bool ClickWhenHittable(HWND control, DWORD hittableMs, const std::function<bool()>& done = nullptr,
                       DWORD doneMs = 0);
// The centre of a rectangle.
POINT Centre(const RECT& r);

// Reads a pixel of the screen (what is shown, children included).
COLORREF ScreenPixel(int x, int y);
// Saves the screen (or a part of it) as a PNG; GDI+ must be started.
bool SaveScreenshot(const std::wstring& path, const RECT* area = nullptr);
// build/screens (from ORV_BUILD), created on demand; empty when unknown.
std::wstring ScreensFolder();

// A process started by the test; ended on destruction if it still runs.
class Process {
public:
    Process() = default;
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    bool Start(const std::wstring& exe, const std::wstring& args = L"", const std::wstring& folder = L"");
    DWORD pid() const { return pid_; }
    HANDLE handle() const { return process_; }
    bool Running() const;
    // Waits for the end; returns false on time-out.
    bool Wait(DWORD timeoutMs);
    DWORD ExitCode() const;
    void Kill();

private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
};

// Every process of the system, as one snapshot sees them.
struct ProcessEntry {
    DWORD pid;
    DWORD parent;
    std::wstring image;
};
std::vector<ProcessEntry> ProcessTable();

// Files and folders for tests.
std::wstring TempFolder(const std::wstring& prefix);
bool CopyTree(const std::wstring& from, const std::wstring& to);
bool RemoveTree(const std::wstring& path);
std::string ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);
// A Windows path for an environment variable holding a Unix path (such as ORV_DIST).
std::wstring EnvPath(const wchar_t* name);

}  // namespace guidriver
