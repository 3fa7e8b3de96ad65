// The TGA decoder on any bytes at all, from memory and through an open file
// (whose window the RLE packets straddle), with the checks the upload relies
// on and the two entries held to the same result.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "formats/tga.h"

namespace {

[[noreturn]] void invariant_broken(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    formats::tga_image image;
    std::string reason;
    const bool decoded = formats::decode_tga(data, size, &image, &reason);
    if (!decoded && reason.empty())
        invariant_broken("a refused file gave no reason");
    if (decoded) {
        if (image.width <= 0 || image.width > formats::TGA_MAX_SIDE || image.height <= 0 ||
            image.height > formats::TGA_MAX_SIDE)
            invariant_broken("a decoded image has a side outside 1..32768");
        if (image.rgba.size() != static_cast<size_t>(image.width) * image.height * 4)
            invariant_broken("a decoded buffer is not width x height x 4 bytes");
        // No kind may make a small file into a big allocation.
        if (image.rgba.size() > 1024 * (size + 1))
            invariant_broken("a decoded buffer is more than 1 KiB per byte of file");
    }

    // glibc's memory stream refuses an empty buffer.
    FILE* file = size > 0 ? fmemopen(const_cast<uint8_t*>(data), size, "rb") : nullptr;
    if (!file)
        return 0;
    formats::tga_image from_file;
    std::string file_reason;
    const bool file_decoded = formats::decode_tga_file(file, &from_file, &file_reason);
    std::fclose(file);
    if (file_decoded != decoded || file_reason != reason || from_file.kind != image.kind ||
        from_file.rgba != image.rgba ||
        formats::join_notes(from_file.notes) != formats::join_notes(image.notes))
        invariant_broken("the file entry and the memory entry disagree");
    return 0;
}
