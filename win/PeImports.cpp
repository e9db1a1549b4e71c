#include "win/PeImports.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "win/Handle.h"

namespace win {

namespace {

template <typename T>
bool ReadAt(const std::string& image, size_t offset, T& out)
{
    if (offset > image.size() || image.size() - offset < sizeof(T))
        return false;
    std::memcpy(&out, image.data() + offset, sizeof(T));
    return true;
}

// IMAGE_DELAYLOAD_DESCRIPTOR, the same in both formats; the toolchain's headers differ
// in whether and how they declare it.
struct DelayDescriptor {
    DWORD attributes;
    DWORD name;
    DWORD module;
    DWORD addresses;
    DWORD names;
    DWORD boundAddresses;
    DWORD unloadAddresses;
    DWORD timeStamp;
};
static_assert(sizeof(DelayDescriptor) == 32, "the delay descriptor is 32 bytes");

// Set in its attributes when the descriptor holds relative addresses; without it (old
// linkers) they are virtual addresses.
constexpr DWORD kDelayRvaBased = 1;

class ImportReader {
public:
    explicit ImportReader(const std::string& image) : m_image(image) {}

    // False when the image is no PE file or beyond the limits.
    bool ReadHeaders()
    {
        IMAGE_DOS_HEADER dos;
        if (!ReadAt(m_image, 0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0)
            return false;
        const size_t nt = static_cast<size_t>(dos.e_lfanew);
        DWORD signature = 0;
        IMAGE_FILE_HEADER file;
        WORD magic = 0;
        const size_t optional = nt + 4 + sizeof(IMAGE_FILE_HEADER);
        if (!ReadAt(m_image, nt, signature) || signature != IMAGE_NT_SIGNATURE || !ReadAt(m_image, nt + 4, file) ||
            !ReadAt(m_image, optional, magic))
            return false;
        if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
            IMAGE_OPTIONAL_HEADER64 h;
            if (!ReadAt(m_image, optional, h))
                return false;
            ReadDirectories(h.DataDirectory, h.NumberOfRvaAndSizes);
            m_imageBase = h.ImageBase;
        } else if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
            IMAGE_OPTIONAL_HEADER32 h;
            if (!ReadAt(m_image, optional, h))
                return false;
            ReadDirectories(h.DataDirectory, h.NumberOfRvaAndSizes);
            m_imageBase = h.ImageBase;
        } else {
            return false;
        }
        if (file.NumberOfSections > kMaxPeSections)
            return false;
        m_sections = optional + file.SizeOfOptionalHeader;
        m_sectionCount = file.NumberOfSections;
        return true;
    }

    // Adds the names of both directories; false when either has more entries than allowed.
    bool ReadNames(std::vector<std::string>& names)
    {
        size_t at = 0;
        if (m_imports != 0 && OffsetOf(m_imports, at)) {
            size_t count = 0;
            for (IMAGE_IMPORT_DESCRIPTOR d; ReadAt(m_image, at, d) && d.Name != 0; at += sizeof(d)) {
                if (++count > kMaxPeImportDescriptors)
                    return false;
                if (!Add(d.Name, names))
                    break;
            }
        }
        if (m_delayImports != 0 && OffsetOf(m_delayImports, at)) {
            size_t count = 0;
            for (DelayDescriptor d; ReadAt(m_image, at, d) && d.name != 0; at += sizeof(d)) {
                if (++count > kMaxPeImportDescriptors)
                    return false;
                DWORD rva = d.name;
                if (!(d.attributes & kDelayRvaBased)) {
                    if (d.name < m_imageBase)
                        break;
                    rva = static_cast<DWORD>(d.name - m_imageBase);
                }
                if (!Add(rva, names))
                    break;
            }
        }
        return true;
    }

private:
    void ReadDirectories(const IMAGE_DATA_DIRECTORY* directories, DWORD count)
    {
        if (count > IMAGE_DIRECTORY_ENTRY_IMPORT)
            m_imports = directories[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
        if (count > IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT)
            m_delayImports = directories[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].VirtualAddress;
    }

    bool OffsetOf(DWORD rva, size_t& offset) const
    {
        for (size_t i = 0; i < m_sectionCount; ++i) {
            IMAGE_SECTION_HEADER s;
            if (!ReadAt(m_image, m_sections + i * sizeof(s), s))
                return false;
            if (rva >= s.VirtualAddress && rva - s.VirtualAddress < s.SizeOfRawData) {
                offset = static_cast<size_t>(s.PointerToRawData) + (rva - s.VirtualAddress);
                return offset < m_image.size();
            }
        }
        return false;
    }

    // Adds the name at `rva` unless it is there already; false when it cannot be read.
    bool Add(DWORD rva, std::vector<std::string>& names)
    {
        size_t at = 0;
        if (!OffsetOf(rva, at))
            return false;
        const size_t room = std::min(m_image.size() - at, kMaxPeImportNameLength + 1);
        const void* end = std::memchr(m_image.data() + at, '\0', room);
        if (!end || end == m_image.data() + at)
            return false;
        std::string name(m_image.data() + at, static_cast<const char*>(end));
        std::string key = name;
        for (char& c : key)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (m_seen.insert(key).second)
            names.push_back(std::move(name));
        return true;
    }

    const std::string& m_image;
    size_t m_sections = 0;
    size_t m_sectionCount = 0;
    ULONGLONG m_imageBase = 0;
    DWORD m_imports = 0;
    DWORD m_delayImports = 0;
    std::set<std::string> m_seen;
};

}  // namespace

std::optional<std::vector<std::string>> ImportedLibraryNamesIn(const std::string& image)
{
    if (image.size() > kMaxPeImageBytes)
        return std::nullopt;
    ImportReader reader(image);
    std::vector<std::string> names;
    if (!reader.ReadHeaders() || !reader.ReadNames(names))
        return std::nullopt;
    return names;
}

std::optional<std::vector<std::string>> ImportedLibraryNames(const std::wstring& path)
{
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 ||
        static_cast<ULONGLONG>(size.QuadPart) > kMaxPeImageBytes)
        return std::nullopt;
    std::string image(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!::ReadFile(file.get(), &image[0], static_cast<DWORD>(image.size()), &read, nullptr) || read != image.size())
        return std::nullopt;
    return ImportedLibraryNamesIn(image);
}

}  // namespace win
