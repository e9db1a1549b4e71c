#include "log/LogSaveCloseFile.h"

#include <cstdio>
#include <mutex>

#include "log/Gbk.h"

std::string FormatLogRecord(const SYSTEMTIME& t, const std::string& text)
{
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "[%04d-%02d-%02d %02d:%02d:%02d %03dms]   ", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    std::string record(prefix);
    record.reserve(record.size() + text.size() + 3);
    // GBK trail bytes never take the value 0x0A, so this cannot split a character.
    for (char c : text + "\r\n") {
        if (c == '\n')
            record += '\r';
        record += c;
    }
    return record;
}

CLogSaveCloseFile::CLogSaveCloseFile(const std::wstring& logFolder, LocalTimeSource clock)
    : CLogBase(logFolder), m_clock(std::move(clock))
{
    if (!m_clock)
        m_clock = [](SYSTEMTIME& t) { ::GetLocalTime(&t); };
}

void CLogSaveCloseFile::WriteText(std::string text, std::string name)
{
    CPacketLog packet;
    packet.SetLogText(text);
    packet.SetLogName(name);
    WritePacket(&packet);
}

void CLogSaveCloseFile::WritePacket(const CPacketLog* packet)
{
    if (!packet)
        return;
    std::lock_guard<win::CriticalSection> hold(m_lock);
    try {
        WriteRecord(*packet);
    } catch (...) {
        // A record that cannot be written is dropped; the lock is released by the guard.
    }
}

bool CLogSaveCloseFile::AppendBytes(HANDLE file, const std::string& bytes)
{
    DWORD written = 0;
    return ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

void CLogSaveCloseFile::WriteRecord(const CPacketLog& packet)
{
    const std::wstring path = m_strLogFolder + FromGbk(packet.GetLogName());
    // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the current end,
    // even when another process appends to the same file meanwhile.
    win::UniqueHandle file(::CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return;
    SYSTEMTIME now = {};
    m_clock(now);
    AppendBytes(file.get(), FormatLogRecord(now, packet.GetLogText()));
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file.get(), &size) || static_cast<unsigned long long>(size.QuadPart) <= kLogSizeLimit)
        return;
    file.reset();
    const std::wstring backup = path + L"bak";
    ::MoveFileExW(path.c_str(), backup.c_str(), MOVEFILE_REPLACE_EXISTING);
}
