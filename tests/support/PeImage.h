#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A PE file read from disk, for tests that check what a build produced: the libraries
// it imports, every import slot with its first value, and the places where its code
// reads a memory slot by address (indirect calls and jumps, loads into a register).
namespace support {

struct PeSection {
    std::string name;
    uint32_t rva = 0;
    uint32_t size = 0;
    bool executable = false;
};

// One slot of an import address table.
struct ImportSlot {
    uint32_t rva = 0;
    std::string library;   // lower case, as named in the file (empty for a delay slot ld placed)
    std::string function;  // or "#<ordinal>"
    bool delayed = false;  // from the delay-load directory
    uint64_t value = 0;    // what the file holds there before any loader ran
};

// An instruction that reads the pointer-sized slot at `slot` (an RVA).
struct SlotReference {
    uint32_t at = 0;  // RVA of the instruction
    uint32_t slot = 0;
};

class PeImage {
public:
    explicit PeImage(const std::wstring& path);

    bool Ok() const { return m_ok; }
    bool Is64() const { return m_is64; }
    uint64_t ImageBase() const { return m_imageBase; }
    const std::vector<PeSection>& Sections() const { return m_sections; }
    const PeSection* SectionAt(uint32_t rva) const;

    // Base names (lower case) of the libraries in the import directory (not the delayed ones).
    std::vector<std::string> ImportedLibraries() const;
    // Every slot of the import directory and of the delay-load directory.
    const std::vector<ImportSlot>& Slots() const { return m_slots; }
    // The range of the import address table directory, [first, last).
    uint32_t IatBegin() const { return m_iatBegin; }
    uint32_t IatEnd() const { return m_iatEnd; }

    // Indirect references found by scanning the executable sections: on i686
    // "call/jmp [abs32]" and "mov reg, [abs32]", on x86_64 the same RIP-relative forms.
    std::vector<SlotReference> SlotReferences() const;

private:
    bool Parse();
    void ReadImports(uint32_t rva);
    void ReadDelayImports(uint32_t rva);
    void ReadLinkedDelaySlots();
    // Walks a name table and its address table in step until the terminating zero.
    void ReadThunks(const std::string& library, uint32_t names, uint32_t addresses, bool delayed);
    size_t Offset(uint32_t rva) const;
    uint64_t Pointer(uint32_t rva) const;
    uint32_t U32(uint32_t rva) const;
    std::string CString(uint32_t rva) const;

    std::string m_bytes;
    bool m_ok = false;
    bool m_is64 = false;
    uint64_t m_imageBase = 0;
    uint32_t m_iatBegin = 0, m_iatEnd = 0;
    uint32_t m_nameTableOfFirst = 0;
    struct RawSection {
        uint32_t rva, virtualSize, fileOffset, rawSize;
    };
    std::vector<RawSection> m_raw;
    std::vector<PeSection> m_sections;
    std::vector<std::string> m_libraries;
    std::vector<ImportSlot> m_slots;
};

// Instructions that read an import slot the loader never fills: a slot inside the
// import address table or the delay-load tables that belongs to no import, or a delay
// slot whose first value does not lead into code. Each is described in a line.
std::vector<std::string> UnfilledSlotReads(const PeImage& image);

}  // namespace support
