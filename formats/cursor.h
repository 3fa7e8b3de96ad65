// A bounded cursor over bytes in memory or over an open file, shared by the
// 3DS and BMP readers.
//
// Every read checks what is left before it takes anything, so no count or
// offset taken from the file can make a reader run past its end. A read that
// cannot be satisfied consumes nothing and returns false; only a file that
// gives out early (it shrank, or its stream failed part-way) can fail a read
// part-way, and the input then ends where the file gave out.
//
// Over memory the window is the whole input. Over a file the window is a
// block of the file in a buffer the caller lends; reads refill it as they go
// (larger reads go straight to their destination), so a file of any length
// streams through a few kilobytes.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "note.h"

namespace formats {

struct cursor {
    const uint8_t* start = nullptr;  // first byte of the window
    const uint8_t* next = nullptr;   // next byte to read
    const uint8_t* end = nullptr;    // one past the window's last byte
    int64_t end_offset = 0;          // the input offset of `end`
    int64_t size = 0;                // length of the input (64-bit: long is 32 on Windows)
    FILE* file = nullptr;            // null: the input is all in the window
    uint8_t* buffer = nullptr;       // a file's window
    size_t buffer_size = 0;
};

// A file's window: enough for the readers' blocks of records, small enough
// for any stack.
constexpr size_t CURSOR_WINDOW = 16 << 10;

void cursor_over_memory(cursor* c, const void* data, size_t size);
// Reads `file` from its start; its length is taken once, here. A file with
// no length (a directory, a pipe) reads as empty.
void cursor_over_file(cursor* c, FILE* file, uint8_t* buffer, size_t buffer_size);

// Calls `read` with a cursor over `file` from its start, whose window is
// lent from this call's stack; returns what `read` returns.
template <class Read>
auto read_over_file(FILE* file, Read read)
{
    uint8_t window[CURSOR_WINDOW];
    cursor c;
    cursor_over_file(&c, file, window, sizeof window);
    return read(&c);
}

// Opens `path` for reading, calls `read` with the file and closes it again.
// A file that cannot be opened is refused with "cannot open: " and the
// system's reason.
template <class Read>
bool read_path(const char* path, std::string* reason, Read read)
{
    FILE* file = std::fopen(path, "rb");
    if (!file) {
        *reason = format_text("cannot open: %s", std::strerror(errno));
        return false;
    }
    const bool done = read(file);
    std::fclose(file);
    return done;
}

inline int64_t cursor_pos(const cursor* c) { return c->end_offset - (c->end - c->next); }
inline int64_t cursor_left(const cursor* c) { return c->size - cursor_pos(c); }

bool read_bytes(cursor* c, void* dst, size_t n);
// The next `n` bytes, in place when the window holds them, else copied into
// `scratch` (of `n` bytes); null when fewer are left. Valid until the next call.
const uint8_t* take_bytes(cursor* c, size_t n, uint8_t* scratch);
bool read_u8(cursor* c, uint8_t* v);
bool read_u16(cursor* c, uint16_t* v);
bool read_u32(cursor* c, uint32_t* v);
bool read_i32(cursor* c, int32_t* v);

// Moves `n` bytes forward; false (and the cursor at the end) when fewer are left.
bool skip_bytes(cursor* c, uint64_t n);
// Moves to absolute offset `offset`; false when it lies past the end, or
// when the file cannot get there (the input then ends there).
bool seek_to(cursor* c, uint64_t offset);

// Little-endian fields from bytes already read, for readers that take a
// block of records at once.
inline uint16_t u16_at(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t u32_at(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline float f32_at(const uint8_t* p)
{
    const uint32_t u = u32_at(p);
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

}  // namespace formats
