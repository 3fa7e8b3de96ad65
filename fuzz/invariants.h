// What the fuzz targets hold the readers to, beyond not crashing: a broken
// invariant aborts, which libFuzzer reports like a crash.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>

[[noreturn]] inline void invariant_broken(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

// What the texture upload relies on of a picture decoder's result, from
// `size` bytes of input.
template <class Image>
void check_picture(bool decoded, const Image& image, const std::string& reason, size_t size,
                   int max_side)
{
    if (!decoded) {
        if (reason.empty())
            invariant_broken("a refused file gave no reason");
        return;
    }
    if (image.width <= 0 || image.width > max_side || image.height <= 0 || image.height > max_side)
        invariant_broken("a decoded image has a side outside 1..32768");
    if (image.rgba.size() != static_cast<size_t>(image.width) * image.height * 4)
        invariant_broken("a decoded buffer is not width x height x 4 bytes");
    // No kind may make a small file into a big allocation.
    if (image.rgba.size() > 1024 * (size + 1))
        invariant_broken("a decoded buffer is more than 1 KiB per byte of file");
}
