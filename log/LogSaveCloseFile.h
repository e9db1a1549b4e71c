#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "log/LogBase.h"
#include "win/Handle.h"

using LocalTimeSource = std::function<void(SYSTEMTIME&)>;

constexpr unsigned long long kLogSizeLimit = 6020000;  // bytes, not 6 MiB

// The bytes of one record: "[YYYY-MM-DD hh:mm:ss mmmms]", three blanks, the text and a
// line end. Line feeds are stored as CR LF, so the record ends in CR CR LF.
std::string FormatLogRecord(const SYSTEMTIME& time, const std::string& text);

// The sink the logger uses: every record opens the file, appends, checks the size
// (moving the file to name + "bak" above the limit) and closes it, all under one lock.
class CLogSaveCloseFile : public CLogBase {
public:
    explicit CLogSaveCloseFile(const std::wstring& logFolder, LocalTimeSource clock = LocalTimeSource());
    void WritePacket(const CPacketLog* packet) override;
    void WriteText(std::string text, std::string name) override;

protected:
    // Appends the record's bytes to the open file; false when the write failed.
    virtual bool AppendBytes(HANDLE file, const std::string& bytes);

private:
    void WriteRecord(const CPacketLog& packet);

    win::CriticalSection m_lock;
    LocalTimeSource m_clock;
};
