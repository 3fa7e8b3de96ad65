#include "bmp.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "format_bmp.h"
#include "reader.h"

namespace {

// An RLE stream may skip whole rows in a few bytes, so its pixel count is
// not tied to its length. Runs give at most 127.5 pixels a byte; this bound
// leaves room for some skipping while a tiny hostile file still cannot ask
// for more than 1 KiB of pixels per byte it holds.
constexpr int64_t RLE_MAX_PIXELS_PER_BYTE = 256;

enum pixel_layout { PIXELS_INDEXED, PIXELS_BGR24, PIXELS_MASKED, PIXELS_RLE8, PIXELS_RLE4 };

struct channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;          // 0: the masks give this channel nothing, it reads 0
    uint8_t level[256]{};  // the 8-bit value of each raw value, for channels of 8 bits or less
};

// What the headers say, checked before any pixel is read.
struct bmp_header {
    uint32_t file_size_field = 0;
    uint32_t pixel_offset = 0;
    uint32_t info_size = 0;
    int32_t width = 0;
    int32_t height = 0;  // negative for a picture stored top row first
    int32_t rows = 0;    // the height's magnitude
    uint16_t planes = 0;
    uint16_t bits = 0;
    uint32_t compression = BMP_BI_RGB;
    uint32_t image_size = 0;
    int32_t x_density = 0;
    int32_t y_density = 0;
    uint32_t colours_used = 0;
    uint32_t header_masks[3] = {0, 0, 0};  // present in Windows headers of 52 bytes or more

    pixel_layout layout = PIXELS_BGR24;
    uint32_t mask_bytes = 0;  // masks stored between the header and the colour table
    channel red, green, blue;
    int palette_size = 0;
    uint8_t palette[256][3]{};  // red, green, blue
};

#if defined(__GNUC__)
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
#endif
std::string format(const char* fmt, ...)
{
    char text[256];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    return text;
}

void add_note(std::string* notes, const std::string& note)
{
    if (!notes->empty())
        *notes += "; ";
    *notes += note;
}

bool os2_header(uint32_t info_size)
{
    return info_size == BMP_OS2_CORE_HEADER || info_size == BMP_OS2_SHORT_HEADER ||
           info_size == BMP_OS2_HEADER;
}

bool known_info_size(uint32_t size)
{
    return os2_header(size) || size == BMP_INFO_HEADER || size == BMP_INFO_RGB_MASKS ||
           size == BMP_INFO_ALPHA_MASK || size == BMP_V4_HEADER || size == BMP_V5_HEADER;
}

const char* header_name(uint32_t info_size)
{
    switch (info_size) {
    case BMP_OS2_CORE_HEADER:
        return "OS/2 1.x core header";
    case BMP_OS2_SHORT_HEADER:
    case BMP_OS2_HEADER:
        return "OS/2 2.x header";
    case BMP_V4_HEADER:
        return "v4 info header";
    case BMP_V5_HEADER:
        return "v5 info header";
    default:
        return "info header";
    }
}

int64_t row_stride(const bmp_header& h)
{
    return bmp_row_stride(h.width, h.bits);
}

// The fields as they stand; a header shorter than the Windows one leaves the
// rest at their defaults (no compression, a full colour table).
bool read_header(file_cursor* c, bmp_header* h, std::string* reason)
{
    if (c->size < static_cast<int64_t>(BMP_FILE_HEADER_SIZE) + 4) {
        *reason = format("file is %lld bytes, too short for a BMP header",
                         static_cast<long long>(c->size));
        return false;
    }
    uint8_t magic[2];
    uint32_t reserved;
    read_bytes(c, magic, 2);
    read_u32(c, &h->file_size_field);
    read_u32(c, &reserved);
    read_u32(c, &h->pixel_offset);
    read_u32(c, &h->info_size);
    if (magic[0] != 'B' || magic[1] != 'M') {
        *reason = "not a BMP file (no \"BM\" signature)";
        return false;
    }
    if (!known_info_size(h->info_size)) {
        *reason = format("info header of %u bytes is not one this loader knows", h->info_size);
        return false;
    }
    const int64_t headers = static_cast<int64_t>(BMP_FILE_HEADER_SIZE) + h->info_size;
    if (c->size < headers) {
        *reason = format("file is %lld bytes, shorter than its %lld-byte BMP header",
                         static_cast<long long>(c->size), static_cast<long long>(headers));
        return false;
    }
    if (h->info_size == BMP_OS2_CORE_HEADER) {
        uint16_t width, height;
        read_u16(c, &width);
        read_u16(c, &height);
        h->width = width;
        h->height = height;
    } else {
        read_i32(c, &h->width);
        read_i32(c, &h->height);
    }
    read_u16(c, &h->planes);
    read_u16(c, &h->bits);
    if (h->info_size >= BMP_INFO_HEADER) {
        uint32_t important;
        read_u32(c, &h->compression);
        read_u32(c, &h->image_size);
        read_i32(c, &h->x_density);
        read_i32(c, &h->y_density);
        read_u32(c, &h->colours_used);
        read_u32(c, &important);
    }
    // OS/2's longer header holds other fields where Windows keeps its masks.
    if (h->info_size >= BMP_INFO_RGB_MASKS && !os2_header(h->info_size))
        for (uint32_t& mask : h->header_masks)
            read_u32(c, &mask);
    return true;
}

const char* compression_name(uint32_t compression)
{
    switch (compression) {
    case BMP_BI_RGB:
        return "uncompressed";
    case BMP_BI_RLE8:
        return "RLE8";
    case BMP_BI_RLE4:
        return "RLE4";
    case BMP_BI_BITFIELDS:
        return "bit fields";
    case BMP_BI_JPEG:
        return "JPEG";
    case BMP_BI_PNG:
        return "PNG";
    case BMP_BI_ALPHABITFIELDS:
        return "bit fields with alpha";
    default:
        return "unknown";
    }
}

// Which row decoder the bit depth and compression call for.
bool choose_layout(bmp_header* h, std::string* reason)
{
    const uint16_t bits = h->bits;
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16 && bits != 24 &&
        bits != 32) {
        *reason = format("%u bits per pixel is not a BMP bit depth (1, 2, 4, 8, 16, 24, 32)", bits);
        return false;
    }
    if (h->info_size == BMP_OS2_HEADER &&
        (h->compression == BMP_OS2_HUFFMAN_1D || h->compression == BMP_OS2_RLE24)) {
        *reason = format("OS/2 compression method %u (%s) is not decoded", h->compression,
                         h->compression == BMP_OS2_HUFFMAN_1D ? "Huffman 1D" : "RLE24");
        return false;
    }
    switch (h->compression) {
    case BMP_BI_RGB:
        h->layout = bits <= 8 ? PIXELS_INDEXED : bits == 24 ? PIXELS_BGR24 : PIXELS_MASKED;
        return true;
    case BMP_BI_RLE8:
    case BMP_BI_RLE4: {
        const uint16_t wanted = h->compression == BMP_BI_RLE8 ? 8 : 4;
        if (bits != wanted) {
            *reason = format("%s compression needs %u bits per pixel, not %u",
                             compression_name(h->compression), wanted, bits);
            return false;
        }
        if (h->height < 0) {
            *reason = format("%s image stored top-down (negative height), which RLE cannot be",
                             compression_name(h->compression));
            return false;
        }
        h->layout = h->compression == BMP_BI_RLE8 ? PIXELS_RLE8 : PIXELS_RLE4;
        return true;
    }
    case BMP_BI_BITFIELDS:
    case BMP_BI_ALPHABITFIELDS:
        if (bits != 16 && bits != 32) {
            *reason = format("bit-field masks need 16 or 32 bits per pixel, not %u", bits);
            return false;
        }
        h->layout = PIXELS_MASKED;
        if (h->info_size == BMP_INFO_HEADER)
            h->mask_bytes = h->compression == BMP_BI_BITFIELDS ? 12 : 16;
        return true;
    case BMP_BI_JPEG:
    case BMP_BI_PNG:
        *reason = format("a %s picture inside a BMP is not decoded",
                         compression_name(h->compression));
        return false;
    default:
        *reason = format("compression method %u is unknown", h->compression);
        return false;
    }
}

bool check_size(const file_cursor* c, bmp_header* h, std::string* reason)
{
    if (h->width <= 0 || h->height == 0) {
        *reason = format("image of %d x %d pixels has no area", h->width, h->height);
        return false;
    }
    const int64_t rows = h->height < 0 ? -static_cast<int64_t>(h->height) : h->height;
    if (h->width > BMP_MAX_SIDE || rows > BMP_MAX_SIDE) {
        *reason = format("image of %d x %lld pixels is larger than %d on a side", h->width,
                         static_cast<long long>(rows), BMP_MAX_SIDE);
        return false;
    }
    if (static_cast<int64_t>(h->width) * rows * 4 >= (int64_t{1} << 31)) {
        *reason = format("image of %d x %lld pixels needs 2 GiB or more", h->width,
                         static_cast<long long>(rows));
        return false;
    }
    h->rows = static_cast<int32_t>(rows);
    const int64_t headers = BMP_FILE_HEADER_SIZE + h->info_size + h->mask_bytes;
    if (h->pixel_offset < headers) {
        *reason = format("pixel data offset %u lies inside the headers", h->pixel_offset);
        return false;
    }
    if (h->pixel_offset > static_cast<uint64_t>(c->size)) {
        *reason = format("pixel data offset %u lies past the end of the file (%lld bytes)",
                         h->pixel_offset, static_cast<long long>(c->size));
        return false;
    }
    // A tiny hostile file must not make us allocate what it cannot hold.
    if (h->layout == PIXELS_RLE8 || h->layout == PIXELS_RLE4) {
        const int64_t stream = c->size - static_cast<int64_t>(h->pixel_offset);
        if (static_cast<int64_t>(h->width) * rows > RLE_MAX_PIXELS_PER_BYTE * (stream + 1)) {
            *reason = format("header promises %d x %d pixels from %lld bytes of RLE data",
                             h->width, h->rows, static_cast<long long>(stream));
            return false;
        }
    } else if (row_stride(*h) * rows > 2 * static_cast<int64_t>(c->size)) {
        *reason = format("header promises %lld bytes of pixels, the file holds %lld bytes",
                         static_cast<long long>(row_stride(*h) * rows),
                         static_cast<long long>(c->size));
        return false;
    }
    return true;
}

const char* channel_name(int i)
{
    return i == 0 ? "red" : i == 1 ? "green" : "blue";
}

// Takes the masks from the file (or the defaults for plain 16 and 32 bits)
// and turns each into a shift, a width and, for narrow ones, a level table.
bool read_masks(file_cursor* c, bmp_header* h, std::string* reason, std::string* notes)
{
    if (h->layout != PIXELS_MASKED)
        return true;
    uint32_t masks[3];
    if (h->compression == BMP_BI_RGB) {
        masks[0] = h->bits == 16 ? 0x7C00 : 0xFF0000;
        masks[1] = h->bits == 16 ? 0x03E0 : 0x00FF00;
        masks[2] = h->bits == 16 ? 0x001F : 0x0000FF;
    } else if (h->mask_bytes > 0) {
        seek_to(c, static_cast<uint64_t>(BMP_FILE_HEADER_SIZE + h->info_size));
        for (uint32_t& mask : masks)
            read_u32(c, &mask);  // within the pixel offset, so within the file
    } else {
        std::memcpy(masks, h->header_masks, sizeof masks);
    }
    if ((masks[0] | masks[1] | masks[2]) == 0) {
        *reason = "bit-field masks are all zero";
        return false;
    }
    channel* channels[3] = {&h->red, &h->green, &h->blue};
    for (int i = 0; i < 3; ++i) {
        channel* ch = channels[i];
        const uint64_t mask = masks[i];
        if (h->bits == 16 && mask > 0xFFFF) {
            *reason = format("%s mask 0x%08x reaches past the 16 bits of a pixel",
                             channel_name(i), masks[i]);
            return false;
        }
        ch->mask = masks[i];
        if (mask == 0) {
            add_note(notes, format("the masks give %s no bits; it reads 0", channel_name(i)));
            continue;
        }
        while (!((mask >> ch->shift) & 1))
            ++ch->shift;
        const uint64_t run = mask >> ch->shift;
        if ((run & (run + 1)) != 0) {
            *reason = format("%s mask 0x%08x is not one run of bits", channel_name(i), masks[i]);
            return false;
        }
        while ((run >> ch->bits) & 1)
            ++ch->bits;
        if (ch->bits <= 8) {
            const uint32_t max = (1u << ch->bits) - 1;
            for (uint32_t v = 0; v <= max; ++v)
                ch->level[v] = static_cast<uint8_t>((v * 510 + max) / (2 * max));
        }
    }
    return true;
}

// The colour table, as far as it lies before the pixel data.
void read_palette(file_cursor* c, bmp_header* h, std::string* notes)
{
    if (h->layout == PIXELS_BGR24 || h->layout == PIXELS_MASKED)
        return;
    const int most = 1 << h->bits;
    int wanted = most;
    if (h->colours_used > static_cast<uint32_t>(most))
        add_note(notes, format("colour table of %u entries declared, %d-bit indices reach %d",
                               h->colours_used, h->bits, most));
    else if (h->colours_used > 0)
        wanted = static_cast<int>(h->colours_used);
    const uint32_t entry_size =
        h->info_size == BMP_OS2_CORE_HEADER ? BMP_CORE_ENTRY_SIZE : BMP_ENTRY_SIZE;
    const uint32_t start = BMP_FILE_HEADER_SIZE + h->info_size + h->mask_bytes;
    const uint32_t room = (h->pixel_offset - start) / entry_size;
    if (room < static_cast<uint32_t>(wanted)) {
        add_note(notes, format("colour table cut to the %u entries before the pixel data", room));
        wanted = static_cast<int>(room);
    }
    uint8_t entries[256 * 4];
    seek_to(c, start);
    read_bytes(c, entries, static_cast<size_t>(wanted) * entry_size);  // before the pixel offset
    for (int i = 0; i < wanted; ++i) {
        const uint8_t* e = entries + static_cast<size_t>(i) * entry_size;
        h->palette[i][0] = e[2];
        h->palette[i][1] = e[1];
        h->palette[i][2] = e[0];
    }
    h->palette_size = wanted;
}

// Fields nothing depends on, noted when they disagree with the file.
void note_header_fields(const file_cursor* c, const bmp_header& h, std::string* notes)
{
    if (h.planes != 1)
        add_note(notes, format("%u colour planes declared, read as 1", h.planes));
    if (h.file_size_field != 0 && h.file_size_field != static_cast<uint64_t>(c->size))
        add_note(notes, format("file size field says %u bytes, the file has %lld",
                               h.file_size_field, static_cast<long long>(c->size)));
    const bool compressed = h.layout == PIXELS_RLE8 || h.layout == PIXELS_RLE4;
    if (!compressed && h.image_size != 0 && h.image_size != row_stride(h) * h.rows)
        add_note(notes, format("image size field says %u bytes, the rows take %lld", h.image_size,
                               static_cast<long long>(row_stride(h) * h.rows)));
    if (h.x_density > 0 && h.y_density > 0 && h.x_density != h.y_density)
        add_note(notes, format("pixels are not square (%d x %d per metre); kept as stored",
                               h.x_density, h.y_density));
}

std::string describe(const bmp_header& h)
{
    std::string kind = format("%u bit%s per pixel, %s", h.bits, h.bits == 1 ? "" : "s",
                              compression_name(h.compression));
    if (h.layout == PIXELS_MASKED)
        kind += format(" %d-%d-%d", h.red.bits, h.green.bits, h.blue.bits);
    if (h.palette_size > 0)
        kind += format(", %d-colour palette", h.palette_size);
    kind += format(", %u-byte %s, %s", h.info_size, header_name(h.info_size),
                   h.height < 0 ? "top-down" : "bottom-up");
    return kind;
}

// ---- row decoders: each writes `width` RGBA pixels, alpha 255 ----

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

// The hot loop for the common kind: the width in a local and unaliased
// pointers let the compiler keep it in registers and vectorise the loop.
void expand_bgr24(const bmp_header& h, const uint8_t* __restrict in, uint8_t* __restrict out)
{
    const size_t width = static_cast<size_t>(h.width);
    for (size_t x = 0; x < width; ++x) {
        out[4 * x] = in[3 * x + 2];
        out[4 * x + 1] = in[3 * x + 1];
        out[4 * x + 2] = in[3 * x];
        out[4 * x + 3] = 255;
    }
}

// v × 255 / (2^bits − 1), rounded.
uint8_t scale(const channel& ch, uint32_t pixel)
{
    if (ch.bits == 0)
        return 0;
    const uint64_t v = (pixel & ch.mask) >> ch.shift;
    if (ch.bits <= 8)
        return ch.level[v];
    const uint64_t max = (uint64_t{1} << ch.bits) - 1;
    return static_cast<uint8_t>((v * 510 + max) / (2 * max));
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

void note_past_palette(const bmp_header& h, int64_t count, std::string* notes)
{
    if (count > 0)
        add_note(notes, format("%lld pixels use colour indices past the %d-entry colour table, "
                               "drawn black",
                               static_cast<long long>(count), h.palette_size));
}

// Uncompressed rows with their 4-byte stride; rows missing at the file's end
// stay zero.
void decode_rows(file_cursor* c, const bmp_header& h, bmp_image* image, std::string* notes)
{
    const int32_t width = h.width;
    const int32_t rows = h.rows;
    const int64_t row_bytes = bmp_row_bytes(width, h.bits);
    const int64_t stride = row_stride(h);
    const int64_t available = c->size - static_cast<int64_t>(h.pixel_offset);
    // The last row may come without its padding.
    int64_t present = available < row_bytes ? 0 : (available - row_bytes) / stride + 1;
    if (present > rows)
        present = rows;

    std::vector<uint8_t> row(static_cast<size_t>(row_bytes));
    int64_t past_palette = 0;
    seek_to(c, h.pixel_offset);
    for (int32_t r = 0; r < present; ++r) {
        const int32_t texture_row = h.height < 0 ? rows - 1 - r : r;
        uint8_t* out = image->rgba.data() + static_cast<size_t>(texture_row) * width * 4;
        read_bytes(c, row.data(), row.size());
        if (h.layout == PIXELS_INDEXED)
            expand_indexed(h, row.data(), out, &past_palette);
        else if (h.layout == PIXELS_BGR24)
            expand_bgr24(h, row.data(), out);
        else
            expand_masked(h, row.data(), out);
        if (r + 1 < present)
            skip_bytes(c, static_cast<uint64_t>(stride - row_bytes));
    }
    note_past_palette(h, past_palette, notes);
    // The rows the file lacks are zero, alpha included, as a cleared buffer would hold.
    const size_t row_size = static_cast<size_t>(width) * 4;
    for (int32_t r = static_cast<int32_t>(present); r < rows; ++r) {
        const int32_t texture_row = h.height < 0 ? rows - 1 - r : r;
        std::memset(image->rgba.data() + static_cast<size_t>(texture_row) * row_size, 0, row_size);
    }
    if (present < rows)
        add_note(notes, format("pixel data ends early: %lld of %d rows missing, left black",
                               static_cast<long long>(rows - present), rows));
}

// RLE8 and RLE4 streams, bottom row first. Pixels the stream skips are black;
// a malformed stream keeps what was decoded before the fault.
void decode_rle(file_cursor* c, const bmp_header& h, bmp_image* image, std::string* notes)
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
            fault = format("RLE data ends without its end code, at row %lld of %d",
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
                fault = format("RLE delta moves past the image, to column %lld of row %lld",
                               static_cast<long long>(x), static_cast<long long>(y));
                break;
            }
        } else {
            // Absolute run of `code` indices, padded to a 16-bit boundary.
            uint8_t literal[256];
            size_t bytes = four ? (code + 1) / 2 : code;
            bytes += bytes & 1;
            if (!read_bytes(c, literal, bytes)) {
                fault = format("RLE data ends inside a literal run, at row %lld of %d",
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

}  // namespace

bool decode_bmp_file(const char* path, bmp_image* image, std::string* reason)
{
    *image = bmp_image{};
    file_cursor c;
    if (!cursor_open(&c, path)) {
        *reason = format("cannot open: %s", std::strerror(errno));
        return false;
    }
    bmp_header h;
    std::string notes;
    const bool ok = read_header(&c, &h, reason) && choose_layout(&h, reason) &&
                    check_size(&c, &h, reason) && read_masks(&c, &h, reason, &notes);
    if (ok) {
        read_palette(&c, &h, &notes);
        note_header_fields(&c, h, &notes);
        image->width = h.width;
        image->height = h.rows;
        image->kind = describe(h);
        // Not cleared: each decoder below writes every byte.
        image->rgba.resize(static_cast<size_t>(image->width) * image->height * 4);
        if (h.layout == PIXELS_RLE8 || h.layout == PIXELS_RLE4)
            decode_rle(&c, h, image, &notes);
        else
            decode_rows(&c, h, image, &notes);
        image->warning = notes;
    }
    cursor_close(&c);
    return ok;
}
