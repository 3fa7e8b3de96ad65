#include "texture.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "reader.h"

int32_t next_texture_id = -1;
std::string texture_error;

namespace {

constexpr long FILE_HEADER_SIZE = 14;
constexpr long MIN_BMP_SIZE = FILE_HEADER_SIZE + 40;

struct bmp_header {
    uint32_t pixel_offset;
    uint32_t info_size;
    int32_t width;
    int32_t height;  // negative for a picture stored top row first
    uint16_t planes;
    uint16_t bits;
    uint32_t compression;
};

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...)
{
    char text[256];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    return text;
}

bool known_info_size(uint32_t size)
{
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

bool read_header(file_cursor* c, bmp_header* h, std::string* reason)
{
    if (c->size < MIN_BMP_SIZE) {
        *reason = format("file is %ld bytes, shorter than the %ld-byte BMP header", c->size,
                         MIN_BMP_SIZE);
        return false;
    }
    uint8_t magic[2];
    uint32_t file_size, reserved;
    read_bytes(c, magic, 2);
    read_u32(c, &file_size);
    read_u32(c, &reserved);
    read_u32(c, &h->pixel_offset);
    read_u32(c, &h->info_size);
    read_i32(c, &h->width);
    read_i32(c, &h->height);
    read_u16(c, &h->planes);
    read_u16(c, &h->bits);
    read_u32(c, &h->compression);
    if (magic[0] != 'B' || magic[1] != 'M') {
        *reason = "not a BMP file (no \"BM\" signature)";
        return false;
    }
    if (!known_info_size(h->info_size)) {
        *reason = format("info header of %u bytes is not one this loader knows", h->info_size);
        return false;
    }
    if (h->bits != 24) {
        *reason = format("%u bits per pixel; only 24-bit images are decoded", h->bits);
        return false;
    }
    if (h->compression != 0) {
        *reason = format("compression method %u; only uncompressed images are decoded",
                         h->compression);
        return false;
    }
    return true;
}

bool check_size(const file_cursor* c, const bmp_header& h, std::string* reason)
{
    if (h.width <= 0 || h.height == 0) {
        *reason = format("image of %d x %d pixels has no area", h.width, h.height);
        return false;
    }
    const int64_t rows = h.height < 0 ? -static_cast<int64_t>(h.height) : h.height;
    if (h.width > BMP_MAX_SIDE || rows > BMP_MAX_SIDE) {
        *reason = format("image of %d x %lld pixels is larger than %d on a side", h.width,
                         static_cast<long long>(rows), BMP_MAX_SIDE);
        return false;
    }
    if (static_cast<int64_t>(h.width) * rows * 4 >= (int64_t{1} << 31)) {
        *reason = format("image of %d x %lld pixels needs 2 GiB or more", h.width,
                         static_cast<long long>(rows));
        return false;
    }
    if (h.pixel_offset < FILE_HEADER_SIZE + h.info_size) {
        *reason = format("pixel data offset %u lies inside the headers", h.pixel_offset);
        return false;
    }
    if (h.pixel_offset > static_cast<uint64_t>(c->size)) {
        *reason = format("pixel data offset %u lies past the end of the file (%ld bytes)",
                         h.pixel_offset, c->size);
        return false;
    }
    // A tiny hostile file must not make us allocate what it cannot hold.
    const int64_t stride = (static_cast<int64_t>(h.width) * 3 + 3) / 4 * 4;
    if (stride * rows > 2 * static_cast<int64_t>(c->size)) {
        *reason = format("header promises %lld bytes of pixels, the file holds %ld bytes",
                         static_cast<long long>(stride * rows), c->size);
        return false;
    }
    return true;
}

// Reads the rows that are in the file; rows missing at its end stay zero.
void read_pixels(file_cursor* c, const bmp_header& h, bmp_image* image)
{
    const int32_t width = image->width;
    const int32_t rows = image->height;
    const bool top_down = h.height < 0;
    const int64_t row_bytes = static_cast<int64_t>(width) * 3;
    const int64_t stride = (row_bytes + 3) / 4 * 4;
    const int64_t available = c->size - static_cast<long>(h.pixel_offset);
    // The last row may come without its padding.
    int64_t present = available < row_bytes ? 0 : (available - row_bytes) / stride + 1;
    if (present > rows)
        present = rows;

    seek_to(c, h.pixel_offset);
    for (int32_t r = 0; r < present; ++r) {
        const int32_t texture_row = top_down ? rows - 1 - r : r;
        uint8_t* out = image->rgba.data() + static_cast<size_t>(texture_row) * width * 4;
        // Read the row's 3-byte pixels into the back of its 4-byte slots, then
        // widen them front to back: each write lands at or before the bytes
        // still to be read, so the row needs no buffer of its own.
        uint8_t* in = out + width;
        read_bytes(c, in, static_cast<size_t>(row_bytes));
        for (int32_t i = 0; i < width; ++i) {
            const uint8_t b = in[3 * i], g = in[3 * i + 1], r8 = in[3 * i + 2];
            out[4 * i] = r8;
            out[4 * i + 1] = g;
            out[4 * i + 2] = b;
            out[4 * i + 3] = 255;
        }
        if (r + 1 < present)
            skip_bytes(c, static_cast<uint64_t>(stride - row_bytes));
    }
    if (present < rows)
        image->warning = format("pixel data ends early: %lld of %d rows missing, left black",
                                static_cast<long long>(rows - present), rows);
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
    bmp_header h{};
    const bool ok = read_header(&c, &h, reason) && check_size(&c, h, reason);
    if (ok) {
        image->width = h.width;
        image->height = h.height < 0 ? -h.height : h.height;
        image->kind = format("24 bits per pixel, uncompressed, %u-byte info header, %s",
                             h.info_size, h.height < 0 ? "top-down" : "bottom-up");
        image->rgba.assign(static_cast<size_t>(image->width) * image->height * 4, 0);
        read_pixels(&c, h, image);
    }
    cursor_close(&c);
    return ok;
}

int32_t load_bmp_texture(const char* path)
{
    ++next_texture_id;
    texture_error.clear();
    bmp_image image;
    std::string reason;
    // The file is closed again before the first OpenGL call.
    if (!decode_bmp_file(path, &image, &reason)) {
        texture_error = reason;
        std::fprintf(stderr, "%s: %s\n", path, reason.c_str());
        return -1;
    }
    if (!image.warning.empty())
        std::fprintf(stderr, "%s: %s\n", path, image.warning.c_str());

    GLint max_side = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_side);
    if (image.width > max_side || image.height > max_side) {
        texture_error = format("image of %d x %d pixels is larger than this OpenGL's limit of %d",
                               image.width, image.height, max_side);
        std::fprintf(stderr, "%s: %s\n", path, texture_error.c_str());
        return -1;
    }

    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(next_texture_id));
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, image.width, image.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 image.rgba.data());
    gluBuild2DMipmaps(GL_TEXTURE_2D, 4, image.width, image.height, GL_RGBA, GL_UNSIGNED_BYTE,
                      image.rgba.data());
    return next_texture_id;
}
