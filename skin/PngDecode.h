#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The pixels of one PNG file, top row first, 4 bytes per pixel in the order
// blue, green, red, alpha (straight alpha), which is GDI+'s 32bppARGB in memory.
struct DecodedPng {
    int width = 0;
    int height = 0;
    bool opaque = false;  // the file has no alpha channel: every alpha byte is 255
    std::vector<std::uint8_t> bgra;
};

// Decodes a PNG held in memory; false for anything that is not a whole, valid PNG.
bool DecodePng(const void* bytes, std::size_t size, DecodedPng* out);
