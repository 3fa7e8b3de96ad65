// The TGA decoder on any bytes at all, from memory and through an open file
// (whose window the RLE packets straddle), with the checks the upload relies
// on and the two entries held to the same result.
#include <cstdio>
#include <string>

#include "formats/tga.h"
#include "invariants.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    formats::tga_image image;
    std::string reason;
    const bool decoded = formats::decode_tga(data, size, &image, &reason);
    check_picture(decoded, image, reason, size, formats::TGA_MAX_SIDE);

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
