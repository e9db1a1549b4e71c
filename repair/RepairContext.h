#pragma once
#include <windows.h>

#include <string>

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

// cd /d "<folder>\LUMAFWU" & LUMAFWU.exe /s
std::wstring BuildRepairCommand(const std::wstring& folder);

// REPAIR_SUCCESS when text contains "Success", else REPAIR_NODEVICE when it contains
// "Can not Find Device", else REPAIR_FAILED; case-sensitive.
int ClassifyRepairText(const std::wstring& text);

// Removes every CR and LF at the end of text; inner line ends stay.
void TrimTrailingLineEnds(std::wstring& text);

// Appends the lines of a code-page-936 text file to text, each followed by CR LF.
// 1 on success, 0 when the file cannot be opened.
int ReadLogText(const std::wstring& path, std::wstring& text);

// The state of the repair runs of one main panel.
class CRepairContext {
public:
    int SetPanelWindow(HWND panel);
    void SetLanguage(int language) { m_nLanguage = language; }
    int GetLanguage() const { return m_nLanguage; }
    HWND GetPanelWindow() const { return m_hPanel; }
    const std::wstring& GetResultText() const { return m_strResultText; }

    // Starts RunRepair on a worker thread nobody waits for. 1 when it started; 0 (and a
    // record) when the thread could not be created.
    int StartRepair();
    // The worker's routine: runs the firmware tool, reads its log, notifies the panel
    // and records every outcome but success. 1 after a success, otherwise 0.
    int RunRepair();

    // Test seams: the folder that holds LUMAFWU\ (instead of the executable's folder)
    // and the logger (instead of CLogSave::GetInstance()).
    void SetToolFolderForTest(const std::wstring& folder) { m_strToolFolderForTest = folder; }
    void SetLogForTest(CLogSave* log) { m_pLogForTest = log; }

private:
    void Notify(int code) const;
    void Record(RepairRecord record) const;

    HWND m_hPanel = nullptr;
    int m_nLanguage = 0;
    std::wstring m_strResultText;
    std::wstring m_strToolFolderForTest;
    CLogSave* m_pLogForTest = nullptr;
};

DWORD WINAPI RepairThreadProc(LPVOID parameter);
