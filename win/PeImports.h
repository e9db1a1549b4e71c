#pragma once
#include <string>
#include <vector>

namespace win {

// The file names of the libraries a PE file imports (its import directory, as written
// there); empty when the file cannot be read or is not a PE image.
std::vector<std::string> ImportedLibraryNames(const std::wstring& path);

// The same from the bytes of a file.
std::vector<std::string> ImportedLibraryNamesIn(const std::string& image);

}  // namespace win
