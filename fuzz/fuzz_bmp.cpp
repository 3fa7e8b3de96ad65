// The BMP decoder (everything the texture loader does before OpenGL) on any
// bytes at all, straight from memory, with the checks the upload relies on.
#include "formats/bmp.h"
#include "invariants.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    formats::bmp_image image;
    std::string reason;
    const bool decoded = formats::decode_bmp(data, size, &image, &reason);
    check_picture(decoded, image, reason, size, formats::BMP_MAX_SIDE);
    return 0;
}
