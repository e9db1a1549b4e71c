#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/Language.h"
#include "tests/support/Text.h"
#include "tools/guidriver/GuiDriver.h"

// Drives the delivered tool from the outside, as a user would: a fresh copy of
// build/dist (ORV_DIST) in a temporary folder, the stand-ins' behaviour files
// written into it, the real executable started there, its windows found by their
// control ids and pressed with real input.
//
// Stand-in files inside the copy:
//   LUMAFWU\LUMAFWU.behavior            the firmware simulator's keywords (tools/lumafwu/README.md)
//   CorvelFeedbackInformation.ini       the feedback library's settings (init, newversion, delay_ms, open, browser)
// and beside it, in a records folder of the run's own, so that they outlive the tool's
// exit clean-up:
//   CorvelFeedbackInformation.journal   one line per call into the feedback library, UTF-8, tab-separated
//   CorvelFeedbackInformation.threads   the thread of every call
//
// Every wait is bounded. The destructor ends the tool and whatever it started,
// then removes the temporary folder, so that a failing test leaves nothing running.
namespace e2e {

// Generous bounds for a loaded machine under Wine.
constexpr DWORD kStartTimeoutMs = 30000;
constexpr DWORD kWindowTimeoutMs = 15000;
constexpr DWORD kSettleTimeoutMs = 5000;

// Feedback library settings that never start a real browser.
extern const char kQuietFeedback[];

using support::JournalEntry;

class ToolRun {
public:
    // Copies build/dist into <parent>\<folderName>. With no parent a fresh
    // temporary folder is made, owned by the run and removed with it; with a
    // given parent only the copy is removed, and an existing folder is never used.
    explicit ToolRun(const std::wstring& folderName = L"Orvane", const std::wstring& parent = L"");
    ~ToolRun();
    ToolRun(const ToolRun&) = delete;
    ToolRun& operator=(const ToolRun&) = delete;

    // The copy was made (the test should stop otherwise).
    bool Ready() const { return ready_; }
    // The tool's folder (the copy) and paths inside it.
    const std::wstring& Folder() const { return folder_; }
    std::wstring Path(const std::wstring& relative) const { return folder_ + L"\\" + relative; }
    std::wstring Exe() const { return Path(L"FastMendLUMAFWU.exe"); }
    // A file the feedback library stand-in keeps in the run's records folder.
    std::wstring RecordPath(const std::wstring& name) const { return records_ + L"\\" + name; }

    // Behaviour of the stand-ins; each may also be changed while the tool runs
    // (both read their file at every use). The feedback library's settings always
    // name the records folder.
    bool SetSimulator(const std::string& keywords);
    bool SetFeedback(const std::string& settings);

    // Starts the tool in its folder, with these arguments after its name. A run may
    // be started again once it has ended.
    bool Start(const std::wstring& args = L"");
    // Copies build/dist into the folder once more, over what is there, as a user
    // unpacking the download again would.
    bool Redeliver();
    // The usual beginning of a test: the copy made, a feedback library that opens no
    // browser, the tool started and its panel settled. Empty on success, else the
    // step that failed.
    std::string StartQuiet();
    // StartQuiet with the simulator set to `simulator` first; the repair button once it
    // can be clicked, or null.
    HWND StartForRepair(const std::string& simulator);
    // Starts the tool with `args` and waits up to timeoutMs for its end, noting whether
    // it ever had a top-level window meanwhile, shown or not. False when it did not start
    // or did not end in time.
    bool RunToExit(const std::wstring& args, DWORD timeoutMs, bool& windowSeen);
    DWORD Pid() const { return process_.pid(); }
    HANDLE Handle() const { return process_.handle(); }
    bool Running() const { return process_.Running(); }
    bool WaitForExit(DWORD timeoutMs) { return process_.Wait(timeoutMs); }
    DWORD ExitCode() const { return process_.ExitCode(); }

    // The main panel (the top-level popup with the repair button), once its pair
    // has settled on screen; null on time-out. Remembers it for Panel()/Back().
    HWND WaitForPanel(DWORD timeoutMs = kStartTimeoutMs);
    HWND Panel() const { return panel_; }
    // The main window: the layered back that owns the panel.
    HWND Back() const { return panel_ ? ::GetWindow(panel_, GW_OWNER) : nullptr; }
    HWND PanelControl(int id) const { return panel_ ? ::GetDlgItem(panel_, id) : nullptr; }

    // A visible child dialog of the tool holding `controlId`, its pair settled.
    HWND WaitForDialogWith(int controlId, DWORD timeoutMs = kWindowTimeoutMs) const;
    // The prompt dialog's child (IDC_PROMPT_FIRST) and its text.
    HWND WaitForPrompt(DWORD timeoutMs = kWindowTimeoutMs) const;
    static std::wstring PromptText(HWND promptChild);
    // Presses the prompt's first button with a real click and waits until it has gone.
    bool ConfirmPrompt(HWND promptChild) const;
    // The progress prompt's child (IDC_PROGRESS_TEXT), without waiting for its
    // pair to settle: it may be short-lived.
    HWND WaitForProgress(DWORD timeoutMs = kWindowTimeoutMs) const;

    // The agreement viewer's back (shown or hidden), or null before the viewer exists.
    HWND FindViewer() const;

    // A rectangle of a control in its parent's client coordinates.
    static RECT ClientRectOf(HWND control);
    static std::wstring Text(HWND window);

    // Calls recorded by the feedback library so far.
    std::vector<JournalEntry> Journal() const;
    int JournalCount(const std::wstring& entryPoint) const;

    // Processes started by the tool (such as the hidden cmd.exe), by image name.
    std::vector<DWORD> ChildProcesses(const std::wstring& imageName) const;
    // Whether a process of that image runs anywhere below the tool (the firmware tool
    // runs under the hidden cmd.exe).
    bool RunsBelow(const std::wstring& imageName) const;

    // Ends the tool and its children if they still run (exit code 99).
    void End();
    // Ends the tool's own process only, as Task Manager's "End task" or a deployment
    // tool's time-out would; what it started runs on.
    void KillToolOnly() { process_.Kill(); }

private:
    // Every process started below the tool (children, grandchildren, ...).
    std::vector<DWORD> Descendants() const;

    std::wstring parent_, folder_, records_;
    bool ready_ = false;
    bool ownsParent_ = false;
    bool createdFolder_ = false;
    guidriver::Process process_;
    HWND panel_ = nullptr;
};

// The usual beginning of an unattended run: the copy made, a feedback library that opens
// no browser, the simulator set to `simulator`.
bool Prepare(ToolRun& run, const std::string& simulator);

// The firmware simulator's record of its last run in the tool's copy (tools/lumafwu/README.md).
inline std::wstring Ran(const ToolRun& run) { return run.Path(L"LUMAFWU\\LUMAFWU.ran"); }
// The number of a `key=` line of such a record (pid, start, exit) whose line end has been
// written: 0 when it has none, or while the simulator is still writing it.
unsigned long long RecordValue(const std::string& text, const std::string& key);
// The same, read from the copy's record.
unsigned long long RanValue(const ToolRun& run, const std::string& key);
// Creation time of a process as a FILETIME count, 0 when it cannot be read.
unsigned long long CreationTime(HANDLE process);

// Every file below a folder with its content, for checking that nothing was touched.
struct FileSnapshot {
    std::wstring relative;
    std::string bytes;
    bool operator==(const FileSnapshot& o) const { return relative == o.relative && bytes == o.bytes; }
};
std::vector<FileSnapshot> SnapshotTree(const std::wstring& folder);

// The tool log of this prefix: C:\ProgramData\ToolLog\Orvane 2020灯效闪烁修复工具.txt.
std::wstring ToolLogPath();
bool DeleteToolLog();
// The texts of its records (stamp removed), decoded from GBK, in file order.
std::vector<std::wstring> ToolLogRecords();

using support::SystemLanguage;
// LOGPIXELSY of the screen.
int ScreenDpi();
// The scale every window of the tool derives from the DPI.
float ToolScale();

// A Windows path below the build folder (ORV_BUILD), such as bin\timeout.exe.
std::wstring BuildPath(const std::wstring& relative);

// Saves the screen area of a window as <screens folder>\<name>.png; empty path on failure.
std::wstring SaveWindowShot(HWND window, const std::wstring& name);

// The keyboard focus and the active window of the thread that owns `window`.
HWND KeyboardFocus(HWND window);
HWND ActiveWindow(HWND window);
// Presses Tab (real input) until `control` has the keyboard focus of its thread; false
// when a round through the dialog's tab stops did not reach it.
bool FocusByTab(HWND control);

// The name a screen reader reads for a window of another process, asked as assistive
// technology asks: its accessible object through oleacc (AccessibleObjectFromWindow,
// then get_accName). "<no accessible object: HRESULT>" or "<no name>" when there is none.
std::wstring AccessibleName(HWND window);

// Lets `ms` pass while pumping messages: only to show that something does NOT happen.
void Idle(DWORD ms);

}  // namespace e2e
