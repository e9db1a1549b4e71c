#include "repair/RepairContext.h"

#include "log/Gbk.h"
#include "log/LogSave.h"
#include "repair/CommandRunner.h"
#include "repair/ExeFolder.h"
#include "repair/Messages.h"
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
    return L"cd /d \"" + folder + L"\\LUMAFWU\" & LUMAFWU.exe /s";
}

int ClassifyRepairText(const std::wstring& text)
{
    if (text.find(L"Success") != std::wstring::npos)
        return REPAIR_SUCCESS;
    if (text.find(L"Can not Find Device") != std::wstring::npos)
        return REPAIR_NODEVICE;
    return REPAIR_FAILED;
}

void TrimTrailingLineEnds(std::wstring& text)
{
    const size_t keep = text.find_last_not_of(L"\r\n");
    text.erase(keep == std::wstring::npos ? 0 : keep + 1);
}

int ReadLogText(const std::wstring& path, std::wstring& text)
{
    win::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return 0;
    std::string bytes;
    char block[4096];
    DWORD count = 0;
    while (::ReadFile(file.get(), block, sizeof block, &count, nullptr) && count > 0)
        bytes.append(block, count);
    file.reset();

    // Code page 936 explicitly: the process locale stays as it is for every other thread.
    CChunkDecoder decoder(kGbkCodePage);
    std::wstring content;
    decoder.Feed(bytes.data(), bytes.size(), content);
    decoder.Finish(content);

    // Line by line as a text-mode reader delivers them: CR LF or LF ends a line, and a
    // last line without a line end still counts.
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find(L'\n', start);
        const size_t next = end == std::wstring::npos ? content.size() : end + 1;
        if (end == std::wstring::npos)
            end = content.size();
        else if (end > start && content[end - 1] == L'\r')
            --end;
        text.append(content, start, end - start);
        text += L"\r\n";
        start = next;
    }
    return 1;
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
    try {
        static_cast<CRepairContext*>(parameter)->RunRepair();
    } catch (...) {
        // Nothing may leave the thread; a run that failed this way has no outcome.
    }
    return 1;
}

void CRepairContext::Notify(int code) const
{
    ::SendMessageW(m_hPanel, WM_EXECUTE_PROMPT_CLOSE, 0, 0);
    ::SendMessageW(m_hPanel, WM_REPAIR_RESULT, static_cast<WPARAM>(code), 0);
}

void CRepairContext::Record(RepairRecord record) const
{
    CLogSave* log = m_pLogForTest ? m_pLogForTest : CLogSave::GetInstance();
    log->WriteLog(RepairRecordText(record, m_nLanguage), ToolLogName(), true);
}

int CRepairContext::RunRepair()
{
    const std::wstring folder = m_strToolFolderForTest.empty() ? GetExeFolder() : m_strToolFolderForTest;
    std::wstring collected;
    if (!RunCommand(BuildRepairCommand(folder), collected)) {
        // No text of an earlier run may stand for this one.
        m_strResultText.clear();
        Notify(REPAIR_FAILED);
        Record(RepairRecord::CommandFailed);
        return 0;
    }

    const std::wstring path = folder + L"\\LUMAFWU\\LUMAFWUlog.txt";
    m_strResultText.clear();
    if (!ReadLogText(path, collected)) {
        Notify(REPAIR_FAILED);
        Record(RepairRecord::LogReadFailed);
        return 0;
    }
    m_strResultText = collected;
    TrimTrailingLineEnds(m_strResultText);

    const int code = ClassifyRepairText(collected);
    Notify(code);
    if (code == REPAIR_NODEVICE)
        Record(RepairRecord::NoDevice);
    else if (code == REPAIR_FAILED)
        Record(RepairRecord::Failed);
    return code == REPAIR_SUCCESS ? 1 : 0;
}
