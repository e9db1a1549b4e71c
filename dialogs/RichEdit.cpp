#include "dialogs/RichEdit.h"

#include <windows.h>

bool InitRichEdit() {
    static const HMODULE module = ::LoadLibraryExW(L"riched20.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return module != nullptr;
}
