// The BMP decoder (everything the texture loader does before OpenGL) on any
// bytes at all, straight from memory, with the checks the upload relies on.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "formats/bmp.h"

namespace {

[[noreturn]] void invariant_broken(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    formats::bmp_image image;
    std::string reason;
    if (!formats::decode_bmp(data, size, &image, &reason)) {
        if (reason.empty())
            invariant_broken("a refused file gave no reason");
        return 0;
    }
    if (image.width <= 0 || image.width > formats::BMP_MAX_SIDE || image.height <= 0 ||
        image.height > formats::BMP_MAX_SIDE)
        invariant_broken("a decoded image has a side outside 1..32768");
    if (image.rgba.size() != static_cast<size_t>(image.width) * image.height * 4)
        invariant_broken("a decoded buffer is not width x height x 4 bytes");
    // No kind may make a small file into a big allocation.
    if (image.rgba.size() > 1024 * (size + 1))
        invariant_broken("a decoded buffer is more than 1 KiB per byte of file");
    return 0;
}
