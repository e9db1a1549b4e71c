#include "log/LogSave.h"

#include <windows.h>
#include <shlobj.h>

#include <cwctype>
#include <cstdlib>
#include <vector>

#include "log/Gbk.h"

namespace {

std::wstring CommonAppDataFolder()
{
    std::vector<wchar_t> path(1024, L'\0');
    if (!::SHGetSpecialFolderPathW(nullptr, path.data(), CSIDL_COMMON_APPDATA, FALSE))
        return std::wstring();
    return std::wstring(path.data()) + L"\\";
}

std::wstring WithBackslash(const std::wstring& folder)
{
    if (folder.empty() || folder.back() == L'\\')
        return folder;
    return folder + L"\\";
}

}  // namespace

std::string ToolLogName()
{
    return Gbk(L"Orvane 2020灯效闪烁修复工具.txt");
}

bool ParsePrintFlag(const std::wstring& value)
{
    size_t first = 0;
    size_t last = value.size();
    while (first < last && std::iswspace(value[first]))
        ++first;
    while (last > first && std::iswspace(value[last - 1]))
        --last;
    return _wtoi(value.substr(first, last - first).c_str()) == 1;
}

CLogSave* CLogSave::GetInstance()
{
    static CLogSave instance;
    return &instance;
}

CLogSave::CLogSave() : CLogSave(CommonAppDataFolder()) {}

CLogSave::CLogSave(const std::wstring& baseFolder, LocalTimeSource clock)
{
    const std::wstring base = WithBackslash(baseFolder);
    m_strLogFolder = base + L"ToolLog";
    if (::GetFileAttributesW(m_strLogFolder.c_str()) == INVALID_FILE_ATTRIBUTES)
        ::CreateDirectoryW(m_strLogFolder.c_str(), nullptr);
    m_strLogFolder += L"\\";

    const std::wstring config = base + L"logCfg.ini";
    wchar_t value[100] = {};
    ::GetPrivateProfileStringW(L"Log", L"print", L"-1", value, 100, config.c_str());
    m_bPrint = ParsePrintFlag(value);

    m_pSink = std::make_unique<CLogSaveCloseFile>(m_strLogFolder, std::move(clock));
}

CLogSave::~CLogSave() = default;

void CLogSave::WriteLog(std::string text, std::string name, bool force)
{
    if (!m_pSink || !(force || m_bPrint))
        return;
    try {
        m_pSink->WriteText(std::move(text), std::move(name));
    } catch (...) {
        // No failure of the log reaches its callers.
    }
}
