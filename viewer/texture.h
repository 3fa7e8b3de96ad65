// BMP textures: a decoder that needs no OpenGL, and the loader that uploads
// its result as a mipmapped 2D texture under a name of our own counting.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The last texture name handed out; -1 before the first call. Every call of
// load_bmp_texture advances it by one, failed calls included.
extern int32_t next_texture_id;

// Why the last call of load_bmp_texture returned -1; empty after a success.
extern std::string texture_error;

// Memory for decoded pixels. It is not cleared when it is made, since the
// decoder writes every byte, and a large block asks for huge pages: on a
// fresh 64 MiB picture the page faults otherwise cost more than decoding.
void* allocate_pixels(size_t bytes);
void free_pixels(void* block, size_t bytes);

template <class T>
struct pixel_allocator {
    using value_type = T;
    pixel_allocator() = default;
    template <class U>
    pixel_allocator(const pixel_allocator<U>&) {}
    T* allocate(size_t n) { return static_cast<T*>(allocate_pixels(n * sizeof(T))); }
    void deallocate(T* p, size_t n) { free_pixels(p, n * sizeof(T)); }
    // Growing the buffer leaves the new elements as they are.
    template <class U>
    void construct(U* p) { ::new (static_cast<void*>(p)) U; }
    template <class U, class V>
    void construct(U* p, V&& v) { ::new (static_cast<void*>(p)) U(static_cast<V&&>(v)); }
    template <class U>
    bool operator==(const pixel_allocator<U>&) const { return true; }
    template <class U>
    bool operator!=(const pixel_allocator<U>&) const { return false; }
};

using pixel_buffer = std::vector<uint8_t, pixel_allocator<uint8_t>>;

struct bmp_image {
    int32_t width = 0;
    int32_t height = 0;  // always positive
    pixel_buffer rgba;   // width * height * 4; row 0 is the picture's bottom row
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
