#include "log/Gbk.h"

#include <windows.h>

std::string Gbk(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int size = static_cast<int>(text.size());
    const int n = ::WideCharToMultiByte(kGbkCodePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return std::string();
    std::string bytes(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(kGbkCodePage, 0, text.data(), size, &bytes[0], n, nullptr, nullptr);
    return bytes;
}

std::string Gbk(const wchar_t* text)
{
    return text ? Gbk(std::wstring(text)) : std::string();
}

std::wstring FromGbk(const std::string& bytes)
{
    if (bytes.empty())
        return std::wstring();
    const int size = static_cast<int>(bytes.size());
    const int n = ::MultiByteToWideChar(kGbkCodePage, 0, bytes.data(), size, nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring text(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(kGbkCodePage, 0, bytes.data(), size, &text[0], n);
    return text;
}
