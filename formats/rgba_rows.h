// What the picture decoders share: stored pixels widened into RGBA, and how
// many rows of uncompressed pixels to read at once.
#pragma once

#include <cstddef>
#include <cstdint>

namespace formats {

// A channel of `bits` bits (1 to 32) at value v, as 8 bits: v × 255 / (2^bits − 1),
// rounded, so that 0 and the largest value stay black and full.
constexpr uint8_t widen_channel(uint64_t v, int bits)
{
    const uint64_t max = (uint64_t{1} << bits) - 1;
    return static_cast<uint8_t>((v * 510 + max) / (2 * max));
}

// Uncompressed pixels are read this many whole rows at a time (at least
// one): about 64 KiB: few reads, still in the cache when widened, and few fresh
// pages to fault in for a small picture.
constexpr int64_t rows_per_read(int64_t row_stride)
{
    return row_stride >= (int64_t{64} << 10) ? 1 : (int64_t{64} << 10) / row_stride;
}

// `count` pixels stored blue, green, red into red, green, blue, 255.
void rgba_from_bgr24(const uint8_t* in, uint8_t* out, size_t count);
// `count` pixels stored blue, green, red, alpha into red, green, blue, alpha.
void rgba_from_bgra32(const uint8_t* in, uint8_t* out, size_t count);

}  // namespace formats
