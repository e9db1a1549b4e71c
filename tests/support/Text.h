#pragma once
#include <string>
#include <vector>

namespace support {

// The lines of a text, LF or CRLF separated, without their ends.
std::vector<std::string> SplitLines(const std::string& text);

// The parts of a text between separators; an empty last part is left out.
std::vector<std::wstring> Split(const std::wstring& text, const std::wstring& separator);

// Bytes in a code page (CP_UTF8, 936, ...) as UTF-16.
std::wstring FromCodePage(unsigned codePage, const std::string& bytes);

// One call recorded by the feedback library stand-in: its name, then its arguments.
using JournalEntry = std::vector<std::wstring>;
// The stand-in's journal file (UTF-8, a call a line, tab-separated fields in which
// backslash, tab, CR and LF are escaped), one entry a call; empty when there is none.
std::vector<JournalEntry> ReadJournal(const std::wstring& path);

}  // namespace support
