#pragma once
#include <memory>
#include <string>

#include "log/LogSaveCloseFile.h"

// The one log name every record of the tool goes to, in code page 936.
std::string ToolLogName();

// Reads the "print" switch value the way the configuration file is read: blanks trimmed
// at both ends, then the leading decimal number; only 1 switches printing on.
bool ParsePrintFlag(const std::wstring& value);

// The process-wide logger. Records go to <common application data>\ToolLog\<name>.
class CLogSave {
public:
    static CLogSave* GetInstance();

    // A logger rooted at another base folder (with or without a trailing backslash) and
    // with another clock; the instance above uses the common application data folder.
    explicit CLogSave(const std::wstring& baseFolder, LocalTimeSource clock = LocalTimeSource());
    virtual ~CLogSave();
    CLogSave(const CLogSave&) = delete;
    CLogSave& operator=(const CLogSave&) = delete;

    void WriteLog(std::string text, std::string name, bool force);

    bool IsPrintEnabled() const { return m_bPrint; }
    const std::wstring& GetLogFolder() const { return m_strLogFolder; }

private:
    CLogSave();

    bool m_bPrint = false;
    std::wstring m_strLogFolder;
    std::unique_ptr<CLogBase> m_pSink;
};
