// The BMP decoder (everything the texture loader does before OpenGL) on any
// bytes at all, with the checks the upload relies on after every input.
#include <cstdio>
#include <string>

#include "bmp.h"
#include "fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* path = write_input_file(data, size);
    bmp_image image;
    std::string reason;
    if (!decode_bmp_file(path, &image, &reason)) {
        if (reason.empty())
            invariant_broken("a refused file gave no reason");
        return 0;
    }
    if (image.width <= 0 || image.width > BMP_MAX_SIDE || image.height <= 0 ||
        image.height > BMP_MAX_SIDE)
        invariant_broken("a decoded image has a side outside 1..32768");
    if (image.rgba.size() != static_cast<size_t>(image.width) * image.height * 4)
        invariant_broken("a decoded buffer is not width x height x 4 bytes");
    // No kind may make a small file into a big allocation.
    if (image.rgba.size() > 1024 * (size + 1))
        invariant_broken("a decoded buffer is more than 1 KiB per byte of file");
    return 0;
}
