#include "read_3ds.h"

#include <cstdarg>
#include <utility>

#include "cursor.h"
#include "format_3ds.h"

namespace formats {

namespace {

struct walk_state {
    cursor c;
    mesh_sink* sink;
    walk_report* report;
    uint16_t vertex_base;  // first vertex of the mesh read last
    // Lists are taken a block of records at a time and taken apart here:
    // one call per field was most of the reader's cost.
    uint8_t block[1 << 14];
};

void note(walk_state& w, int64_t offset, const char* format, ...) FORMATS_PRINTF(3, 4);
void note(walk_state& w, int64_t offset, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    load_note n{offset, vformat_text(format, args)};
    va_end(args);
    if (w.sink->noted)
        w.sink->noted(w.sink->user, n);
    ++w.report->note_count;
    if (w.report->notes.size() < KEPT_NOTES)
        w.report->notes.push_back(std::move(n));
}

uint32_t min_u32(uint32_t a, uint32_t b) { return a < b ? a : b; }

// Records the sink can still take after `count` of them.
uint32_t room(const walk_state& w, int32_t count)
{
    return count < w.sink->capacity ? static_cast<uint32_t>(w.sink->capacity - count) : 0;
}

// The next min(count, what fits in the block) records, in `*n`; null (and
// `*n` 0) when the file gives no more.
const uint8_t* read_block(walk_state& w, uint32_t count, uint32_t record_size, uint32_t* n)
{
    *n = min_u32(count, static_cast<uint32_t>(sizeof w.block) / record_size);
    const uint8_t* p = take_bytes(&w.c, static_cast<size_t>(*n) * record_size, w.block);
    if (!p)
        *n = 0;
    return p;
}

// Of the `count` records a list declares, how many are wholly in the file.
uint32_t complete_records(const walk_state& w, uint16_t count, uint32_t record_size)
{
    return min_u32(count, static_cast<uint32_t>(cursor_left(&w.c) / record_size));
}

bool report_cut_short(walk_state& w, int64_t offset, const char* what, uint32_t complete,
                      uint16_t count)
{
    if (complete == count)
        return true;
    note(w, offset, "%s ends with the file: %u of %u records present; stopping", what,
         complete, count);
    return false;
}

// Each list reader returns whether the walk may go on.

bool read_count(walk_state& w, int64_t offset, const char* what, uint16_t* count)
{
    if (read_u16(&w.c, count))
        return true;
    note(w, offset, "%s count cut off by the end of the file; stopping", what);
    return false;
}

bool read_object_name(walk_state& w, int64_t offset)
{
    char* name = w.sink->name;
    const int32_t size = w.sink->name_size;
    for (int32_t i = 0; i < size; ++i) {
        uint8_t b;
        if (!read_u8(&w.c, &b)) {
            note(w, offset, "object name runs past the end of the file; stopping");
            return false;
        }
        name[i] = static_cast<char>(b);
        if (b == 0)
            return true;
    }
    // Without this the rest of a long name would be taken for the next chunk header.
    long rest = 0;
    for (;;) {
        uint8_t b;
        if (!read_u8(&w.c, &b)) {
            note(w, offset, "object name runs past the end of the file; stopping");
            return false;
        }
        if (b == 0)
            break;
        ++rest;
    }
    note(w, offset, "object name of %ld bytes is longer than %d; kept its first %d",
         static_cast<long>(size) + rest, size - 1, size);
    return true;
}

bool read_vertex_list(walk_state& w, int64_t offset)
{
    uint16_t count;
    if (!read_count(w, offset, "vertex list", &count))
        return false;
    mesh_sink* s = w.sink;
    const int32_t first = s->vertex_count;
    const uint32_t complete = complete_records(w, count, VERTEX_RECORD);
    const uint32_t stored = min_u32(complete, room(w, first));
    for (uint32_t k = 0; k < stored;) {
        uint32_t n;
        const uint8_t* p = read_block(w, stored - k, VERTEX_RECORD, &n);
        if (n == 0)
            break;
        for (uint32_t j = 0; j < n; ++j, ++k, p += VERTEX_RECORD)
            s->vertices[first + static_cast<int32_t>(k)] = {f32_at(p), f32_at(p + 4),
                                                            f32_at(p + 8)};
    }
    skip_bytes(&w.c, static_cast<uint64_t>(complete - stored) * VERTEX_RECORD);
    w.vertex_base = static_cast<uint16_t>(first);
    s->vertex_count = first + static_cast<int32_t>(stored);
    w.report->vertices.read += complete;
    w.report->vertices.stored += stored;
    if (stored < complete)
        note(w, offset, "vertex list passes the capacity of %d vertices; %u not stored",
             s->capacity, complete - stored);
    return report_cut_short(w, offset, "vertex list", complete, count);
}

bool read_face_list(walk_state& w, int64_t offset)
{
    uint16_t count;
    if (!read_count(w, offset, "face list", &count))
        return false;
    mesh_sink* s = w.sink;
    const int32_t first = s->face_count;
    const uint32_t complete = complete_records(w, count, FACE_RECORD);
    uint32_t dropped_corner = 0, dropped_capacity = 0;
    int64_t first_bad = -1;
    uint32_t k = 0, taken = 0;  // records looked at; records read from the file
    while (k < complete && s->face_count < s->capacity) {
        const int64_t block_offset = cursor_pos(&w.c);
        uint32_t n;
        const uint8_t* block = read_block(w, complete - taken, FACE_RECORD, &n);
        if (n == 0)
            break;
        taken += n;
        uint32_t j = 0;
        for (; j < n && s->face_count < s->capacity; ++j) {
            // The fourth value of a record, its flags, is not used.
            const uint8_t* p = block + j * FACE_RECORD;
            const mesh_triangle face = {w.vertex_base + u16_at(p), w.vertex_base + u16_at(p + 2),
                                        w.vertex_base + u16_at(p + 4)};
            // A corner past the stored vertices would make drawing read outside the arrays.
            if (face.a >= s->vertex_count || face.b >= s->vertex_count ||
                face.c >= s->vertex_count) {
                if (first_bad < 0)
                    first_bad = block_offset + static_cast<int64_t>(j) * FACE_RECORD;
                ++dropped_corner;
                continue;
            }
            s->faces[s->face_count++] = face;
        }
        k += j;
    }
    if (s->face_count >= s->capacity)
        dropped_capacity = complete - k;
    skip_bytes(&w.c, static_cast<uint64_t>(complete - taken) * FACE_RECORD);
    w.report->faces.read += complete;
    w.report->faces.stored += static_cast<uint32_t>(s->face_count - first);
    if (dropped_corner > 0)
        note(w, first_bad,
             "%u triangle(s) of the face list at offset %lld have a corner at or past vertex "
             "%d; dropped",
             dropped_corner, static_cast<long long>(offset), s->vertex_count);
    if (dropped_capacity > 0)
        note(w, offset, "face list passes the capacity of %d triangles; %u not stored",
             s->capacity, dropped_capacity);
    return report_cut_short(w, offset, "face list", complete, count);
}

// The mapping list belongs to the vertex list read last: its coordinates
// land at that list's indices.
bool read_mapping_list(walk_state& w, int64_t offset)
{
    uint16_t count;
    if (!read_count(w, offset, "mapping list", &count))
        return false;
    mesh_sink* s = w.sink;
    const int32_t first = w.vertex_base;
    const uint32_t complete = complete_records(w, count, TEXCOORD_RECORD);
    const uint32_t stored = min_u32(complete, room(w, first));
    uint32_t k = 0;
    while (k < stored) {
        uint32_t n;
        const uint8_t* p = read_block(w, stored - k, TEXCOORD_RECORD, &n);
        if (n == 0)
            break;
        for (uint32_t j = 0; j < n; ++j, ++k, p += TEXCOORD_RECORD)
            s->texcoords[first + static_cast<int32_t>(k)] = {f32_at(p), f32_at(p + 4)};
    }
    if (s->mapping_stored)
        s->mapping_stored(s->user, first, static_cast<int32_t>(k));
    skip_bytes(&w.c, static_cast<uint64_t>(complete - stored) * TEXCOORD_RECORD);
    w.report->texcoords.read += complete;
    w.report->texcoords.stored += stored;
    if (stored < complete)
        note(w, offset, "mapping list passes the capacity of %d coordinates; %u not stored",
             s->capacity, complete - stored);
    return report_cut_short(w, offset, "mapping list", complete, count);
}

// Reads one chunk header and what the flat walk takes from its body.
bool walk_chunk(walk_state& w)
{
    const int64_t offset = cursor_pos(&w.c);
    uint16_t id;
    uint32_t length;
    if (cursor_left(&w.c) < static_cast<int64_t>(CHUNK_HEADER_SIZE)) {
        note(w, offset, "%lld trailing byte(s) are too few for a chunk header; stopping",
             static_cast<long long>(cursor_left(&w.c)));
        return false;
    }
    read_u16(&w.c, &id);
    read_u32(&w.c, &length);
    // A shorter length would make the walk stand still or run backwards.
    if (length < CHUNK_HEADER_SIZE) {
        note(w, offset, "chunk 0x%04X has length %u, below its own header; stopping", id,
             length);
        return false;
    }
    switch (id) {
    case CHUNK_MAIN:
    case CHUNK_EDITOR:
    case CHUNK_MESH:
        return true;
    case CHUNK_OBJECT:
        return read_object_name(w, offset);
    case CHUNK_VERTICES:
        return read_vertex_list(w, offset);
    case CHUNK_FACES:
        return read_face_list(w, offset);
    case CHUNK_MAPPING:
        return read_mapping_list(w, offset);
    default:
        if (skip_bytes(&w.c, length - CHUNK_HEADER_SIZE))
            return true;
        note(w, offset, "chunk 0x%04X of length %u runs past the end of the file; stopping",
             id, length);
        return false;
    }
}

void walk(walk_state& w)
{
    *w.report = walk_report{};
    while (cursor_left(&w.c) > 0 && walk_chunk(w)) {
    }
    w.report->bounds = vertex_bounds(w.sink->vertices, w.sink->vertex_count);
}

}  // namespace

box3 vertex_bounds(const mesh_vertex* vertices, int32_t count)
{
    box3 b;
    for (int32_t i = 0; i < count; ++i) {
        const float p[3] = {vertices[i].x, vertices[i].y, vertices[i].z};
        for (int axis = 0; axis < 3; ++axis) {
            if (i == 0 || p[axis] < b.min[axis])
                b.min[axis] = p[axis];
            if (i == 0 || p[axis] > b.max[axis])
                b.max[axis] = p[axis];
        }
    }
    return b;
}

void read_3ds(const void* data, size_t size, mesh_sink* sink, walk_report* report)
{
    walk_state w{};
    w.sink = sink;
    w.report = report;
    cursor_over_memory(&w.c, data, size);
    walk(w);
}

void read_3ds_file(FILE* file, mesh_sink* sink, walk_report* report)
{
    uint8_t window[CURSOR_WINDOW];
    walk_state w{};
    w.sink = sink;
    w.report = report;
    cursor_over_file(&w.c, file, window, sizeof window);
    walk(w);
}

}  // namespace formats
