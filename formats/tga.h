// The TGA decoder: uncompressed and RLE files, true colour of 15, 16, 24 and
// 32 bits, 8-bit grey, 8-bit colour indices into a 15- to 32-bit colour map,
// stored from either end, into RGBA pixels, with no OpenGL and nothing but
// standard C++.
//
// A 15- or 16-bit pixel is opaque whatever its attribute bit says: writers
// disagree on that bit (many leave it clear in opaque pictures, and the
// descriptor's count of alpha bits is as often wrong), so honouring it would
// make whole pictures vanish. A 32-bit pixel keeps its alpha.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "note.h"
#include "pixels.h"

namespace formats {

struct tga_image {
    int32_t width = 0;
    int32_t height = 0;
    pixel_buffer rgba;   // width * height * 4; row 0 is the picture's bottom row
    std::string kind;    // what was decoded: bits, image type, compression, origin
    // What was wrong with a file decoded anyway (pixels missing, RLE packets
    // past the last pixel, colour indices outside the map), in the order found.
    std::vector<load_note> notes;
};

// The decoder alone takes no side longer than this.
enum { TGA_MAX_SIDE = 32768 };

// Decodes a TGA from bytes in memory, or from an open file from its start,
// into `image`. On refusal returns false and says why in `reason`; nothing
// is allocated for a file refused by its header. Pixels the file lacks (it
// ends early) are zero, alpha too, and a note says how many.
bool decode_tga(const void* data, size_t size, tga_image* image, std::string* reason);
bool decode_tga_file(FILE* file, tga_image* image, std::string* reason);

// The picture a TGA's header describes, checked as decode_tga checks it
// before it allocates (the image type, the depths, the sides within the
// decoder's limits, the file's length against them); a refusal gives
// decode_tga's reason. No pixel is read and nothing is allocated.
struct tga_picture {
    int32_t width = 0;
    int32_t height = 0;
};
bool read_tga_picture(const void* data, size_t size, tga_picture* picture, std::string* reason);
// The file at `path`, opened for reading and closed again before returning;
// one that cannot be opened is refused with "cannot open: " and the
// system's reason.
bool decode_tga_path(const char* path, tga_image* image, std::string* reason);

}  // namespace formats
