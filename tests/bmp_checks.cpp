#include "bmp_checks.h"

#include <gtest/gtest.h>
#include <png.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "test_files.h"
#include "writer.h"

namespace {

std::atomic<size_t> largest{0};

void note_size(size_t n)
{
    size_t seen = largest.load();
    while (n > seen && !largest.compare_exchange_weak(seen, n)) {
    }
}

void* watched_alloc(size_t n)
{
    note_size(n);
    return std::malloc(n ? n : 1);
}

}  // namespace

// Every form of new and delete is replaced, so memory taken here is always
// given back here (the sanitizer checks that the pairs match).
void* operator new(size_t n)
{
    if (void* p = watched_alloc(n))
        return p;
    throw std::bad_alloc();
}
void* operator new[](size_t n)
{
    return operator new(n);
}
void* operator new(size_t n, const std::nothrow_t&) noexcept
{
    return watched_alloc(n);
}
void* operator new[](size_t n, const std::nothrow_t&) noexcept
{
    return watched_alloc(n);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, size_t) noexcept
{
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}

// The decoder takes large pixel buffers aligned to huge pages.
void* operator new(size_t n, std::align_val_t alignment)
{
    const size_t align = static_cast<size_t>(alignment);
    const size_t whole = (n + align - 1) / align * align;
    note_size(whole);
    if (void* p = std::aligned_alloc(align, whole))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p, std::align_val_t) noexcept
{
    std::free(p);
}
void operator delete(void* p, size_t, std::align_val_t) noexcept
{
    std::free(p);
}

void reset_largest_allocation()
{
    largest = 0;
}

size_t largest_allocation()
{
    return largest.load();
}

void expect_refused_before_allocating(const std::string& path, const std::string& reason)
{
    bmp_image image;
    std::string got;
    reset_largest_allocation();
    EXPECT_FALSE(decode_bmp_file(path.c_str(), &image, &got));
    EXPECT_LT(largest_allocation(), 4096u);
    EXPECT_NE(got.find(reason), std::string::npos) << got;
    EXPECT_TRUE(image.rgba.empty());
}

bool decode_bytes(const std::vector<uint8_t>& bytes, bmp_image* image, std::string* reason)
{
    const std::string path = temp_path("decoded.bmp");
    if (!write_file(path, bytes)) {
        *reason = "cannot write " + path;
        return false;
    }
    return decode_bmp_file(path.c_str(), image, reason);
}

bool read_png(const std::string& path, rgb_picture* picture)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_read_png(png, info,
                 PNG_TRANSFORM_STRIP_16 | PNG_TRANSFORM_STRIP_ALPHA | PNG_TRANSFORM_PACKING |
                     PNG_TRANSFORM_EXPAND | PNG_TRANSFORM_GRAY_TO_RGB,
                 nullptr);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    png_bytepp rows = png_get_rows(png, info);
    picture->width = static_cast<int32_t>(width);
    picture->height = static_cast<int32_t>(height);
    picture->rgb.clear();
    for (png_uint_32 y = 0; y < height; ++y)
        picture->rgb.insert(picture->rgb.end(), rows[y], rows[y] + 3 * width);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    return true;
}

rgb_picture picture_of(const bmp_image& image)
{
    rgb_picture p;
    p.width = image.width;
    p.height = image.height;
    for (int32_t row = image.height - 1; row >= 0; --row)
        for (int32_t x = 0; x < image.width; ++x) {
            const uint8_t* t = image.rgba.data() + (static_cast<size_t>(row) * image.width + x) * 4;
            p.rgb.insert(p.rgb.end(), t, t + 3);
        }
    return p;
}

std::string first_difference(const rgb_picture& got, const rgb_picture& want)
{
    if (got.width != want.width || got.height != want.height)
        return "size " + std::to_string(got.width) + "x" + std::to_string(got.height) +
               ", want " + std::to_string(want.width) + "x" + std::to_string(want.height);
    for (size_t i = 0; i < want.rgb.size() && i < got.rgb.size(); i += 3) {
        if (got.rgb[i] != want.rgb[i] || got.rgb[i + 1] != want.rgb[i + 1] ||
            got.rgb[i + 2] != want.rgb[i + 2]) {
            char text[160];
            const size_t pixel = i / 3;
            std::snprintf(text, sizeof text,
                          "pixel (%zu, %zu) from the top is %d %d %d, want %d %d %d",
                          pixel % want.width, pixel / want.width, got.rgb[i], got.rgb[i + 1],
                          got.rgb[i + 2], want.rgb[i], want.rgb[i + 1], want.rgb[i + 2]);
            return text;
        }
    }
    return got.rgb.size() == want.rgb.size() ? "" : "pixel data of another length";
}

uint32_t texel_rgb(const bmp_image& image, int32_t x, int32_t row)
{
    const size_t at = (static_cast<size_t>(row) * image.width + x) * 4;
    return static_cast<uint32_t>(image.rgba.at(at)) << 16 |
           static_cast<uint32_t>(image.rgba.at(at + 1)) << 8 | image.rgba.at(at + 2);
}

uint8_t texel_alpha(const bmp_image& image, int32_t x, int32_t row)
{
    return image.rgba.at((static_cast<size_t>(row) * image.width + x) * 4 + 3);
}
