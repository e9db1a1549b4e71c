#pragma once
#include <cstddef>
#include <string>
#include <vector>

// Makes the bytes of a PE file with the import tables a test asks for, including ones
// that no linker writes, for tests of code that reads import tables.
namespace support {

struct PeCraft {
    bool is64 = true;
    // The import directory's names, in order.
    std::vector<std::string> imports;
    // The delay-import directory's names (relative addresses, as linkers write them now).
    std::vector<std::string> delayImports;
    // Section headers; only the last one holds data, so that a reader looking an
    // address up goes through all of them.
    size_t sections = 1;
    // Import descriptors added after those of `imports`, each naming its first library
    // again.
    size_t repeatedDescriptors = 0;
};

std::string CraftPe(const PeCraft& craft);

}  // namespace support
