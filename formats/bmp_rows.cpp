// The BMP decoder's pixel decoders: each row decoder writes `width` RGBA
// pixels, alpha 255.
#include <algorithm>
#include <cstring>
#include <memory>

#include "bmp_header.h"
#include "rgba_rows.h"

namespace formats {

namespace {

void put_index(const bmp_header& h, unsigned index, uint8_t* out, int64_t* past_palette)
{
    if (index < static_cast<unsigned>(h.palette_size)) {
        out[0] = h.palette[index][0];
        out[1] = h.palette[index][1];
        out[2] = h.palette[index][2];
    } else {
        out[0] = out[1] = out[2] = 0;
        ++*past_palette;
    }
    out[3] = 255;
}

void expand_indexed(const bmp_header& h, const uint8_t* in, uint8_t* out, int64_t* past_palette)
{
    const int bits = h.bits;
    const int per_byte = 8 / bits;
    const unsigned max = (1u << bits) - 1;
    for (int32_t x = 0; x < h.width; ++x) {
        // The leftmost pixel sits in the byte's highest bits.
        const int shift = 8 - bits * (x % per_byte + 1);
        put_index(h, (in[x / per_byte] >> shift) & max, out + 4 * x, past_palette);
    }
}

uint8_t scale(const bmp_channel& ch, uint32_t pixel)
{
    if (ch.bits == 0)
        return 0;
    const uint64_t v = (pixel & ch.mask) >> ch.shift;
    if (ch.bits <= 8)
        return ch.level[v];
    return widen_channel(v, ch.bits);
}

void expand_masked(const bmp_header& h, const uint8_t* in, uint8_t* out)
{
    const int bytes = h.bits / 8;
    for (int32_t x = 0; x < h.width; ++x) {
        const uint8_t* p = in + static_cast<size_t>(x) * bytes;
        const uint32_t pixel = bytes == 4 ? u32_at(p) : u16_at(p);
        out[4 * x] = scale(h.red, pixel);
        out[4 * x + 1] = scale(h.green, pixel);
        out[4 * x + 2] = scale(h.blue, pixel);
        out[4 * x + 3] = 255;
    }
}

void note_past_palette(const bmp_header& h, int64_t count, std::vector<load_note>* notes)
{
    if (count > 0)
        add_note(notes, format_text("%lld pixels use colour indices past the %d-entry colour "
                                    "table, drawn black",
                                    static_cast<long long>(count), h.palette_size));
}

}  // namespace

void decode_plain_rows(cursor* c, const bmp_header& h, bmp_image* image,
                       std::vector<load_note>* notes)
{
    const int32_t width = h.width;
    const int32_t rows = h.rows;
    const int64_t row_bytes = bmp_row_bytes(width, h.bits);
    const int64_t stride = bmp_row_stride(h.width, h.bits);
    const int64_t available = c->size - static_cast<int64_t>(h.pixel_offset);
    // The last row may come without its padding.
    int64_t present = available < row_bytes ? 0 : (available - row_bytes) / stride + 1;
    if (present > rows)
        present = rows;

    // Whole rows, padding and all, are read a block at a time (one read, no
    // skips) and widened from there while the block is still in the cache.
    const int64_t block_rows = rows_per_read(stride);
    // Not cleared: every byte used is read first.
    std::unique_ptr<uint8_t[]> block(
        new uint8_t[static_cast<size_t>(std::min(block_rows, present) * stride)]);
    int64_t past_palette = 0;
    seek_to(c, h.pixel_offset);
    for (int64_t r = 0; r < present;) {
        const int64_t n = std::min(block_rows, present - r);
        // The file's last row may come without its padding.
        const int64_t bytes = r + n < present ? n * stride : (n - 1) * stride + row_bytes;
        const uint8_t* rows_in = take_bytes(c, static_cast<size_t>(bytes), block.get());
        // A file that shrank under us gives black rows, not stale memory.
        if (!rows_in) {
            std::memset(block.get(), 0, static_cast<size_t>(bytes));
            rows_in = block.get();
        }
        for (int64_t i = 0; i < n; ++i, ++r) {
            const int64_t texture_row = h.height < 0 ? rows - 1 - r : r;
            uint8_t* out = image->rgba.data() + static_cast<size_t>(texture_row) * width * 4;
            const uint8_t* in = rows_in + i * stride;
            if (h.layout == PIXELS_INDEXED)
                expand_indexed(h, in, out, &past_palette);
            else if (h.layout == PIXELS_BGR24)
                rgba_from_bgr24(in, out, static_cast<size_t>(width));
            else
                expand_masked(h, in, out);
        }
    }
    note_past_palette(h, past_palette, notes);
    // The rows the file lacks are zero, alpha included, as a cleared buffer would hold.
    const size_t row_size = static_cast<size_t>(width) * 4;
    for (int32_t r = static_cast<int32_t>(present); r < rows; ++r) {
        const int32_t texture_row = h.height < 0 ? rows - 1 - r : r;
        std::memset(image->rgba.data() + static_cast<size_t>(texture_row) * row_size, 0, row_size);
    }
    if (present < rows)
        add_note(notes, format_text("pixel data ends early: %lld of %d rows missing, left black",
                                    static_cast<long long>(rows - present), rows));
}

void decode_rle_stream(cursor* c, const bmp_header& h, bmp_image* image,
                       std::vector<load_note>* notes)
{
    // Pixels the stream skips are opaque black.
    const uint8_t opaque_black[4] = {0, 0, 0, 255};
    uint8_t* const pixels = image->rgba.data();
    for (size_t i = 0; i < image->rgba.size(); i += 4)
        std::memcpy(pixels + i, opaque_black, 4);
    const bool four = h.layout == PIXELS_RLE4;
    int64_t x = 0, y = 0;
    int64_t past_palette = 0;
    bool past_row = false;
    std::string fault;

    auto put = [&](unsigned index) {
        if (x < h.width) {
            uint8_t* out = image->rgba.data() + (static_cast<size_t>(y) * h.width + x) * 4;
            put_index(h, index, out, &past_palette);
        } else {
            past_row = true;
        }
        ++x;
    };

    seek_to(c, h.pixel_offset);
    for (;;) {
        uint8_t pair[2];
        if (!read_bytes(c, pair, 2)) {
            fault = format_text("RLE data ends without its end code, at row %lld of %d",
                                static_cast<long long>(y), h.rows);
            break;
        }
        const unsigned count = pair[0], code = pair[1];
        if (count > 0 || code >= 3) {
            if (y >= h.rows) {
                fault = "RLE data goes on past the last row";
                break;
            }
        }
        if (count > 0) {
            // A run: one index, or for RLE4 two that alternate.
            for (unsigned i = 0; i < count; ++i)
                put(four ? (i % 2 == 0 ? code >> 4 : code & 15) : code);
        } else if (code == 0) {
            x = 0;
            ++y;
        } else if (code == 1) {
            break;
        } else if (code == 2) {
            uint8_t delta[2];
            if (!read_bytes(c, delta, 2)) {
                fault = "RLE data ends inside a delta";
                break;
            }
            x += delta[0];
            y += delta[1];
            if (y > h.rows || (y == h.rows && x > 0) || x > h.width) {
                fault = format_text("RLE delta moves past the image, to column %lld of row %lld",
                                    static_cast<long long>(x), static_cast<long long>(y));
                break;
            }
        } else {
            // Absolute run of `code` indices, padded to a 16-bit boundary.
            uint8_t literal[256];
            size_t bytes = four ? (code + 1) / 2 : code;
            bytes += bytes & 1;
            if (!read_bytes(c, literal, bytes)) {
                fault = format_text("RLE data ends inside a literal run, at row %lld of %d",
                                    static_cast<long long>(y), h.rows);
                break;
            }
            for (unsigned i = 0; i < code; ++i)
                put(four ? (i % 2 == 0 ? literal[i / 2] >> 4 : literal[i / 2] & 15) : literal[i]);
        }
    }
    if (past_row)
        add_note(notes, "RLE runs pass the end of a row; the pixels past it are dropped");
    note_past_palette(h, past_palette, notes);
    if (!fault.empty())
        add_note(notes, fault + "; the rest is black");
}

}  // namespace formats
