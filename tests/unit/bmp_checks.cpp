#include "bmp_checks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>


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

void expect_refused_before_allocating(const std::vector<uint8_t>& bytes,
                                      const std::string& reason)
{
    bmp_image image;
    std::string got;
    reset_largest_allocation();
    EXPECT_FALSE(decode_bytes(bytes, &image, &got));
    EXPECT_LT(largest_allocation(), 4096u);
    EXPECT_NE(got.find(reason), std::string::npos) << got;
    EXPECT_TRUE(image.rgba.empty());
}

bool decode_bytes(const std::vector<uint8_t>& bytes, bmp_image* image, std::string* reason)
{
    return formats::decode_bmp(bytes.data(), bytes.size(), image, reason);
}

test_support::rgb_image picture_of(const bmp_image& image)
{
    test_support::rgb_image picture(image.width, image.height);
    for (int32_t row = 0; row < image.height; ++row)
        for (int32_t x = 0; x < image.width; ++x) {
            const uint8_t* t = image.rgba.data() + (static_cast<size_t>(row) * image.width + x) * 4;
            picture.set(x, image.height - 1 - row, test_support::rgb_pixel{t[0], t[1], t[2]});
        }
    return picture;
}

std::string difference_from_reference(const bmp_image& image, const std::string& png)
{
    const std::optional<test_support::rgb_image> want = test_support::read_png(png);
    if (!want)
        return "cannot read " + png;
    return test_support::first_difference(picture_of(image), *want);
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
