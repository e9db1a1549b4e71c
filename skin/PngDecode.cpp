#include "skin/PngDecode.h"

#include <climits>
#include <utility>

// The tool's pictures are PNGs in its own resources. Decoding them here rather than
// through GDI+'s codecs keeps the imaging component and its dependencies out of the
// process: under Wine, loading them was the largest single cost of the start-up.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_NO_FAILURE_STRINGS
#define STBI_MAX_DIMENSIONS 8192
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wshadow"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

bool DecodePng(const void* bytes, std::size_t size, DecodedPng* out) {
    if (!bytes || !out || size == 0 || size > static_cast<std::size_t>(INT_MAX)) return false;
    int w = 0, h = 0, channels = 0;
    stbi_uc* rgba = stbi_load_from_memory(static_cast<const stbi_uc*>(bytes), static_cast<int>(size), &w, &h,
                                          &channels, 4);
    if (!rgba) return false;
    const std::size_t pixels = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    out->width = w;
    out->height = h;
    out->opaque = channels == 1 || channels == 3;
    out->bgra.assign(rgba, rgba + pixels * 4);
    stbi_image_free(rgba);
    for (std::size_t i = 0; i < pixels; ++i) std::swap(out->bgra[i * 4], out->bgra[i * 4 + 2]);
    return true;
}
