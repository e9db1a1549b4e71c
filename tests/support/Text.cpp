#include "tests/support/Text.h"

#include <windows.h>

#include "tools/guidriver/GuiDriver.h"

namespace support {

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        at = end + 1;
    }
    return lines;
}

std::vector<std::wstring> Split(const std::wstring& text, const std::wstring& separator)
{
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        if (at == std::wstring::npos) {
            if (start < text.size())
                parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, at - start));
        start = at + separator.size();
    }
}

std::wstring FromCodePage(unsigned codePage, const std::string& bytes)
{
    if (bytes.empty())
        return L"";
    const int n = ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(n, L'\0');
    ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), &out[0], n);
    return out;
}

namespace {

std::wstring Unescape(const std::wstring& field)
{
    std::wstring out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != L'\\' || i + 1 == field.size()) {
            out += field[i];
            continue;
        }
        const wchar_t c = field[++i];
        out += c == L't' ? L'\t' : c == L'r' ? L'\r' : c == L'n' ? L'\n' : c;
    }
    return out;
}

}  // namespace

std::vector<JournalEntry> ReadJournal(const std::wstring& path)
{
    std::vector<JournalEntry> entries;
    for (const std::wstring& line : Split(FromCodePage(CP_UTF8, guidriver::ReadFileBytes(path)), L"\n")) {
        if (line.empty())
            continue;
        JournalEntry entry;
        for (const std::wstring& field : Split(line + L"\t", L"\t"))
            entry.push_back(Unescape(field));
        entries.push_back(entry);
    }
    return entries;
}

}  // namespace support
