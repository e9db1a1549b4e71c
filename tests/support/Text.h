#pragma once
#include <string>
#include <vector>

namespace support {

// The lines of a text, LF or CRLF separated, without their ends.
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace support
