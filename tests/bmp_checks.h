// Helpers for the BMP decoder's tests: decoding bytes made by the writer,
// reading the reference pictures, and watching how much the decoder allocates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bmp.h"

// Writes `bytes` to a temporary file and decodes it.
bool decode_bytes(const std::vector<uint8_t>& bytes, bmp_image* image, std::string* reason);

// A picture as 3-byte RGB pixels, top row first.
struct rgb_picture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgb;
};

// The stored 8-bit values of a PNG (no gamma applied); false when unreadable.
bool read_png(const std::string& path, rgb_picture* picture);

// The decoded texture turned back into a picture: its row 0 is the bottom.
rgb_picture picture_of(const bmp_image& image);

// The first place two pictures differ, or empty when they are equal.
std::string first_difference(const rgb_picture& got, const rgb_picture& want);

// 0xRRGGBB of the texture pixel at column `x` of texture row `row`.
uint32_t texel_rgb(const bmp_image& image, int32_t x, int32_t row);
uint8_t texel_alpha(const bmp_image& image, int32_t x, int32_t row);

// Expects the decoder to refuse `path` with a reason containing `reason`,
// leaving the image empty and taking no block of 4 KiB or more on the way.
void expect_refused_before_allocating(const std::string& path, const std::string& reason);

// The largest single block taken with operator new since the last reset.
void reset_largest_allocation();
size_t largest_allocation();
