#include "dialogs/RichEdit.h"

#include <windows.h>

#include "win/SystemLibrary.h"

bool InitRichEdit() {
    static const HMODULE module = win::LoadSystemLibrary(L"riched20.dll");
    return module != nullptr;
}
