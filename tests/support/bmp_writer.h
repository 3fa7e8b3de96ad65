// BMP files of any kind for the decoder's tests: palettes, RLE streams, bit
// fields, other headers. Fields are written as given, so a test can also lie.
#pragma once

#include <cstdint>
#include <vector>

#include "formats/format_bmp.h"

namespace test_support {

// What the file holds.
struct bmp_spec {
    int32_t width = 0;
    int32_t height = 0;             // as stored: negative for a top-down file
    uint16_t planes = 1;
    uint16_t bits = 24;
    uint32_t compression = formats::BMP_BI_RGB;
    uint32_t info_size = 40;        // 12 writes an OS/2 core header with 16-bit sizes
    uint32_t colours_used = 0;      // the header's palette count
    std::vector<uint32_t> palette;  // 0xRRGGBB; 3 bytes each after a 12-byte header, else 4
    // Red, green, blue (and alpha) masks: inside a header of 52 bytes or more
    // as far as it has room, otherwise right after the header.
    std::vector<uint32_t> masks;
    std::vector<uint8_t> pixels;    // the pixel data exactly as stored
};

std::vector<uint8_t> make_bmp(const bmp_spec& spec);

// Packs one value per pixel into rows of `bits`-bit pixels, each row padded
// to 4 bytes, in the order given. A value is a colour index (1 to 8 bits), a
// pixel word (16 or 32 bits) or 0xRRGGBB (24 bits).
std::vector<uint8_t> pack_bmp_rows(int32_t width, int32_t rows, uint16_t bits,
                                   const std::vector<uint32_t>& values);

}  // namespace test_support
