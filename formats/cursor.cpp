#include "cursor.h"

#include <cstring>

namespace formats {

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

// An empty window whose end stands at `offset`, where the file now is.
void empty_window_at(cursor* c, int64_t offset)
{
    c->start = c->next = c->end = c->buffer;
    c->end_offset = offset;
}

// Refills a file's window from where its end stands; false when the file
// gives nothing more.
bool refill(cursor* c)
{
    const int64_t left = c->size - c->end_offset;
    const size_t want = left < static_cast<int64_t>(c->buffer_size) ? static_cast<size_t>(left)
                                                                   : c->buffer_size;
    const size_t got = std::fread(c->buffer, 1, want, c->file);
    c->start = c->next = c->buffer;
    c->end = c->buffer + got;
    c->end_offset += static_cast<int64_t>(got);
    if (got < want)
        c->size = c->end_offset;  // the file shrank under us
    return got > 0;
}

}  // namespace

void cursor_over_memory(cursor* c, const void* data, size_t size)
{
    *c = cursor{};
    c->start = c->next = static_cast<const uint8_t*>(data);
    c->end = c->start + size;
    c->end_offset = static_cast<int64_t>(size);
    c->size = static_cast<int64_t>(size);
}

void cursor_over_file(cursor* c, FILE* file, uint8_t* buffer, size_t buffer_size)
{
    *c = cursor{};
    c->file = file;
    c->buffer = buffer;
    c->buffer_size = buffer_size;
    int64_t size = -1;
    if (seek_file(file, 0, SEEK_END) == 0)
        size = file_position(file);
    // A pipe has no end; a stream that finds its end but not its start is none we know.
    if (size < 0 || seek_file(file, 0, SEEK_SET) != 0)
        size = 0;
    c->size = size;
    empty_window_at(c, 0);
}

bool read_bytes(cursor* c, void* dst, size_t n)
{
    if (static_cast<uint64_t>(cursor_left(c)) < n)
        return false;
    if (n == 0)
        return true;  // an empty input may have no bytes to point at
    uint8_t* out = static_cast<uint8_t*>(dst);
    const size_t in_window = static_cast<size_t>(c->end - c->next);
    if (n <= in_window) {
        std::memcpy(out, c->next, n);
        c->next += n;
        return true;
    }
    // Only a file's window runs out before the input does.
    std::memcpy(out, c->next, in_window);
    c->next = c->end;
    out += in_window;
    size_t rest = n - in_window;
    if (rest >= c->buffer_size) {
        // Large reads skip the window: one copy, straight from the file.
        const size_t got = std::fread(out, 1, rest, c->file);
        empty_window_at(c, c->end_offset + static_cast<int64_t>(got));
        if (got == rest)
            return true;
        c->size = c->end_offset;  // the file shrank under us
        return false;
    }
    while (rest > 0) {
        if (!refill(c))
            return false;
        const size_t take = rest < static_cast<size_t>(c->end - c->next)
                                ? rest
                                : static_cast<size_t>(c->end - c->next);
        std::memcpy(out, c->next, take);
        c->next += take;
        out += take;
        rest -= take;
    }
    return true;
}

const uint8_t* take_bytes(cursor* c, size_t n, uint8_t* scratch)
{
    if (static_cast<size_t>(c->end - c->next) >= n) {
        const uint8_t* at = c->next;
        c->next += n;
        return at;
    }
    return read_bytes(c, scratch, n) ? scratch : nullptr;
}

bool read_u8(cursor* c, uint8_t* v)
{
    if (c->next < c->end) {
        *v = *c->next++;
        return true;
    }
    return read_bytes(c, v, 1);
}

bool read_u16(cursor* c, uint16_t* v)
{
    uint8_t b[2];
    if (!read_bytes(c, b, 2))
        return false;
    *v = u16_at(b);
    return true;
}

bool read_u32(cursor* c, uint32_t* v)
{
    uint8_t b[4];
    if (!read_bytes(c, b, 4))
        return false;  // unreached: its one reader, the BMP decoder, checks the fields are there
    *v = u32_at(b);
    return true;
}

bool read_i32(cursor* c, int32_t* v)
{
    uint32_t u;
    if (!read_u32(c, &u))
        return false;  // unreached, as for read_u32
    std::memcpy(v, &u, 4);
    return true;
}

bool skip_bytes(cursor* c, uint64_t n)
{
    if (static_cast<uint64_t>(cursor_left(c)) < n) {
        seek_to(c, static_cast<uint64_t>(c->size));
        return false;
    }
    return seek_to(c, static_cast<uint64_t>(cursor_pos(c)) + n);
}

bool seek_to(cursor* c, uint64_t offset)
{
    if (offset > static_cast<uint64_t>(c->size))
        return false;
    const int64_t to = static_cast<int64_t>(offset);
    const int64_t window_start = c->end_offset - (c->end - c->start);
    // No reader seeks back before its window yet; the cursor allows it.
    if (to >= window_start && to <= c->end_offset) {
        c->next = c->end - (c->end_offset - to);
        return true;
    }
    // Past a file's window: the next read refills from there. A stream that
    // cannot get there ends there, as a file that shrank would.
    const bool moved = seek_file(c->file, to, SEEK_SET) == 0;
    if (!moved)
        c->size = to;
    empty_window_at(c, to);
    return moved;
}

}  // namespace formats
