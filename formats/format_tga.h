// The TGA (Truevision Targa) file's facts, in one place for the decoder, the
// writer and the tests: the header's fields, image types, descriptor bits and
// RLE packets. Every number in the file is little-endian.
//
// A file is the 18-byte header, the image ID, the colour map, the pixels and,
// in version 2 files, areas the pixels ignore and a footer naming them.
#pragma once

#include <cstdint>

namespace formats {

constexpr uint32_t TGA_HEADER_SIZE = 18;

// Offsets of the header fields from the start of the file.
enum tga_field_offset {
    TGA_ID_LENGTH = 0,       // 8 bits: bytes of image ID after the header
    TGA_COLOUR_MAP_TYPE = 1, // 8 bits: 1 when a colour map follows the ID
    TGA_IMAGE_TYPE = 2,      // 8 bits: one of tga_image_type
    TGA_MAP_FIRST = 3,       // 16 bits: the colour index of the map's first entry
    TGA_MAP_LENGTH = 5,      // 16 bits: entries in the map
    TGA_MAP_ENTRY_BITS = 7,  // 8 bits: 15, 16, 24 or 32
    TGA_X_ORIGIN = 8,        // 16 bits each: where a screen would place the picture
    TGA_Y_ORIGIN = 10,
    TGA_WIDTH = 12,          // 16 bits each: the sides
    TGA_HEIGHT = 14,
    TGA_PIXEL_BITS = 16,     // 8 bits: bits per pixel (per colour index when mapped)
    TGA_DESCRIPTOR = 17,     // 8 bits: tga_descriptor_bits
};

enum tga_image_type : uint8_t {
    TGA_NO_IMAGE = 0,
    TGA_MAPPED = 1,
    TGA_TRUE_COLOUR = 2,
    TGA_GREY = 3,
    TGA_RLE_MAPPED = 9,
    TGA_RLE_TRUE_COLOUR = 10,
    TGA_RLE_GREY = 11,
};

// The RLE types are the plain ones with this bit set.
constexpr uint8_t TGA_RLE_BIT = 8;

enum tga_descriptor_bits : uint8_t {
    TGA_ALPHA_BITS = 0x0F,     // attribute (alpha) bits in each pixel
    TGA_RIGHT_TO_LEFT = 0x10,  // each row stored from its right end
    TGA_TOP_LEFT = 0x20,       // the top row stored first; else the bottom row
};

// An RLE packet starts with a byte whose high bit marks a run (one pixel
// repeated) and whose low 7 bits are the pixel count less one; a raw packet
// holds its pixels one after another.
constexpr uint8_t TGA_RUN_PACKET = 0x80;
constexpr int TGA_PACKET_MAX = 128;

// A 15- or 16-bit pixel, little-endian: one attribute bit, then red, green,
// blue, five bits each.
constexpr int TGA_CHANNEL_BITS = 5;

// Stored bytes per pixel or colour map entry of `bits` bits.
constexpr int64_t tga_pixel_bytes(int64_t bits)
{
    return (bits + 7) / 8;
}

}  // namespace formats
