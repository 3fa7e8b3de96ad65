#include "reader.h"

#include <cstring>

namespace {

// fseek and ftell take long, which Windows keeps at 32 bits.
int seek_file(FILE* f, int64_t offset, int origin)
{
#ifdef _WIN32
    return _fseeki64(f, offset, origin);
#else
    static_assert(sizeof(off_t) >= 8, "build with _FILE_OFFSET_BITS=64");
    return fseeko(f, static_cast<off_t>(offset), origin);
#endif
}

int64_t file_position(FILE* f)
{
#ifdef _WIN32
    return _ftelli64(f);
#else
    return ftello(f);
#endif
}

}  // namespace

bool cursor_open(file_cursor* c, const char* path)
{
    *c = file_cursor{};
    FILE* f = std::fopen(path, "rb");
    if (!f)
        return false;
    int64_t size = -1;
    if (seek_file(f, 0, SEEK_END) == 0)
        size = file_position(f);
    // A path that opens but has no length (a directory, a pipe) reads as empty.
    if (size < 0 || seek_file(f, 0, SEEK_SET) != 0)
        size = 0;
    c->file = f;
    c->size = size;
    return true;
}

void cursor_close(file_cursor* c)
{
    if (c->file)
        std::fclose(c->file);
    c->file = nullptr;
}

bool read_bytes(file_cursor* c, void* dst, size_t n)
{
    if (static_cast<uint64_t>(cursor_left(c)) < n)
        return false;
    size_t got = std::fread(dst, 1, n, c->file);
    if (got != n) {
        // The file shrank under us: treat the rest as gone.
        c->pos = c->size;
        return false;
    }
    c->pos += static_cast<int64_t>(n);
    return true;
}

bool read_u8(file_cursor* c, uint8_t* v)
{
    return read_bytes(c, v, 1);
}

bool read_u16(file_cursor* c, uint16_t* v)
{
    uint8_t b[2];
    if (!read_bytes(c, b, 2))
        return false;
    *v = u16_at(b);
    return true;
}

bool read_u32(file_cursor* c, uint32_t* v)
{
    uint8_t b[4];
    if (!read_bytes(c, b, 4))
        return false;
    *v = u32_at(b);
    return true;
}

bool read_i32(file_cursor* c, int32_t* v)
{
    uint32_t u;
    if (!read_u32(c, &u))
        return false;
    std::memcpy(v, &u, 4);
    return true;
}

bool read_f32(file_cursor* c, float* v)
{
    uint32_t u;
    if (!read_u32(c, &u))
        return false;
    std::memcpy(v, &u, 4);
    return true;
}

bool skip_bytes(file_cursor* c, uint64_t n)
{
    if (static_cast<uint64_t>(cursor_left(c)) < n) {
        seek_to(c, static_cast<uint64_t>(c->size));
        return false;
    }
    // Short skips (row padding, an empty rest) are read past: every fseek is
    // a system call and drops what stdio had buffered.
    uint8_t scratch[64];
    if (n <= sizeof scratch)
        return n == 0 || read_bytes(c, scratch, static_cast<size_t>(n));
    return seek_to(c, static_cast<uint64_t>(c->pos) + n);
}

bool seek_to(file_cursor* c, uint64_t offset)
{
    if (offset > static_cast<uint64_t>(c->size))
        return false;
    if (seek_file(c->file, static_cast<int64_t>(offset), SEEK_SET) != 0)
        return false;
    c->pos = static_cast<int64_t>(offset);
    return true;
}
