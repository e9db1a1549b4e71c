#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "repair/FlashGuard.h"

class CLogSave;

// Events of a repair run that are written to the tool log.
enum class RepairRecord {
    ThreadCreateFailed,
    CommandFailed,
    LogReadFailed,
    NoDevice,
    Failed,
};

// The record text for an event, in code page 936: Chinese for language 1, else English.
std::string RepairRecordText(RepairRecord record, int language);

// cd /d "<folder>\LUMAFWU" && .\LUMAFWU.exe /s
// Only once cmd.exe is in that folder, and only the firmware tool there: a bare name
// would be looked for in the current folder and on the PATH.
std::wstring BuildRepairCommand(const std::wstring& folder);

// Whether cmd.exe can be trusted to change into exactly "<folder>\LUMAFWU" with the
// command above. It expands %...% even inside the quotes (!...! stays as it is: the
// runner switches delayed expansion off), which could take it into another folder and
// to the LUMAFWU.exe there, run elevated; and it cannot enter a folder that is not on a
// drive or whose files' paths are too long.
bool IsUsableToolFolder(const std::wstring& folder);

// REPAIR_SUCCESS when text contains "Success", else REPAIR_NODEVICE when it contains
// "Can not Find Device", else REPAIR_FAILED; case-sensitive.
int ClassifyRepairText(const std::wstring& text);

// The same classification over a text that comes in pieces, of any total length: a
// phrase split between two pieces counts.
class CPhraseScanner {
public:
    void Scan(const wchar_t* text, size_t count);
    void Scan(const std::wstring& text) { Scan(text.data(), text.size()); }
    int Code() const;

private:
    std::wstring m_window;
    bool m_bSuccess = false;
    bool m_bNoDevice = false;
};

// A run keeps this much of the firmware tool's console output (about 8 s of reading with
// the pause after every chunk) and this many characters of its log for the outcome
// prompt; the phrases are looked for in all of both.
constexpr size_t kKeptConsoleBytes = 64 * 1024;
constexpr size_t kKeptLogChars = 64 * 1024;

// Removes every CR and LF at the end of text; inner line ends stay.
void TrimTrailingLineEnds(std::wstring& text);

// What tells one version of the firmware log from another. A log that is still the same
// file with the same size and last write after the firmware tool's run is one an earlier
// run left, not an answer of this one.
struct LogIdentity {
    bool exists = false;
    DWORD volume = 0;
    ULONGLONG fileIndex = 0;
    ULONGLONG size = 0;
    ULONGLONG lastWrite = 0;
    bool operator==(const LogIdentity& other) const;
    bool operator!=(const LogIdentity& other) const { return !(*this == other); }
};
LogIdentity ReadLogIdentity(const std::wstring& path);

// Reads a code-page-936 text file (UTF-8 when it starts with a UTF-8 byte-order mark)
// and hands its lines, each followed by CR LF, to sink in pieces, block by block.
// 1 on success, 0 when the file cannot be opened or, given an identity of an earlier
// version of it, is still that version.
int ReadLogLines(const std::wstring& path, const std::function<void(const std::wstring&)>& sink,
                 const LogIdentity* earlier = nullptr);

// Appends the lines of such a file to text, each followed by CR LF.
// 1 on success, 0 when the file cannot be opened.
int ReadLogText(const std::wstring& path, std::wstring& text);

// What a run came to. An unattended run turns it into its exit code.
enum class RepairOutcome {
    None,           // no run has ended yet
    Success,
    Failed,         // the log holds neither phrase
    NoDevice,
    CommandFailed,  // the firmware tool could not be run
    LogUnreadable,  // it left no log that could be opened
    Busy,           // another repair held the machine's lock for the whole wait
    OnBattery,      // nothing was run: the machine runs on its battery
};

// The state of the repair runs of one main panel, or of one unattended run (no panel:
// nothing is notified).
class CRepairContext {
public:
    int SetPanelWindow(HWND panel);
    void SetLanguage(int language) { m_nLanguage = language; }
    int GetLanguage() const { return m_nLanguage; }
    HWND GetPanelWindow() const { return m_hPanel; }
    const std::wstring& GetResultText() const { return m_strResultText; }
    RepairOutcome GetOutcome() const { return m_outcome; }
    // How long a run waits for another repair on this machine to end (CRepairLock);
    // INFINITE unless set.
    void SetLockWait(DWORD ms) { m_dwLockWaitMs = ms; }

    // Starts RunRepair on a worker thread nobody waits for. 1 when it started; 0 (and a
    // record) when the thread could not be created.
    int StartRepair();
    // The worker's routine: runs the firmware tool, reads its log, notifies the panel
    // and records every outcome but success. 1 after a success, otherwise 0. A run that
    // fails by exception before the panel heard of it ends as a command that could not
    // run: the panel is told REPAIR_FAILED (which closes its progress prompt) and the
    // record is written. Nothing is thrown.
    int RunRepair();

    // Where a run's test fault is called: as the run starts, once the firmware tool has
    // ended (the lock still held, its log not read), or once the panel has been told the
    // outcome (its record not yet written).
    enum class FaultStage { Start, ToolRan, OutcomeSent };

    // Test seams: the folder that holds LUMAFWU\ (instead of the executable's folder),
    // the logger (instead of CLogSave::GetInstance()), a fault called at one stage of
    // every run and one called inside the flash guard just before the firmware tool would
    // start (a test throws from them), and the platform calls around the flash.
    void SetToolFolderForTest(const std::wstring& folder) { m_strToolFolderForTest = folder; }
    void SetLogForTest(CLogSave* log) { m_pLogForTest = log; }
    void SetFaultForTest(FaultStage stage, std::function<void()> fault)
    {
        m_faultStage = stage;
        m_faultForTest = std::move(fault);
    }
    void SetFlashFaultForTest(std::function<void()> fault) { m_flashFaultForTest = std::move(fault); }
    void SetFlashCallsForTest(const FlashCalls& calls) { m_flashCalls = calls; }

private:
    int RunRepairSteps();
    // The firmware tool's run and the reading of its log, with the lock held.
    RepairOutcome RunLocked(const std::wstring& folder);
    // Tells the panel and writes the outcome's record; 1 for a success.
    int Conclude(RepairOutcome outcome);
    void Notify(int code);
    void Record(RepairRecord record) const;
    void FaultForTest(FaultStage stage) const;

    HWND m_hPanel = nullptr;
    int m_nLanguage = 0;
    std::wstring m_strResultText;
    std::wstring m_strToolFolderForTest;
    CLogSave* m_pLogForTest = nullptr;
    std::function<void()> m_faultForTest;
    FaultStage m_faultStage = FaultStage::Start;
    std::function<void()> m_flashFaultForTest;
    FlashCalls m_flashCalls;
    bool m_bNotified = false;  // the current run has sent its outcome
    RepairOutcome m_outcome = RepairOutcome::None;
    DWORD m_dwLockWaitMs = INFINITE;
};

DWORD WINAPI RepairThreadProc(LPVOID parameter);
