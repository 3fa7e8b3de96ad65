// The BMP file's facts, in one place for the decoder, the writer and the
// tests: header sizes, field offsets, compression codes and the row stride.
// Every number in the file is little-endian.
#pragma once

#include <cstdint>

namespace formats {

// The file header: "BM", file size, two reserved 16-bit words, pixel offset.
constexpr uint32_t BMP_FILE_HEADER_SIZE = 14;

// Sizes of the info header that follows it, which tell its kind apart.
constexpr uint32_t BMP_OS2_CORE_HEADER = 12;   // OS/2 1.x: 16-bit width and height
constexpr uint32_t BMP_OS2_SHORT_HEADER = 16;  // OS/2 2.x, cut after the bit count
constexpr uint32_t BMP_INFO_HEADER = 40;       // Windows
constexpr uint32_t BMP_INFO_RGB_MASKS = 52;    // Windows, with red, green, blue masks
constexpr uint32_t BMP_INFO_ALPHA_MASK = 56;   // Windows, with an alpha mask too
constexpr uint32_t BMP_OS2_HEADER = 64;        // OS/2 2.x in full
constexpr uint32_t BMP_V4_HEADER = 108;
constexpr uint32_t BMP_V5_HEADER = 124;

// Offsets of the header fields from the start of the file.
enum bmp_field_offset {
    BMP_FILE_SIZE = 2,
    BMP_PIXEL_OFFSET = 10,
    BMP_INFO_SIZE = 14,
    BMP_WIDTH = 18,
    BMP_HEIGHT = 22,
    BMP_PLANES = 26,
    BMP_BITS = 28,
    BMP_COMPRESSION = 30,
};

// Compression methods as an info header names them (prefixed: <windows.h>
// defines the bare names as macros).
enum bmp_compression : uint32_t {
    BMP_BI_RGB = 0,
    BMP_BI_RLE8 = 1,
    BMP_BI_RLE4 = 2,
    BMP_BI_BITFIELDS = 3,
    BMP_BI_JPEG = 4,
    BMP_BI_PNG = 5,
    BMP_BI_ALPHABITFIELDS = 6,
};

// What codes 3 and 4 mean after a 64-byte OS/2 header instead.
enum bmp_os2_compression : uint32_t {
    BMP_OS2_HUFFMAN_1D = 3,
    BMP_OS2_RLE24 = 4,
};

// Bytes per colour table entry: blue, green, red, and a zero byte except
// after an OS/2 1.x header.
constexpr uint32_t BMP_CORE_ENTRY_SIZE = 3;
constexpr uint32_t BMP_ENTRY_SIZE = 4;

// A row's bytes without padding, and with it: rows start on 4-byte boundaries.
constexpr int64_t bmp_row_bytes(int64_t width, int64_t bits)
{
    return (width * bits + 7) / 8;
}
constexpr int64_t bmp_row_stride(int64_t width, int64_t bits)
{
    return (width * bits + 31) / 32 * 4;
}

}  // namespace formats
