#include "tests/support/PeCraft.h"

#include <windows.h>

#include <cstring>

namespace support {

namespace {

constexpr DWORD kDataRva = 0x1000;

template <typename T>
void Put(std::string& bytes, size_t offset, const T& value)
{
    if (bytes.size() < offset + sizeof(T))
        bytes.resize(offset + sizeof(T), '\0');
    std::memcpy(&bytes[offset], &value, sizeof(T));
}

template <typename Optional>
void FillOptional(Optional& h, WORD magic, DWORD imports, DWORD delayImports)
{
    h.Magic = magic;
    h.SectionAlignment = 0x1000;
    h.FileAlignment = 0x200;
    h.NumberOfRvaAndSizes = IMAGE_NUMBEROF_DIRECTORY_ENTRIES;
    h.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress = imports;
    h.DataDirectory[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].VirtualAddress = delayImports;
}

}  // namespace

std::string CraftPe(const PeCraft& craft)
{
    // The data: import descriptors, a zero one, delay descriptors, a zero one, the names.
    const size_t descriptors = craft.imports.size() + (craft.imports.empty() ? 0 : craft.repeatedDescriptors);
    const size_t delayAt = (descriptors + 1) * sizeof(IMAGE_IMPORT_DESCRIPTOR);
    const size_t namesAt = delayAt + (craft.delayImports.size() + 1) * 32;
    std::string data(namesAt, '\0');
    std::vector<DWORD> importNames, delayNames;
    for (const std::string& name : craft.imports) {
        importNames.push_back(static_cast<DWORD>(kDataRva + data.size()));
        data += name + '\0';
    }
    for (const std::string& name : craft.delayImports) {
        delayNames.push_back(static_cast<DWORD>(kDataRva + data.size()));
        data += name + '\0';
    }
    for (size_t i = 0; i < descriptors; ++i) {
        IMAGE_IMPORT_DESCRIPTOR d = {};
        d.Name = i < importNames.size() ? importNames[i] : importNames[0];
        Put(data, i * sizeof(d), d);
    }
    for (size_t i = 0; i < delayNames.size(); ++i) {
        const DWORD fields[8] = {1, delayNames[i], 0, 0, 0, 0, 0, 0};
        Put(data, delayAt + i * sizeof(fields), fields);
    }

    std::string bytes;
    IMAGE_DOS_HEADER dos = {};
    dos.e_magic = IMAGE_DOS_SIGNATURE;
    dos.e_lfanew = sizeof(dos);
    Put(bytes, 0, dos);
    const size_t nt = sizeof(dos);
    Put(bytes, nt, static_cast<DWORD>(IMAGE_NT_SIGNATURE));
    IMAGE_FILE_HEADER file = {};
    file.Machine = craft.is64 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
    file.NumberOfSections = static_cast<WORD>(craft.sections);
    file.SizeOfOptionalHeader = static_cast<WORD>(craft.is64 ? sizeof(IMAGE_OPTIONAL_HEADER64) : sizeof(IMAGE_OPTIONAL_HEADER32));
    file.Characteristics = IMAGE_FILE_EXECUTABLE_IMAGE | IMAGE_FILE_DLL;
    Put(bytes, nt + 4, file);
    const size_t optional = nt + 4 + sizeof(file);
    const DWORD imports = craft.imports.empty() ? 0 : kDataRva;
    const DWORD delayImports = craft.delayImports.empty() ? 0 : static_cast<DWORD>(kDataRva + delayAt);
    if (craft.is64) {
        IMAGE_OPTIONAL_HEADER64 h = {};
        FillOptional(h, IMAGE_NT_OPTIONAL_HDR64_MAGIC, imports, delayImports);
        h.ImageBase = 0x180000000ULL;
        Put(bytes, optional, h);
    } else {
        IMAGE_OPTIONAL_HEADER32 h = {};
        FillOptional(h, IMAGE_NT_OPTIONAL_HDR32_MAGIC, imports, delayImports);
        h.ImageBase = 0x10000000;
        Put(bytes, optional, h);
    }
    const size_t headers = optional + file.SizeOfOptionalHeader;
    const size_t dataAt = (headers + craft.sections * sizeof(IMAGE_SECTION_HEADER) + 0x1FF) & ~size_t(0x1FF);
    for (size_t i = 0; i < craft.sections; ++i) {
        IMAGE_SECTION_HEADER s = {};
        std::memcpy(s.Name, ".data", 5);
        if (i + 1 == craft.sections) {
            s.VirtualAddress = kDataRva;
            s.Misc.VirtualSize = static_cast<DWORD>(data.size());
            s.PointerToRawData = static_cast<DWORD>(dataAt);
            s.SizeOfRawData = static_cast<DWORD>(data.size());
        }
        Put(bytes, headers + i * sizeof(s), s);
    }
    bytes.resize(dataAt, '\0');
    bytes += data;
    return bytes;
}

}  // namespace support
