#pragma once
#include <string>

class CObjectBase {
public:
    virtual ~CObjectBase() = default;
};

// One record in transit: the log file's name (relative to the log folder) and its text,
// both narrow strings in code page 936.
class CPacketLog : public CObjectBase {
public:
    void SetLogName(const std::string& name) { m_strLogName = name; }
    void SetLogText(const std::string& text) { m_strLogText = text; }
    std::string GetLogName() const { return m_strLogName; }
    std::string GetLogText() const { return m_strLogText; }

private:
    std::string m_strLogName;
    std::string m_strLogText;
};

// A destination for records. The log folder ends in a backslash.
class CLogBase {
public:
    explicit CLogBase(const std::wstring& logFolder) : m_strLogFolder(logFolder) {}
    virtual ~CLogBase() = default;
    virtual void WritePacket(const CPacketLog* packet) = 0;
    virtual void WriteText(std::string text, std::string name) = 0;

    const std::wstring& GetLogFolder() const { return m_strLogFolder; }

protected:
    std::wstring m_strLogFolder;
};
