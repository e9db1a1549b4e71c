#include "win/PeImports.h"

#include <windows.h>

#include <cstring>

#include "win/Handle.h"

namespace win {

namespace {

// Large enough for any library a vendor ships; a larger file is not read at all.
constexpr DWORD kMaxImageBytes = 64u << 20;

template <typename T>
bool ReadAt(const std::string& image, size_t offset, T& out)
{
    if (offset > image.size() || image.size() - offset < sizeof(T))
        return false;
    std::memcpy(&out, image.data() + offset, sizeof(T));
    return true;
}

}  // namespace

std::vector<std::string> ImportedLibraryNamesIn(const std::string& image)
{
    std::vector<std::string> names;
    IMAGE_DOS_HEADER dos;
    if (!ReadAt(image, 0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0)
        return names;
    const size_t nt = static_cast<size_t>(dos.e_lfanew);
    DWORD signature = 0;
    IMAGE_FILE_HEADER file;
    WORD magic = 0;
    const size_t optional = nt + 4 + sizeof(IMAGE_FILE_HEADER);
    if (!ReadAt(image, nt, signature) || signature != IMAGE_NT_SIGNATURE || !ReadAt(image, nt + 4, file) ||
        !ReadAt(image, optional, magic))
        return names;
    IMAGE_DATA_DIRECTORY imports{};
    if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        IMAGE_OPTIONAL_HEADER64 h;
        if (!ReadAt(image, optional, h) || h.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_IMPORT)
            return names;
        imports = h.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    } else if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
        IMAGE_OPTIONAL_HEADER32 h;
        if (!ReadAt(image, optional, h) || h.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_IMPORT)
            return names;
        imports = h.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    } else {
        return names;
    }
    const size_t sections = optional + file.SizeOfOptionalHeader;
    auto offsetOf = [&](DWORD rva, size_t& offset) {
        for (WORD i = 0; i < file.NumberOfSections; ++i) {
            IMAGE_SECTION_HEADER s;
            if (!ReadAt(image, sections + i * sizeof(s), s))
                return false;
            if (rva >= s.VirtualAddress && rva - s.VirtualAddress < s.SizeOfRawData) {
                offset = s.PointerToRawData + (rva - s.VirtualAddress);
                return offset < image.size();
            }
        }
        return false;
    };
    size_t at = 0;
    if (imports.VirtualAddress == 0 || !offsetOf(imports.VirtualAddress, at))
        return names;
    for (IMAGE_IMPORT_DESCRIPTOR d; ReadAt(image, at, d) && d.Name != 0; at += sizeof(d)) {
        size_t name = 0;
        if (!offsetOf(d.Name, name))
            break;
        const size_t end = image.find('\0', name);
        if (end == std::string::npos || end - name > MAX_PATH)
            break;
        names.push_back(image.substr(name, end - name));
    }
    return names;
}

std::vector<std::string> ImportedLibraryNames(const std::wstring& path)
{
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 || size.QuadPart > kMaxImageBytes)
        return {};
    std::string image(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!::ReadFile(file.get(), &image[0], static_cast<DWORD>(image.size()), &read, nullptr) || read != image.size())
        return {};
    return ImportedLibraryNamesIn(image);
}

}  // namespace win
