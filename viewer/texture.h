// BMP textures: a decoder that needs no OpenGL, and the loader that uploads
// its result as a mipmapped 2D texture under a name of our own counting.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The last texture name handed out; -1 before the first call. Every call of
// load_bmp_texture advances it by one, failed calls included.
extern int32_t next_texture_id;

// Why the last call of load_bmp_texture returned -1; empty after a success.
extern std::string texture_error;

struct bmp_image {
    int32_t width = 0;
    int32_t height = 0;          // always positive
    std::vector<uint8_t> rgba;   // width * height * 4; row 0 is the picture's bottom row
    std::string kind;            // what was decoded: bits, compression, header
    // What was wrong with a file decoded anyway (rows missing, a broken RLE
    // stream, header fields that disagree with the file), notes joined by
    // "; "; empty if none.
    std::string warning;
};

// The decoder alone takes no side longer than this.
enum { BMP_MAX_SIDE = 32768 };

// Decodes the BMP file at `path` into `image`. On refusal returns false and
// says why in `reason`; nothing is allocated for a file refused by its header.
bool decode_bmp_file(const char* path, bmp_image* image, std::string* reason);

// Decodes `path` and uploads it into the current OpenGL context as texture
// name next_texture_id (after advancing it), with mipmaps and GL_REPLACE.
// Returns that name, or -1 when the file cannot be read (the reason goes to
// stderr and to texture_error).
int32_t load_bmp_texture(const char* path);
