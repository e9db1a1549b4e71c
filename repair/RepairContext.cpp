#include "repair/RepairContext.h"

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <memory>
#include <vector>

#include "dialogs/Messages.h"
#include "log/Gbk.h"
#include "log/LogSave.h"
#include "repair/CommandRunner.h"
#include "repair/ExeFolder.h"
#include "repair/PowerStatus.h"
#include "repair/RepairLock.h"
#include "win/Handle.h"

std::string RepairRecordText(RepairRecord record, int language)
{
    const bool chinese = language == 1;
    switch (record) {
    case RepairRecord::ThreadCreateFailed:
        return chinese ? Gbk(L"创建更新灯效闪烁失败") : "Failed to create a new thread process to call firmware tool";
    case RepairRecord::CommandFailed:
        return chinese ? Gbk(L"执行修复命令失败") : "Failed to call the firmware tool";
    case RepairRecord::LogReadFailed:
        // The "Ｌ" is the full-width letter U+FF2C (GBK A3 CC).
        return chinese ? Gbk(L"读取Ｌog文件失败") : "Failed to read log file";
    case RepairRecord::NoDevice:
        return chinese ? Gbk(L"无法检测到设备") : "Can not Find Device";
    case RepairRecord::Failed:
        return chinese ? Gbk(L"修复失败") : "Failed";
    }
    return std::string();
}

std::wstring BuildRepairCommand(const std::wstring& folder)
{
    return L"cd /d \"" + folder + L"\\LUMAFWU\" && .\\LUMAFWU.exe /s";
}

bool IsUsableToolFolder(const std::wstring& folder)
{
    // The longest path of a run: the log it reads, which also the firmware tool writes.
    const size_t longest = folder.size() + std::wstring(L"\\LUMAFWU\\LUMAFWUlog.txt").size();
    const bool drive = folder.size() >= 2 && std::iswalpha(folder[0]) && folder[1] == L':' &&
                       (folder.size() == 2 || folder[2] == L'\\');
    return drive && longest < MAX_PATH && folder.find(L'%') == std::wstring::npos;
}

void CPhraseScanner::Scan(const wchar_t* text, size_t count)
{
    static const std::wstring kSuccess = L"Success";
    static const std::wstring kNoDevice = L"Can not Find Device";
    // The tail of what came before, so that a phrase split between two pieces is found.
    const size_t overlap = kNoDevice.size() - 1;
    m_window.append(text, count);
    m_bSuccess = m_bSuccess || m_window.find(kSuccess) != std::wstring::npos;
    m_bNoDevice = m_bNoDevice || m_window.find(kNoDevice) != std::wstring::npos;
    if (m_window.size() > overlap)
        m_window.erase(0, m_window.size() - overlap);
}

int CPhraseScanner::Code() const
{
    return m_bSuccess ? REPAIR_SUCCESS : m_bNoDevice ? REPAIR_NODEVICE : REPAIR_FAILED;
}

int ClassifyRepairText(const std::wstring& text)
{
    CPhraseScanner scanner;
    scanner.Scan(text);
    return scanner.Code();
}

void TrimTrailingLineEnds(std::wstring& text)
{
    const size_t keep = text.find_last_not_of(L"\r\n");
    text.erase(keep == std::wstring::npos ? 0 : keep + 1);
}

namespace {

ULONGLONG Join(DWORD high, DWORD low)
{
    return (static_cast<ULONGLONG>(high) << 32) | low;
}

LogIdentity IdentityOf(HANDLE file)
{
    LogIdentity identity;
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!::GetFileInformationByHandle(file, &info))
        return identity;
    identity.exists = true;
    identity.volume = info.dwVolumeSerialNumber;
    identity.fileIndex = Join(info.nFileIndexHigh, info.nFileIndexLow);
    identity.size = Join(info.nFileSizeHigh, info.nFileSizeLow);
    identity.lastWrite = Join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime);
    return identity;
}

}  // namespace

bool LogIdentity::operator==(const LogIdentity& other) const
{
    return exists == other.exists && volume == other.volume && fileIndex == other.fileIndex && size == other.size &&
           lastWrite == other.lastWrite;
}

LogIdentity ReadLogIdentity(const std::wstring& path)
{
    // Its attributes only, shared every way: the firmware tool may open and replace the log
    // at will.
    win::UniqueHandle file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    return file ? IdentityOf(file.get()) : LogIdentity();
}

int ReadLogLines(const std::wstring& path, const std::function<void(const std::wstring&)>& sink,
                 const LogIdentity* earlier)
{
    win::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return 0;
    if (earlier && earlier->exists && IdentityOf(file.get()) == *earlier)
        return 0;
    // Block by block, so that a log of any size takes the same memory.
    std::vector<char> block(64 * 1024);
    DWORD count = 0;
    bool first = true;
    std::unique_ptr<CChunkDecoder> decoder;
    std::wstring decoded;
    std::wstring piece;
    bool pendingCr = false;
    bool lineOpen = false;
    const auto feed = [&](const std::wstring& text) {
        // Line by line as a text-mode reader delivers them: CR LF or LF ends a line and
        // comes out as CR LF; a CR elsewhere stays.
        piece.clear();
        for (wchar_t c : text) {
            if (pendingCr && c != L'\n')
                piece += L'\r';
            pendingCr = c == L'\r';
            if (pendingCr) {
                lineOpen = true;
                continue;
            }
            if (c == L'\n') {
                piece += L"\r\n";
                lineOpen = false;
            } else {
                piece += c;
                lineOpen = true;
            }
        }
        if (!piece.empty())
            sink(piece);
    };
    while (::ReadFile(file.get(), block.data(), static_cast<DWORD>(block.size()), &count, nullptr) && count > 0) {
        size_t skip = 0;
        if (first) {
            // Code page 936 explicitly (the process locale stays as it is for every other
            // thread); a log that says by its byte-order mark that it is UTF-8 is read so.
            const bool utf8 = count >= 3 && std::memcmp(block.data(), "\xEF\xBB\xBF", 3) == 0;
            decoder = std::make_unique<CChunkDecoder>(utf8 ? CP_UTF8 : kGbkCodePage);
            skip = utf8 ? 3 : 0;
            first = false;
        }
        decoded.clear();
        decoder->Feed(block.data() + skip, count - skip, decoded);
        feed(decoded);
    }
    decoded.clear();
    if (decoder)
        decoder->Finish(decoded);
    feed(decoded);
    // A CR at the very end belongs to the last line, and a last line without a line end
    // still counts.
    if (pendingCr)
        sink(L"\r");
    if (lineOpen)
        sink(L"\r\n");
    return 1;
}

int ReadLogText(const std::wstring& path, std::wstring& text)
{
    return ReadLogLines(path, [&text](const std::wstring& piece) { text += piece; });
}

int CRepairContext::SetPanelWindow(HWND panel)
{
    if (!panel)
        return 0;
    m_hPanel = panel;
    return 1;
}

int CRepairContext::StartRepair()
{
    HANDLE thread = ::CreateThread(nullptr, 0, RepairThreadProc, this, 0, nullptr);
    if (!thread) {
        Record(RepairRecord::ThreadCreateFailed);
        return 0;
    }
    ::CloseHandle(thread);
    return 1;
}

DWORD WINAPI RepairThreadProc(LPVOID parameter)
{
    static_cast<CRepairContext*>(parameter)->RunRepair();
    return 1;
}

void CRepairContext::Notify(int code)
{
    m_bNotified = true;
    if (m_hPanel) {
        ::SendMessageW(m_hPanel, WM_EXECUTE_PROMPT_CLOSE, 0, 0);
        ::SendMessageW(m_hPanel, WM_REPAIR_RESULT, static_cast<WPARAM>(code), 0);
    }
    FaultForTest(FaultStage::OutcomeSent);
}

void CRepairContext::FaultForTest(FaultStage stage) const
{
    if (m_faultForTest && m_faultStage == stage)
        m_faultForTest();
}

void CRepairContext::Record(RepairRecord record) const
{
    CLogSave* log = m_pLogForTest ? m_pLogForTest : CLogSave::GetInstance();
    log->WriteLog(RepairRecordText(record, m_nLanguage), ToolLogName(), true);
}

int CRepairContext::RunRepair()
{
    m_bNotified = false;
    m_outcome = RepairOutcome::None;
    try {
        return RunRepairSteps();
    } catch (...) {
    }
    // Without an outcome the progress prompt would stay up for good.
    try {
        if (!m_bNotified)
            Conclude(RepairOutcome::CommandFailed);
    } catch (...) {
    }
    return 0;
}

int CRepairContext::RunRepairSteps()
{
    FaultForTest(FaultStage::Start);
    const std::wstring folder = m_strToolFolderForTest.empty() ? GetExeFolder() : m_strToolFolderForTest;
    RepairOutcome outcome = RepairOutcome::CommandFailed;
    {
        CRepairLock lock;
        const LockResult locked = lock.Acquire(m_dwLockWaitMs);
        if (locked == LockResult::Acquired)
            outcome = RunLocked(folder);
        else if (locked == LockResult::TimedOut)
            outcome = RepairOutcome::Busy;
        // Released before the outcome prompt, which waits for the user.
    }
    return Conclude(outcome);
}

int CRepairContext::Conclude(RepairOutcome outcome)
{
    m_outcome = outcome;
    switch (outcome) {
    case RepairOutcome::Success:
        Notify(REPAIR_SUCCESS);
        return 1;
    case RepairOutcome::NoDevice:
        Notify(REPAIR_NODEVICE);
        Record(RepairRecord::NoDevice);
        return 0;
    case RepairOutcome::Failed:
        Notify(REPAIR_FAILED);
        Record(RepairRecord::Failed);
        return 0;
    case RepairOutcome::LogUnreadable:
        Notify(REPAIR_FAILED);
        Record(RepairRecord::LogReadFailed);
        return 0;
    case RepairOutcome::Busy:
        // Nothing was run, so there is nothing to record.
        m_strResultText.clear();
        Notify(REPAIR_FAILED);
        return 0;
    case RepairOutcome::OnBattery:
        m_strResultText.clear();
        Notify(REPAIR_ON_BATTERY);
        return 0;
    case RepairOutcome::None:
    case RepairOutcome::CommandFailed:
        break;
    }
    // No text of an earlier run may stand for this one.
    m_outcome = RepairOutcome::CommandFailed;
    m_strResultText.clear();
    Notify(REPAIR_FAILED);
    Record(RepairRecord::CommandFailed);
    return 0;
}

RepairOutcome CRepairContext::RunLocked(const std::wstring& folder)
{
    std::wstring collected;
    CPhraseScanner scanner;
    // The console output past what is kept is still looked through, after the kept part.
    bool keptScanned = false;
    const auto overflow = [&](const std::wstring& text) {
        if (!keptScanned)
            scanner.Scan(collected);
        keptScanned = true;
        scanner.Scan(text);
    };
    if (!IsUsableToolFolder(folder))
        return RepairOutcome::CommandFailed;
    // A flash cut off by a flat battery can leave the device without working firmware.
    if (MachineRunsOnBattery())
        return RepairOutcome::OnBattery;
    const std::wstring path = folder + L"\\LUMAFWU\\LUMAFWUlog.txt";
    const LogIdentity earlier = ReadLogIdentity(path);
    // Without the firmware tool in place nothing is started, and the run goes on to the
    // log as if the tool had written none.
    const DWORD attributes = ::GetFileAttributesW((folder + L"\\LUMAFWU\\LUMAFWU.exe").c_str());
    const bool present = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    if (present) {
        const CFlashGuard flash(m_flashCalls, m_hPanel);
        if (m_flashFaultForTest)
            m_flashFaultForTest();
        // Started in the firmware folder as well: a command processor that went on after
        // a failed "cd" (Wine's ignores "&&") still finds no other LUMAFWU.exe.
        if (!RunCommandLimited(BuildRepairCommand(folder), collected, kKeptConsoleBytes, overflow,
                               folder + L"\\LUMAFWU"))
            return RepairOutcome::CommandFailed;
        FaultForTest(FaultStage::ToolRan);
    }
    if (!keptScanned)
        scanner.Scan(collected);

    m_strResultText.clear();
    size_t logKept = 0;
    const int read = ReadLogLines(
        path,
        [&](const std::wstring& piece) {
            scanner.Scan(piece);
            const size_t take = std::min(piece.size(), kKeptLogChars - logKept);
            collected.append(piece, 0, take);
            logKept += take;
        },
        &earlier);
    if (!read)
        return RepairOutcome::LogUnreadable;
    m_strResultText = collected;
    TrimTrailingLineEnds(m_strResultText);

    const int code = scanner.Code();
    return code == REPAIR_SUCCESS ? RepairOutcome::Success
         : code == REPAIR_NODEVICE ? RepairOutcome::NoDevice : RepairOutcome::Failed;
}
