#pragma once
#include <windows.h>

#include <functional>
#include <map>

// The GDI calls a paint makes on the DC it is given, counted by record type: the
// paint draws on a metafile DC, which records every call. Header and end records
// are left out.
inline int CALLBACK CountTargetRecord(HDC, HANDLETABLE*, const ENHMETARECORD* record, int, LPARAM counts) {
    ++(*reinterpret_cast<std::map<DWORD, int>*>(counts))[record->iType];
    return 1;
}

inline std::map<DWORD, int> RecordTargetCalls(const std::function<void(HDC)>& paint) {
    HDC emf = ::CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    if (!emf) return {};
    paint(emf);
    HENHMETAFILE meta = ::CloseEnhMetaFile(emf);
    std::map<DWORD, int> counts;
    ::EnumEnhMetaFile(nullptr, meta, &CountTargetRecord, &counts, nullptr);
    ::DeleteEnhMetaFile(meta);
    counts.erase(EMR_HEADER);
    counts.erase(EMR_EOF);
    return counts;
}
