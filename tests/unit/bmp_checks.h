// Helpers for the BMP decoder's tests: decoding bytes made by the writer,
// comparing them with the reference pictures, and watching how much the decoder allocates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/bmp.h"
#include "support/image.h"

using formats::bmp_image;

// Decodes `bytes` from memory.
bool decode_bytes(const std::vector<uint8_t>& bytes, bmp_image* image, std::string* reason);

// The decoded texture turned back into a picture, top row first (the
// texture's row 0 is the bottom).
test_support::rgb_image picture_of(const bmp_image& image);

// What decoding `bmp` must give: the reference PNG, compared exactly; empty
// when they agree, else the first difference.
std::string difference_from_reference(const bmp_image& image, const std::string& png);

// 0xRRGGBB of the texture pixel at column `x` of texture row `row`.
uint32_t texel_rgb(const bmp_image& image, int32_t x, int32_t row);
uint8_t texel_alpha(const bmp_image& image, int32_t x, int32_t row);

// Expects the decoder to refuse `bytes` with a reason containing `reason`,
// leaving the image empty and taking no block of 4 KiB or more on the way.
void expect_refused_before_allocating(const std::vector<uint8_t>& bytes,
                                      const std::string& reason);

// The largest single block taken with operator new since the last reset.
void reset_largest_allocation();
size_t largest_allocation();
