// A bounded cursor over an open file, shared by the 3DS and BMP readers.
//
// Every read checks what is left before it takes anything, so no count or
// offset taken from the file can make a reader run past its end. A read that
// cannot be satisfied consumes nothing and returns false.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

struct file_cursor {
    FILE* file = nullptr;
    // 64-bit on every platform: long is 32 bits on Windows.
    int64_t size = 0;  // length of the open file, taken once at open
    int64_t pos = 0;   // offset of the next byte to read
};

// Opens `path` in binary mode; false when it cannot be opened.
bool cursor_open(file_cursor* c, const char* path);
void cursor_close(file_cursor* c);

inline int64_t cursor_left(const file_cursor* c) { return c->size - c->pos; }

bool read_bytes(file_cursor* c, void* dst, size_t n);
bool read_u8(file_cursor* c, uint8_t* v);
bool read_u16(file_cursor* c, uint16_t* v);
bool read_u32(file_cursor* c, uint32_t* v);
bool read_i32(file_cursor* c, int32_t* v);
bool read_f32(file_cursor* c, float* v);

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

// Moves `n` bytes forward; false (and the cursor at the end) when fewer are left.
bool skip_bytes(file_cursor* c, uint64_t n);
// Moves to absolute offset `offset`; false when it lies past the end.
bool seek_to(file_cursor* c, uint64_t offset);
