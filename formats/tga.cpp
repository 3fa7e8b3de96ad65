#include "tga.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "cursor.h"
#include "format_tga.h"
#include "rgba_rows.h"

namespace formats {

namespace {

// A packet gives at most 128 pixels for two bytes (a run of 8-bit pixels),
// so a stream cannot honestly promise more than this many pixels a byte.
constexpr int64_t RLE_MAX_PIXELS_PER_BYTE = TGA_PACKET_MAX / 2;

// Every note of the decoder is about the file as a whole.
void add_note(std::vector<load_note>* notes, std::string text)
{
    notes->push_back({-1, std::move(text)});
}

struct tga_header {
    uint8_t id_length = 0;
    uint8_t map_type = 0;
    uint8_t image_type = 0;
    uint16_t map_first = 0;
    uint16_t map_length = 0;
    uint8_t map_bits = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t bits = 0;
    uint8_t descriptor = 0;

    bool rle() const { return (image_type & TGA_RLE_BIT) != 0; }
    uint8_t plain_type() const { return image_type & ~TGA_RLE_BIT; }
    int64_t map_offset() const { return TGA_HEADER_SIZE + id_length; }
    int64_t pixel_offset() const
    {
        return map_offset() + (map_type == 1 ? map_length * tga_pixel_bytes(map_bits) : 0);
    }
};

// How stored pixels (or colour map entries) become RGBA.
enum pixel_layout { PIXELS_TABLE, PIXELS_555, PIXELS_BGR24, PIXELS_BGRA32 };

struct pixel_reader {
    pixel_layout layout = PIXELS_BGR24;
    int bytes = 3;               // stored bytes per pixel
    uint8_t table[256][4]{};     // an 8-bit pixel's colour: the grey ramp or the colour map
    bool in_map[256]{};          // which colour indices the map gives
    bool count_misses = false;   // whether some index lies outside the map
    int64_t misses = 0;          // pixels drawn with an index outside the map
    uint8_t level[1 << TGA_CHANNEL_BITS]{};  // a 5-bit channel's 8-bit value
};

void set_layout(pixel_reader* p, int bits)
{
    p->bytes = static_cast<int>(tga_pixel_bytes(bits));
    p->layout = bits == 8    ? PIXELS_TABLE
                : bits == 24 ? PIXELS_BGR24
                : bits == 32 ? PIXELS_BGRA32
                             : PIXELS_555;
    if (p->layout == PIXELS_555)
        for (uint32_t v = 0; v < (1u << TGA_CHANNEL_BITS); ++v)
            p->level[v] = widen_channel(v, TGA_CHANNEL_BITS);
}

// `count` stored pixels into RGBA.
void expand(pixel_reader* p, const uint8_t* in, uint8_t* out, size_t count)
{
    switch (p->layout) {
    case PIXELS_TABLE:
        for (size_t i = 0; i < count; ++i)
            std::memcpy(out + 4 * i, p->table[in[i]], 4);
        if (p->count_misses)
            for (size_t i = 0; i < count; ++i)
                p->misses += !p->in_map[in[i]];
        return;
    case PIXELS_555: {
        const uint8_t* level = p->level;
        for (size_t i = 0; i < count; ++i) {
            const unsigned v = u16_at(in + 2 * i);
            out[4 * i] = level[(v >> 10) & 31];
            out[4 * i + 1] = level[(v >> 5) & 31];
            out[4 * i + 2] = level[v & 31];
            out[4 * i + 3] = 255;  // the attribute bit is not alpha: see tga.h
        }
        return;
    }
    case PIXELS_BGR24:
        return rgba_from_bgr24(in, out, count);
    case PIXELS_BGRA32:
        return rgba_from_bgra32(in, out, count);
    }
}

bool read_header(cursor* c, tga_header* h, std::string* reason)
{
    uint8_t b[TGA_HEADER_SIZE];
    if (!read_bytes(c, b, sizeof b)) {
        *reason = format_text("file is %lld bytes, too short for a TGA header",
                              static_cast<long long>(c->size));
        return false;
    }
    h->id_length = b[TGA_ID_LENGTH];
    h->map_type = b[TGA_COLOUR_MAP_TYPE];
    h->image_type = b[TGA_IMAGE_TYPE];
    h->map_first = u16_at(b + TGA_MAP_FIRST);
    h->map_length = u16_at(b + TGA_MAP_LENGTH);
    h->map_bits = b[TGA_MAP_ENTRY_BITS];
    h->width = u16_at(b + TGA_WIDTH);
    h->height = u16_at(b + TGA_HEIGHT);
    h->bits = b[TGA_PIXEL_BITS];
    h->descriptor = b[TGA_DESCRIPTOR];
    return true;
}

bool entry_bits_known(unsigned bits)
{
    return bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

// What the header asks for, checked against what this decoder does and what
// the file holds, before anything is allocated.
bool check_header(const cursor* c, const tga_header& h, std::string* reason)
{
    switch (h.image_type) {
    case TGA_MAPPED:
    case TGA_TRUE_COLOUR:
    case TGA_GREY:
    case TGA_RLE_MAPPED:
    case TGA_RLE_TRUE_COLOUR:
    case TGA_RLE_GREY:
        break;
    case TGA_NO_IMAGE:
        *reason = "image type 0: the file holds no picture";
        return false;
    default:
        *reason = format_text("image type %u is not one this decoder knows (1-3, 9-11)",
                              h.image_type);
        return false;
    }
    if (h.map_type > 1) {
        *reason = format_text("colour map type %u is unknown", h.map_type);
        return false;
    }
    switch (h.plain_type()) {
    case TGA_MAPPED:
        if (h.map_type != 1) {
            *reason = "colour-mapped image without a colour map";
            return false;
        }
        if (!entry_bits_known(h.map_bits)) {
            *reason = format_text("colour map entries of %u bits (not 15, 16, 24 or 32)",
                                  h.map_bits);
            return false;
        }
        if (h.bits != 8) {
            *reason = format_text("colour indices of %u bits are not decoded, only of 8", h.bits);
            return false;
        }
        break;
    case TGA_GREY:
        if (h.bits != 8) {
            *reason = format_text("grey pixels of %u bits are not decoded, only of 8", h.bits);
            return false;
        }
        break;
    default:
        if (!entry_bits_known(h.bits)) {
            *reason = format_text("%u bits per pixel is not a TGA true-colour depth "
                                  "(15, 16, 24, 32)", h.bits);
            return false;
        }
    }
    if (h.width == 0 || h.height == 0) {
        *reason = format_text("image of %u x %u pixels has no area", h.width, h.height);
        return false;
    }
    if (h.width > TGA_MAX_SIDE || h.height > TGA_MAX_SIDE) {
        *reason = format_text("image of %u x %u pixels is larger than %d on a side", h.width,
                              h.height, TGA_MAX_SIDE);
        return false;
    }
    const int64_t pixels = int64_t{h.width} * h.height;
    if (pixels * 4 >= (int64_t{1} << 31)) {
        *reason = format_text("image of %u x %u pixels needs 2 GiB or more", h.width, h.height);
        return false;
    }
    if (h.pixel_offset() > c->size) {
        *reason = format_text("image ID and colour map end at byte %lld, past the end of the "
                              "file (%lld bytes)", static_cast<long long>(h.pixel_offset()),
                              static_cast<long long>(c->size));
        return false;
    }
    // A tiny hostile file must not make us allocate what it cannot hold.
    const int64_t stream = c->size - h.pixel_offset();
    if (h.rle()) {
        if (pixels > RLE_MAX_PIXELS_PER_BYTE * (stream + 1)) {
            *reason = format_text("header promises %u x %u pixels from %lld bytes of RLE data",
                                  h.width, h.height, static_cast<long long>(stream));
            return false;
        }
    } else if (pixels * tga_pixel_bytes(h.bits) > 2 * c->size) {
        *reason = format_text("header promises %lld bytes of pixels, the file holds %lld bytes",
                              static_cast<long long>(pixels * tga_pixel_bytes(h.bits)),
                              static_cast<long long>(c->size));
        return false;
    }
    return true;
}

// The grey ramp, or the colour map's entries for the 256 indices a pixel can
// hold; a map of true-colour pixels is skipped.
void read_colour_table(cursor* c, const tga_header& h, pixel_reader* p)
{
    if (h.plain_type() == TGA_GREY) {
        for (int v = 0; v < 256; ++v) {
            const uint8_t grey[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v),
                                     static_cast<uint8_t>(v), 255};
            std::memcpy(p->table[v], grey, 4);
        }
        return;
    }
    if (h.plain_type() != TGA_MAPPED)
        return;
    // Indices outside the map are opaque black.
    for (auto& entry : p->table)
        entry[3] = 255;
    const int entries = h.map_first >= 256 ? 0 : std::min(256 - h.map_first, int{h.map_length});
    pixel_reader map;
    set_layout(&map, h.map_bits);
    uint8_t stored[256 * 4]{};  // zero should the file shrink under us
    seek_to(c, static_cast<uint64_t>(h.map_offset()));
    read_bytes(c, stored, static_cast<size_t>(entries) * map.bytes);  // checked: within the file
    expand(&map, stored, p->table[h.map_first % 256], static_cast<size_t>(entries));
    for (int i = 0; i < entries; ++i)
        p->in_map[h.map_first + i] = true;
    p->count_misses = entries < 256;
}

// Where each stored row lands: row 0 of the texture is the picture's bottom.
struct row_placer {
    uint8_t* pixels;
    int32_t width;
    int32_t rows;
    bool top_left;
    bool right_to_left;

    uint8_t* row(int32_t r) const
    {
        const int32_t texture_row = top_left ? rows - 1 - r : r;
        return pixels + static_cast<size_t>(texture_row) * width * 4;
    }

    // A row stored from its right end was written as stored; turn it round.
    void finish(uint8_t* out) const
    {
        if (!right_to_left)
            return;
        for (int32_t a = 0, b = width - 1; a < b; ++a, --b) {
            uint8_t t[4];
            std::memcpy(t, out + 4 * a, 4);
            std::memcpy(out + 4 * a, out + 4 * b, 4);
            std::memcpy(out + 4 * b, t, 4);
        }
    }
};

void decode_plain(cursor* c, const tga_header& h, const row_placer& place, pixel_reader* p,
                  std::vector<load_note>* notes)
{
    const int64_t row_bytes = int64_t{h.width} * p->bytes;
    const int64_t rows = h.height;
    const int64_t present = std::min(rows, (c->size - h.pixel_offset()) / row_bytes);
    const int64_t block_rows = rows_per_read(row_bytes);
    // Not cleared: every byte used is read first.
    std::unique_ptr<uint8_t[]> block(
        new uint8_t[static_cast<size_t>(std::min(block_rows, present) * row_bytes)]);
    seek_to(c, static_cast<uint64_t>(h.pixel_offset()));
    for (int64_t r = 0; r < present;) {
        const int64_t n = std::min(block_rows, present - r);
        const size_t bytes = static_cast<size_t>(n * row_bytes);
        const uint8_t* in = take_bytes(c, bytes, block.get());
        // A file that shrank under us gives black rows, not stale memory.
        if (!in) {
            std::memset(block.get(), 0, bytes);
            in = block.get();
        }
        for (int64_t i = 0; i < n; ++i, ++r) {
            uint8_t* out = place.row(static_cast<int32_t>(r));
            expand(p, in + i * row_bytes, out, h.width);
            place.finish(out);
        }
    }
    // The rows the file lacks are zero, alpha included, as a cleared buffer would hold.
    for (int64_t r = present; r < rows; ++r)
        std::memset(place.row(static_cast<int32_t>(r)), 0, static_cast<size_t>(h.width) * 4);
    if (present < rows)
        add_note(notes, format_text("pixel data ends early: %lld of %lld rows missing, left black",
                                    static_cast<long long>(rows - present),
                                    static_cast<long long>(rows)));
}

void decode_rle(cursor* c, const tga_header& h, const row_placer& place, pixel_reader* p,
                std::vector<load_note>* notes)
{
    const int32_t width = h.width, rows = h.height;
    int32_t r = 0, x = 0;  // the next pixel's stored row and column
    uint8_t* out = place.row(0);
    int64_t dropped = 0;
    bool cut_short = false;
    uint8_t scratch[TGA_PACKET_MAX * 4];

    // Puts `count` pixels, each from `in` or all from `run`, across rows as needed.
    auto put = [&](const uint8_t* in, const uint8_t* run, int32_t count) {
        while (count > 0 && r < rows) {
            const int32_t n = std::min(count, width - x);
            if (run) {
                for (int32_t i = 0; i < n; ++i)
                    std::memcpy(out + 4 * (x + i), run, 4);
            } else {
                expand(p, in, out + 4 * x, static_cast<size_t>(n));
                in += static_cast<size_t>(n) * p->bytes;
            }
            x += n;
            count -= n;
            if (x == width) {
                place.finish(out);
                x = 0;
                if (++r < rows)
                    out = place.row(r);
            }
        }
        dropped += count;
    };

    seek_to(c, static_cast<uint64_t>(h.pixel_offset()));
    while (r < rows) {
        uint8_t head;
        if (!read_u8(c, &head)) {
            cut_short = true;
            break;
        }
        const int32_t count = (head & ~TGA_RUN_PACKET) + 1;
        if (head & TGA_RUN_PACKET) {
            const uint8_t* in = take_bytes(c, static_cast<size_t>(p->bytes), scratch);
            if (!in) {
                cut_short = true;
                break;
            }
            uint8_t run[4];
            const int64_t misses = p->misses, dropped_before = dropped;
            expand(p, in, run, 1);
            put(nullptr, run, count);
            // The one pixel was counted; so is every other one the run placed.
            if (p->misses > misses)
                p->misses += count - 1 - (dropped - dropped_before);
        } else {
            const uint8_t* in = take_bytes(c, static_cast<size_t>(count) * p->bytes, scratch);
            if (!in) {
                // The pixels the file still holds, then the end.
                const int32_t left = static_cast<int32_t>(cursor_left(c) / p->bytes);
                in = take_bytes(c, static_cast<size_t>(left) * p->bytes, scratch);
                if (in)
                    put(in, nullptr, left);
                cut_short = true;
                break;
            }
            put(in, nullptr, count);
        }
    }
    if (dropped > 0)
        add_note(notes, format_text("RLE packets run %lld pixels past the last one; dropped",
                                    static_cast<long long>(dropped)));
    if (cut_short && r < rows) {
        const int64_t missing = int64_t{rows - r} * width - x;
        // The rest of the row and the rows after it are zero, as for uncompressed pixels.
        std::memset(out + 4 * x, 0, static_cast<size_t>(width - x) * 4);
        place.finish(out);
        for (int32_t rest = r + 1; rest < rows; ++rest)
            std::memset(place.row(rest), 0, static_cast<size_t>(width) * 4);
        add_note(notes, format_text("RLE data ends early: %lld of %lld pixels missing, left black",
                                    static_cast<long long>(missing),
                                    static_cast<long long>(rows) * width));
    }
}

const char* type_name(uint8_t plain_type)
{
    return plain_type == TGA_MAPPED ? "colour-mapped" : plain_type == TGA_GREY ? "grey"
                                                                               : "true colour";
}

std::string describe(const tga_header& h)
{
    std::string kind = format_text("%u bits per pixel, %s, %s", h.bits, type_name(h.plain_type()),
                                   h.rle() ? "RLE" : "uncompressed");
    if (h.plain_type() == TGA_MAPPED)
        kind += format_text(", %u-entry %u-bit colour map from index %u", h.map_length,
                            h.map_bits, h.map_first);
    if (h.id_length > 0)
        kind += format_text(", %u-byte image ID", h.id_length);
    kind += h.descriptor & TGA_TOP_LEFT ? ", top-left origin" : ", bottom-left origin";
    if (h.descriptor & TGA_RIGHT_TO_LEFT)
        kind += ", rows right to left";
    return kind;
}

// What both entries share: the header checked, then the pixels decoded.
bool decode(cursor* c, tga_image* image, std::string* reason)
{
    *image = tga_image{};
    tga_header h;
    if (!(read_header(c, &h, reason) && check_header(c, h, reason)))
        return false;
    pixel_reader p;
    set_layout(&p, h.bits);
    read_colour_table(c, h, &p);
    image->width = h.width;
    image->height = h.height;
    image->kind = describe(h);
    // Not cleared: each decoder below writes every byte.
    image->rgba.resize(static_cast<size_t>(image->width) * image->height * 4);
    const row_placer place{image->rgba.data(), h.width, h.height,
                           (h.descriptor & TGA_TOP_LEFT) != 0,
                           (h.descriptor & TGA_RIGHT_TO_LEFT) != 0};
    std::vector<load_note> notes;
    if (h.rle())
        decode_rle(c, h, place, &p, &notes);
    else
        decode_plain(c, h, place, &p, &notes);
    if (p.misses > 0)
        add_note(&notes, format_text("%lld pixels use colour indices outside the colour map "
                                     "(%u entries from index %u), drawn black",
                                     static_cast<long long>(p.misses), h.map_length,
                                     h.map_first));
    image->notes = std::move(notes);
    return true;
}

}  // namespace

bool decode_tga(const void* data, size_t size, tga_image* image, std::string* reason)
{
    cursor c;
    cursor_over_memory(&c, data, size);
    return decode(&c, image, reason);
}

bool read_tga_picture(const void* data, size_t size, tga_picture* picture, std::string* reason)
{
    *picture = tga_picture{};
    cursor c;
    cursor_over_memory(&c, data, size);
    tga_header h;
    if (!(read_header(&c, &h, reason) && check_header(&c, h, reason)))
        return false;
    picture->width = h.width;
    picture->height = h.height;
    return true;
}

bool decode_tga_file(FILE* file, tga_image* image, std::string* reason)
{
    return read_over_file(file, [&](cursor* c) { return decode(c, image, reason); });
}

bool decode_tga_path(const char* path, tga_image* image, std::string* reason)
{
    *image = tga_image{};
    return read_path(path, reason,
                     [&](FILE* file) { return decode_tga_file(file, image, reason); });
}

}  // namespace formats
