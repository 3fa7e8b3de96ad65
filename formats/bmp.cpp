#include "bmp.h"

#include <cstring>
#include <utility>

#include "bmp_header.h"
#include "cursor.h"
#include "format_bmp.h"
#include "rgba_rows.h"

namespace formats {

namespace {

// An RLE stream may skip whole rows in a few bytes, so its pixel count is
// not tied to its length. Runs give at most 127.5 pixels a byte; this bound
// leaves room for some skipping while a tiny hostile file still cannot ask
// for more than 1 KiB of pixels per byte it holds.
constexpr int64_t RLE_MAX_PIXELS_PER_BYTE = 256;

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

// The fields as they stand; a header shorter than the Windows one leaves the
// rest at their defaults (no compression, a full colour table).
bool read_header(cursor* c, bmp_header* h, std::string* reason)
{
    uint8_t start[BMP_FILE_HEADER_SIZE + 4];  // up to the info header's size
    // The read fails too where the file shrinks under us.
    if (c->size < static_cast<int64_t>(sizeof start) || !read_bytes(c, start, sizeof start)) {
        *reason = format_text("file is %lld bytes, too short for a BMP header",
                              static_cast<long long>(c->size));
        return false;
    }
    h->file_size_field = u32_at(start + BMP_FILE_SIZE);
    h->pixel_offset = u32_at(start + BMP_PIXEL_OFFSET);
    h->info_size = u32_at(start + BMP_INFO_SIZE);
    if (start[0] != 'B' || start[1] != 'M') {
        *reason = "not a BMP file (no \"BM\" signature)";
        return false;
    }
    if (!known_info_size(h->info_size)) {
        *reason = format_text("info header of %u bytes is not one this loader knows", h->info_size);
        return false;
    }
    const int64_t headers = static_cast<int64_t>(BMP_FILE_HEADER_SIZE) + h->info_size;
    if (c->size < headers) {
        *reason = format_text("file is %lld bytes, shorter than its %lld-byte BMP header",
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
        *reason = format_text("%u bits per pixel is not a BMP bit depth (1, 2, 4, 8, 16, 24, 32)",
                              bits);
        return false;
    }
    if (h->info_size == BMP_OS2_HEADER &&
        (h->compression == BMP_OS2_HUFFMAN_1D || h->compression == BMP_OS2_RLE24)) {
        *reason = format_text("OS/2 compression method %u (%s) is not decoded", h->compression,
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
            *reason = format_text("%s compression needs %u bits per pixel, not %u",
                                  compression_name(h->compression), wanted, bits);
            return false;
        }
        if (h->height < 0) {
            *reason = format_text("%s image stored top-down (negative height), which RLE cannot be",
                                  compression_name(h->compression));
            return false;
        }
        h->layout = h->compression == BMP_BI_RLE8 ? PIXELS_RLE8 : PIXELS_RLE4;
        return true;
    }
    case BMP_BI_BITFIELDS:
    case BMP_BI_ALPHABITFIELDS:
        if (bits != 16 && bits != 32) {
            *reason = format_text("bit-field masks need 16 or 32 bits per pixel, not %u", bits);
            return false;
        }
        h->layout = PIXELS_MASKED;
        if (h->info_size == BMP_INFO_HEADER)
            h->mask_bytes = h->compression == BMP_BI_BITFIELDS ? 12 : 16;
        return true;
    case BMP_BI_JPEG:
    case BMP_BI_PNG:
        *reason = format_text("a %s picture inside a BMP is not decoded",
                              compression_name(h->compression));
        return false;
    default:
        *reason = format_text("compression method %u is unknown", h->compression);
        return false;
    }
}

// The picture's sides, within what the decoder takes.
bool check_sides(bmp_header* h, std::string* reason)
{
    if (h->width <= 0 || h->height == 0) {
        *reason = format_text("image of %d x %d pixels has no area", h->width, h->height);
        return false;
    }
    const int64_t rows = h->height < 0 ? -static_cast<int64_t>(h->height) : h->height;
    if (h->width > BMP_MAX_SIDE || rows > BMP_MAX_SIDE) {
        *reason = format_text("image of %d x %lld pixels is larger than %d on a side", h->width,
                              static_cast<long long>(rows), BMP_MAX_SIDE);
        return false;
    }
    if (static_cast<int64_t>(h->width) * rows * 4 >= (int64_t{1} << 31)) {
        *reason = format_text("image of %d x %lld pixels needs 2 GiB or more", h->width,
                              static_cast<long long>(rows));
        return false;
    }
    h->rows = static_cast<int32_t>(rows);
    return true;
}

// Whether the file can hold what its headers describe.
bool check_extent(const cursor* c, const bmp_header* h, std::string* reason)
{
    const int64_t rows = h->rows;
    const int64_t headers = BMP_FILE_HEADER_SIZE + h->info_size + h->mask_bytes;
    if (h->pixel_offset < headers) {
        *reason = format_text("pixel data offset %u lies inside the headers", h->pixel_offset);
        return false;
    }
    if (h->pixel_offset > static_cast<uint64_t>(c->size)) {
        *reason = format_text("pixel data offset %u lies past the end of the file (%lld bytes)",
                              h->pixel_offset, static_cast<long long>(c->size));
        return false;
    }
    // A tiny hostile file must not make us allocate what it cannot hold.
    if (h->layout == PIXELS_RLE8 || h->layout == PIXELS_RLE4) {
        const int64_t stream = c->size - static_cast<int64_t>(h->pixel_offset);
        if (static_cast<int64_t>(h->width) * rows > RLE_MAX_PIXELS_PER_BYTE * (stream + 1)) {
            *reason = format_text("header promises %d x %d pixels from %lld bytes of RLE data",
                                  h->width, h->rows, static_cast<long long>(stream));
            return false;
        }
    } else if (bmp_row_stride(h->width, h->bits) * rows > 2 * static_cast<int64_t>(c->size)) {
        *reason = format_text("header promises %lld bytes of pixels, the file holds %lld bytes",
                              static_cast<long long>(bmp_row_stride(h->width, h->bits) * rows),
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
bool read_masks(cursor* c, bmp_header* h, std::string* reason,
                std::vector<load_note>* notes)
{
    if (h->layout != PIXELS_MASKED)
        return true;
    uint32_t masks[3] = {0, 0, 0};  // no bits, not stack bytes, should the file shrink under us
    if (h->compression == BMP_BI_RGB) {
        masks[0] = h->bits == 16 ? 0x7C00 : 0xFF0000;
        masks[1] = h->bits == 16 ? 0x03E0 : 0x00FF00;
        masks[2] = h->bits == 16 ? 0x001F : 0x0000FF;
    } else if (h->mask_bytes > 0) {
        seek_to(c, static_cast<uint64_t>(BMP_FILE_HEADER_SIZE + h->info_size));
        for (uint32_t& mask : masks)
            read_u32(c, &mask);
    } else {
        std::memcpy(masks, h->header_masks, sizeof masks);
    }
    if ((masks[0] | masks[1] | masks[2]) == 0) {
        *reason = "bit-field masks are all zero";
        return false;
    }
    bmp_channel* channels[3] = {&h->red, &h->green, &h->blue};
    for (int i = 0; i < 3; ++i) {
        bmp_channel* ch = channels[i];
        const uint64_t mask = masks[i];
        if (h->bits == 16 && mask > 0xFFFF) {
            *reason = format_text("%s mask 0x%08x reaches past the 16 bits of a pixel",
                                  channel_name(i), masks[i]);
            return false;
        }
        ch->mask = masks[i];
        if (mask == 0) {
            add_note(notes, format_text("the masks give %s no bits; it reads 0", channel_name(i)));
            continue;
        }
        while (!((mask >> ch->shift) & 1))
            ++ch->shift;
        const uint64_t run = mask >> ch->shift;
        if ((run & (run + 1)) != 0) {
            *reason = format_text("%s mask 0x%08x is not one run of bits", channel_name(i),
                                  masks[i]);
            return false;
        }
        while ((run >> ch->bits) & 1)
            ++ch->bits;
        if (ch->bits <= 8) {
            for (uint32_t v = 0; v < (1u << ch->bits); ++v)
                ch->level[v] = widen_channel(v, ch->bits);
        }
    }
    return true;
}

// The colour table, as far as it lies before the pixel data.
void read_palette(cursor* c, bmp_header* h, std::vector<load_note>* notes)
{
    if (h->layout == PIXELS_BGR24 || h->layout == PIXELS_MASKED)
        return;
    const int most = 1 << h->bits;
    int wanted = most;
    if (h->colours_used > static_cast<uint32_t>(most))
        add_note(notes, format_text("colour table of %u entries declared, %d-bit indices reach %d",
                                    h->colours_used, h->bits, most));
    else if (h->colours_used > 0)
        wanted = static_cast<int>(h->colours_used);
    const uint32_t entry_size =
        h->info_size == BMP_OS2_CORE_HEADER ? BMP_CORE_ENTRY_SIZE : BMP_ENTRY_SIZE;
    const uint32_t start = BMP_FILE_HEADER_SIZE + h->info_size + h->mask_bytes;
    const uint32_t room = (h->pixel_offset - start) / entry_size;
    if (room < static_cast<uint32_t>(wanted)) {
        add_note(notes,
                 format_text("colour table cut to the %u entries before the pixel data", room));
        wanted = static_cast<int>(room);
    }
    uint8_t entries[256 * 4]{};  // black should the file shrink under us
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
void note_header_fields(const cursor* c, const bmp_header& h,
                        std::vector<load_note>* notes)
{
    if (h.planes != 1)
        add_note(notes, format_text("%u colour planes declared, read as 1", h.planes));
    if (h.file_size_field != 0 && h.file_size_field != static_cast<uint64_t>(c->size))
        add_note(notes, format_text("file size field says %u bytes, the file has %lld",
                                    h.file_size_field, static_cast<long long>(c->size)));
    const bool compressed = h.layout == PIXELS_RLE8 || h.layout == PIXELS_RLE4;
    const int64_t pixel_bytes = bmp_row_stride(h.width, h.bits) * h.rows;
    if (!compressed && h.image_size != 0 && h.image_size != pixel_bytes)
        add_note(notes, format_text("image size field says %u bytes, the rows take %lld",
                                    h.image_size, static_cast<long long>(pixel_bytes)));
    if (h.x_density > 0 && h.y_density > 0 && h.x_density != h.y_density)
        add_note(notes, format_text("pixels are not square (%d x %d per metre); kept as stored",
                                    h.x_density, h.y_density));
}

std::string describe(const bmp_header& h)
{
    std::string kind = format_text("%u bit%s per pixel, %s", h.bits, h.bits == 1 ? "" : "s",
                                   compression_name(h.compression));
    if (h.layout == PIXELS_MASKED)
        kind += format_text(" %d-%d-%d", h.red.bits, h.green.bits, h.blue.bits);
    if (h.palette_size > 0)
        kind += format_text(", %d-colour palette", h.palette_size);
    kind += format_text(", %u-byte %s, %s", h.info_size, header_name(h.info_size),
                        h.height < 0 ? "top-down" : "bottom-up");
    return kind;
}

// What the headers say of the picture, before anything is allocated.
bool read_picture(cursor* c, bmp_header* h, std::string* reason)
{
    return read_header(c, h, reason) && choose_layout(h, reason) && check_sides(h, reason);
}

// What both entries share: the headers checked, then the pixels decoded.
bool decode(cursor* c, bmp_image* image, std::string* reason)
{
    *image = bmp_image{};
    bmp_header h;
    std::vector<load_note> notes;
    if (!(read_picture(c, &h, reason) && check_extent(c, &h, reason) &&
          read_masks(c, &h, reason, &notes)))
        return false;
    read_palette(c, &h, &notes);
    note_header_fields(c, h, &notes);
    image->width = h.width;
    image->height = h.rows;
    image->kind = describe(h);
    // Not cleared: each decoder below writes every byte.
    image->rgba.resize(static_cast<size_t>(image->width) * image->height * 4);
    if (h.layout == PIXELS_RLE8 || h.layout == PIXELS_RLE4)
        decode_rle_stream(c, h, image, &notes);
    else
        decode_plain_rows(c, h, image, &notes);
    image->notes = std::move(notes);
    return true;
}

}  // namespace

bool decode_bmp(const void* data, size_t size, bmp_image* image, std::string* reason)
{
    cursor c;
    cursor_over_memory(&c, data, size);
    return decode(&c, image, reason);
}

bool read_bmp_picture(const void* data, size_t size, bmp_picture* picture, std::string* reason)
{
    *picture = bmp_picture{};
    cursor c;
    cursor_over_memory(&c, data, size);
    bmp_header h;
    if (!read_picture(&c, &h, reason))
        return false;
    picture->width = h.width;
    picture->height = h.rows;
    return true;
}

bool decode_bmp_file(FILE* file, bmp_image* image, std::string* reason)
{
    return read_over_file(file, [&](cursor* c) { return decode(c, image, reason); });
}

bool decode_bmp_path(const char* path, bmp_image* image, std::string* reason)
{
    *image = bmp_image{};
    return read_path(path, reason,
                     [&](FILE* file) { return decode_bmp_file(file, image, reason); });
}

}  // namespace formats
