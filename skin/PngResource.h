#pragma once
#include <windows.h>
#include <gdiplus.h>

#include <string>

class CWnd;

// Loads the "PNG" resource `id` of the running module into a new GDI+ image and
// stores it in *slot. Returns FALSE, leaving the slot untouched and holding
// nothing, when the resource is missing or any step fails. A resource that is
// present but no valid PNG still gives an image, one that draws nothing. Release
// the image with DeletePngImage.
BOOL LoadPngResource(Gdiplus::Image** slot, UINT id);

// Deletes an image made by LoadPngResource and nulls the slot.
void DeletePngImage(Gdiplus::Image** slot);

// How many images LoadPngResource has decoded in this process (for tests that
// check that painting never decodes again).
long PngDecodeCount();

// How many images made by LoadPngResource have not been deleted with DeletePngImage.
long PngImagesAlive();

// Width in pixels of `text` in the font of `fontSource` measured on `dc`; -1 when
// either is null. A window without a font measures in the stock GUI font.
int MeasureTextWidth(CWnd* fontSource, HDC dc, const std::wstring& text);
int MeasureTextWidth(HWND fontSource, HDC dc, const std::wstring& text);
