#pragma once
#include <string>

// Log texts and names are narrow strings in code page 936, whatever the system's ANSI
// code page is; these convert explicitly so no process locale is involved.
constexpr unsigned kGbkCodePage = 936;

std::string Gbk(const wchar_t* text);
std::string Gbk(const std::wstring& text);
std::wstring FromGbk(const std::string& bytes);
