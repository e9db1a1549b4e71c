#include "win/Scale.h"

#include "win/Gdi.h"

namespace win {

float ScreenScale() {
    WindowDC screen(nullptr);
    return screen ? ScaleForDpi(::GetDeviceCaps(screen.get(), LOGPIXELSY)) : 1.0f;
}

}  // namespace win
