#pragma once
#include <optional>
#include <string>
#include <vector>

namespace win {

// What a real library never comes near; a file beyond any of them is refused, so that a
// crafted one costs no more than a real one to read.
inline constexpr size_t kMaxPeImageBytes = 64u << 20;
// The Windows loader's own limit.
inline constexpr size_t kMaxPeSections = 96;
// Per import directory: a library names each library it imports once.
inline constexpr size_t kMaxPeImportDescriptors = 1024;
inline constexpr size_t kMaxPeImportNameLength = 260;

// The file names of the libraries a PE file imports, from its import directory and then
// its delay-import directory, as written there, each once (compared without case).
// Nothing when the file cannot be read, is not a PE image, or is beyond the limits above.
std::optional<std::vector<std::string>> ImportedLibraryNames(const std::wstring& path);

// The same from the bytes of a file.
std::optional<std::vector<std::string>> ImportedLibraryNamesIn(const std::string& image);

}  // namespace win
