#pragma once
#include <string>

namespace support {

std::string ReadBytes(const std::wstring& path, bool* ok = nullptr);
void WriteBytes(const std::wstring& path, const std::string& bytes);
bool PathExists(const std::wstring& path);
void RemoveTree(const std::wstring& path);

// A fresh folder under %TEMP% whose name holds a blank and Chinese characters, removed
// with everything in it at the end of the test.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::wstring& Path() const { return m_path; }
    std::wstring operator/(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

}  // namespace support
