// The BMP decoder: a file of any common kind into RGBA pixels, with no
// OpenGL and nothing but standard C++. The texture upload, tools, tests and
// fuzzers all decode through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "note.h"
#include "pixels.h"

namespace formats {

struct bmp_image {
    int32_t width = 0;
    int32_t height = 0;  // always positive
    pixel_buffer rgba;   // width * height * 4; row 0 is the picture's bottom row
    std::string kind;    // what was decoded: bits, compression, header
    // What was wrong with a file decoded anyway (rows missing, a broken RLE
    // stream, header fields that disagree with the file), in the order found.
    std::vector<load_note> notes;
};

// The decoder alone takes no side longer than this.
enum { BMP_MAX_SIDE = 32768 };

// Decodes a BMP from bytes in memory, or from an open file from its start,
// into `image`. On refusal returns false and says why in `reason`; nothing
// is allocated for a file refused by its header.
bool decode_bmp(const void* data, size_t size, bmp_image* image, std::string* reason);
bool decode_bmp_file(FILE* file, bmp_image* image, std::string* reason);

// The picture a BMP's headers describe, checked as decode_bmp checks them
// before it allocates: the signature, the header's kind, the bit depth and
// compression, and the sides within the decoder's limits; a refusal gives
// decode_bmp's reason. Whether the file goes on to hold those pixels is
// left to decode_bmp. No pixel is read and nothing is allocated.
struct bmp_picture {
    int32_t width = 0;
    int32_t height = 0;  // always positive
};
bool read_bmp_picture(const void* data, size_t size, bmp_picture* picture, std::string* reason);
// The file at `path`, opened for reading and closed again before returning;
// one that cannot be opened is refused with "cannot open: " and the
// system's reason.
bool decode_bmp_path(const char* path, bmp_image* image, std::string* reason);

}  // namespace formats
