#include "tests/support/PeImage.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <sstream>

#include "tools/guidriver/GuiDriver.h"

namespace support {

namespace {

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string Hex(uint64_t v)
{
    std::ostringstream out;
    out << "0x" << std::hex << v;
    return out.str();
}

// Field offsets of IMAGE_DELAYLOAD_DESCRIPTOR (32 bytes, the same in both formats).
constexpr uint32_t kDelayAttributes = 0, kDelayName = 4, kDelayIat = 12, kDelayInt = 16, kDelaySize = 32;

}  // namespace

PeImage::PeImage(const std::wstring& path) : m_bytes(guidriver::ReadFileBytes(path))
{
    m_ok = Parse();
}

bool PeImage::Parse()
{
    if (m_bytes.size() < sizeof(IMAGE_DOS_HEADER))
        return false;
    IMAGE_DOS_HEADER dos;
    std::memcpy(&dos, m_bytes.data(), sizeof(dos));
    const size_t nt = static_cast<size_t>(dos.e_lfanew);
    if (dos.e_magic != IMAGE_DOS_SIGNATURE || nt + 4 + sizeof(IMAGE_FILE_HEADER) + sizeof(IMAGE_OPTIONAL_HEADER64) > m_bytes.size())
        return false;
    IMAGE_FILE_HEADER file;
    std::memcpy(&file, m_bytes.data() + nt + 4, sizeof(file));
    const size_t optional = nt + 4 + sizeof(IMAGE_FILE_HEADER);
    WORD magic = 0;
    std::memcpy(&magic, m_bytes.data() + optional, sizeof(magic));
    IMAGE_DATA_DIRECTORY dirs[IMAGE_NUMBEROF_DIRECTORY_ENTRIES] = {};
    if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        IMAGE_OPTIONAL_HEADER64 h;
        std::memcpy(&h, m_bytes.data() + optional, sizeof(h));
        m_is64 = true;
        m_imageBase = h.ImageBase;
        std::memcpy(dirs, h.DataDirectory, sizeof(dirs));
    } else if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
        IMAGE_OPTIONAL_HEADER32 h;
        std::memcpy(&h, m_bytes.data() + optional, sizeof(h));
        m_imageBase = h.ImageBase;
        std::memcpy(dirs, h.DataDirectory, sizeof(dirs));
    } else {
        return false;
    }
    const size_t table = optional + file.SizeOfOptionalHeader;
    if (table + file.NumberOfSections * sizeof(IMAGE_SECTION_HEADER) > m_bytes.size())
        return false;
    for (WORD i = 0; i < file.NumberOfSections; ++i) {
        IMAGE_SECTION_HEADER s;
        std::memcpy(&s, m_bytes.data() + table + i * sizeof(s), sizeof(s));
        m_raw.push_back({s.VirtualAddress, s.Misc.VirtualSize, s.PointerToRawData, s.SizeOfRawData});
        PeSection section;
        section.name.assign(reinterpret_cast<const char*>(s.Name), strnlen(reinterpret_cast<const char*>(s.Name), 8));
        section.rva = s.VirtualAddress;
        section.size = std::max(s.Misc.VirtualSize, s.SizeOfRawData);
        section.executable = (s.Characteristics & IMAGE_SCN_MEM_EXECUTE) != 0;
        m_sections.push_back(section);
    }
    m_iatBegin = dirs[IMAGE_DIRECTORY_ENTRY_IAT].VirtualAddress;
    m_iatEnd = m_iatBegin + dirs[IMAGE_DIRECTORY_ENTRY_IAT].Size;
    if (dirs[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress)
        ReadImports(dirs[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
    if (dirs[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].VirtualAddress)
        ReadDelayImports(dirs[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].VirtualAddress);
    else
        ReadLinkedDelaySlots();
    return true;
}

void PeImage::ReadLinkedDelaySlots()
{
    // GNU ld writes no delay-load directory for dlltool's delay libraries: their slots
    // sit in the import address table among the ordinary ones, and their name entries
    // in the import name table, in the same order. The first ordinary import gives the
    // distance between the two tables.
    const auto first = std::find_if(m_slots.begin(), m_slots.end(), [](const ImportSlot& s) { return !s.delayed; });
    if (first == m_slots.end() || m_nameTableOfFirst == 0)
        return;
    const uint32_t step = m_is64 ? 8 : 4;
    const int64_t toNames = static_cast<int64_t>(m_nameTableOfFirst) - first->rva;
    std::vector<ImportSlot> found;
    for (uint32_t rva = m_iatBegin; rva + step <= m_iatEnd; rva += step) {
        if (std::any_of(m_slots.begin(), m_slots.end(), [rva](const ImportSlot& s) { return s.rva == rva; }))
            continue;
        const uint64_t entry = Pointer(static_cast<uint32_t>(rva + toNames));
        if (entry == 0 || entry >= 0x80000000u)
            continue;
        ImportSlot slot;
        slot.rva = rva;
        slot.function = CString(static_cast<uint32_t>(entry) + 2);
        slot.delayed = true;
        slot.value = Pointer(rva);
        found.push_back(slot);
    }
    m_slots.insert(m_slots.end(), found.begin(), found.end());
}

size_t PeImage::Offset(uint32_t rva) const
{
    for (const RawSection& s : m_raw) {
        if (rva >= s.rva && rva < s.rva + std::max(s.virtualSize, s.rawSize))
            return rva - s.rva < s.rawSize ? s.fileOffset + (rva - s.rva) : std::string::npos;
    }
    return std::string::npos;
}

uint32_t PeImage::U32(uint32_t rva) const
{
    const size_t at = Offset(rva);
    uint32_t v = 0;
    if (at != std::string::npos && at + 4 <= m_bytes.size())
        std::memcpy(&v, m_bytes.data() + at, 4);
    return v;
}

uint64_t PeImage::Pointer(uint32_t rva) const
{
    if (!m_is64)
        return U32(rva);
    return U32(rva) | (static_cast<uint64_t>(U32(rva + 4)) << 32);
}

std::string PeImage::CString(uint32_t rva) const
{
    const size_t at = Offset(rva);
    if (at == std::string::npos || at >= m_bytes.size())
        return {};
    return std::string(m_bytes.c_str() + at, strnlen(m_bytes.c_str() + at, m_bytes.size() - at));
}

void PeImage::ReadThunks(const std::string& library, uint32_t names, uint32_t addresses, bool delayed)
{
    const uint32_t step = m_is64 ? 8 : 4;
    const uint64_t ordinalFlag = m_is64 ? IMAGE_ORDINAL_FLAG64 : IMAGE_ORDINAL_FLAG32;
    for (uint32_t i = 0;; ++i) {
        const uint64_t entry = Pointer(names + i * step);
        if (entry == 0 || i > 100000)
            break;
        ImportSlot slot;
        slot.rva = addresses + i * step;
        slot.library = library;
        slot.function = (entry & ordinalFlag) ? "#" + std::to_string(entry & 0xffff)
                                              : CString(static_cast<uint32_t>(entry) + 2);
        slot.delayed = delayed;
        slot.value = Pointer(slot.rva);
        m_slots.push_back(slot);
    }
}

void PeImage::ReadImports(uint32_t rva)
{
    for (;; rva += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const uint32_t names = U32(rva), name = U32(rva + 12), addresses = U32(rva + 16);
        if (name == 0)
            break;
        const std::string library = Lower(CString(name));
        if (m_libraries.empty())
            m_nameTableOfFirst = names;
        m_libraries.push_back(library);
        ReadThunks(library, names ? names : addresses, addresses, false);
    }
}

void PeImage::ReadDelayImports(uint32_t rva)
{
    for (;; rva += kDelaySize) {
        const uint32_t attributes = U32(rva + kDelayAttributes);
        uint32_t name = U32(rva + kDelayName), addresses = U32(rva + kDelayIat), names = U32(rva + kDelayInt);
        if (name == 0)
            break;
        // Old-style descriptors hold addresses, not relative ones.
        if (!(attributes & 1)) {
            const uint32_t base = static_cast<uint32_t>(m_imageBase);
            name -= base;
            addresses -= base;
            names -= base;
        }
        ReadThunks(Lower(CString(name)), names, addresses, true);
    }
}

const PeSection* PeImage::SectionAt(uint32_t rva) const
{
    for (const PeSection& s : m_sections) {
        if (rva >= s.rva && rva < s.rva + s.size)
            return &s;
    }
    return nullptr;
}

std::vector<std::string> PeImage::ImportedLibraries() const
{
    return m_libraries;
}

std::vector<SlotReference> PeImage::SlotReferences() const
{
    std::vector<SlotReference> refs;
    for (const RawSection& raw : m_raw) {
        const PeSection* section = SectionAt(raw.rva);
        if (!section || !section->executable || raw.fileOffset + raw.rawSize > m_bytes.size())
            continue;
        const auto* code = reinterpret_cast<const unsigned char*>(m_bytes.data() + raw.fileOffset);
        const uint32_t n = std::min(raw.rawSize, raw.virtualSize ? raw.virtualSize : raw.rawSize);
        auto disp = [&](uint32_t at) {
            int32_t v;
            std::memcpy(&v, code + at, 4);
            return v;
        };
        for (uint32_t i = 0; i + 6 <= n; ++i) {
            const unsigned char op = code[i], modrm = code[i + 1];
            // call/jmp [mem] (FF /2, FF /4) and mov r, [mem] (8B /r) with a bare displacement.
            const bool indirect = op == 0xFF && (modrm == 0x15 || modrm == 0x25);
            const bool load = op == 0x8B && (modrm & 0xC7) == 0x05;
            if (!m_is64) {
                if (indirect || load)
                    refs.push_back({raw.rva + i, static_cast<uint32_t>(disp(i + 2) - static_cast<int64_t>(m_imageBase))});
                else if (op == 0xA1 && i + 5 <= n)  // mov eax, [abs32]
                    refs.push_back({raw.rva + i, static_cast<uint32_t>(disp(i + 1) - static_cast<int64_t>(m_imageBase))});
            } else if (indirect || load) {
                // RIP-relative: from the end of the instruction (a REX prefix only moves its start).
                refs.push_back({raw.rva + i, static_cast<uint32_t>(raw.rva + i + 6 + disp(i + 2))});
            }
        }
    }
    return refs;
}

std::vector<std::string> UnfilledSlotReads(const PeImage& image)
{
    std::vector<std::string> faults;
    std::map<uint32_t, const ImportSlot*> slots;
    const uint32_t step = image.Is64() ? 8 : 4;
    // Where import slots live: the import address table, the delay-load tables (with the
    // terminating slot after each run of slots) and any .idata section.
    std::vector<std::pair<uint32_t, uint32_t>> regions = {{image.IatBegin(), image.IatEnd()}};
    for (const ImportSlot& s : image.Slots()) {
        slots[s.rva] = &s;
        if (s.delayed)
            regions.push_back({s.rva, s.rva + 2 * step});
    }
    for (const PeSection& s : image.Sections()) {
        if (s.name == ".idata")
            regions.push_back({s.rva, s.rva + s.size});
    }
    auto inSlots = [&](uint32_t rva) {
        return std::any_of(regions.begin(), regions.end(), [rva](const auto& r) { return rva >= r.first && rva < r.second; });
    };
    for (const SlotReference& ref : image.SlotReferences()) {
        if (!inSlots(ref.slot))
            continue;
        const auto found = slots.find(ref.slot);
        if (found == slots.end()) {
            faults.push_back("code at " + Hex(image.ImageBase() + ref.at) + " reads " + Hex(image.ImageBase() + ref.slot) +
                             ", a slot of no import");
            continue;
        }
        const ImportSlot& slot = *found->second;
        if (!slot.delayed)
            continue;
        const PeSection* target = slot.value > image.ImageBase()
                                      ? image.SectionAt(static_cast<uint32_t>(slot.value - image.ImageBase()))
                                      : nullptr;
        if (!target || !target->executable)
            faults.push_back("code at " + Hex(image.ImageBase() + ref.at) + " reads the delay slot of " +
                             (slot.library.empty() ? "" : slot.library + "!") + slot.function + ", whose first value " +
                             Hex(slot.value) + " leads into no code");
    }
    return faults;
}

}  // namespace support
