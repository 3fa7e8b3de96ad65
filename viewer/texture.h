// The texture upload: a BMP file, decoded by formats/bmp.h, into a mipmapped
// 2D texture under a name of our own counting.
#pragma once

#include <cstdint>
#include <string>

// The last texture name handed out; -1 before the first call. Every call of
// load_bmp_texture advances it by one, failed calls included.
extern int32_t next_texture_id;

// Decodes `path` and uploads it into the current OpenGL context as texture
// name next_texture_id (after advancing it), with mipmaps and GL_REPLACE.
// Returns that name, or -1 when the file cannot be read; the reason goes to
// stderr, and to `why` when given.
int32_t load_bmp_texture(const char* path);
int32_t load_bmp_texture(const char* path, std::string* why);
