#include "read_3ds.h"

#include <cstdarg>
#include <utility>

#include "cursor.h"
#include "format_3ds.h"

namespace formats {

namespace {

struct walk_state {
    cursor c;
    mesh_sink* sink = nullptr;
    walk_report* report = nullptr;
    uint16_t vertex_base = 0;  // first vertex of the mesh read last
    // Lists are taken a block of records at a time and taken apart here:
    // one call per field was most of the reader's cost. Not cleared: each
    // block is read before it is used.
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

// One kind of list: its name in notes, its records' name and size, and its
// count in the report.
struct list_kind {
    const char* what;
    const char* records;
    uint32_t record_size;
    list_count* count;
};

// What every list shares: the count, the records a block at a time, each
// handed to `keep` (which says whether it stored it) while `room` says the
// sink has room, the rest skipped, the counts; then `done` with the number
// stored, the note of a capacity passed and of a list cut short. Returns
// whether the walk may go on.
template <class Room, class Keep, class Done>
bool read_list(walk_state& w, int64_t offset, const list_kind& kind, Room room, Keep keep,
               Done done)
{
    uint16_t count;
    if (!read_count(w, offset, kind.what, &count))
        return false;
    const uint32_t size = kind.record_size;
    uint32_t complete = complete_records(w, count, size);
    uint32_t looked = 0, taken = 0, stored = 0;  // records looked at, read from the file, kept
    while (looked < complete && room()) {
        const int64_t block_offset = cursor_pos(&w.c);
        uint32_t n;
        const uint8_t* block = read_block(w, complete - taken, size, &n);
        if (n == 0) {
            complete = taken;  // the file shrank under us: it holds no more
            break;
        }
        taken += n;
        for (uint32_t j = 0; j < n && room(); ++j, ++looked)
            stored += keep(block + j * size, block_offset + static_cast<int64_t>(j) * size) ? 1 : 0;
    }
    skip_bytes(&w.c, static_cast<uint64_t>(complete - taken) * size);
    kind.count->read += complete;
    kind.count->stored += stored;
    done(stored);
    if (looked < complete && !room())
        note(w, offset, "%s passes the capacity of %d %s; %u not stored", kind.what,
             w.sink->capacity, kind.records, complete - looked);
    return report_cut_short(w, offset, kind.what, complete, count);
}

bool read_vertex_list(walk_state& w, int64_t offset)
{
    mesh_sink* s = w.sink;
    const int32_t first = s->vertex_count;
    int32_t next = first;
    return read_list(
        w, offset, {"vertex list", "vertices", VERTEX_RECORD, &w.report->vertices},
        [&] { return next < s->capacity; },
        [&](const uint8_t* p, int64_t) {
            s->vertices[next++] = {f32_at(p), f32_at(p + 4), f32_at(p + 8)};
            return true;
        },
        [&](uint32_t) {
            w.vertex_base = static_cast<uint16_t>(first);
            s->vertex_count = next;
        });
}

bool read_face_list(walk_state& w, int64_t offset)
{
    mesh_sink* s = w.sink;
    uint32_t dropped = 0;
    int64_t first_bad = -1;
    return read_list(
        w, offset, {"face list", "triangles", FACE_RECORD, &w.report->faces},
        [&] { return s->face_count < s->capacity; },
        [&](const uint8_t* p, int64_t record_offset) {
            // The fourth value of a record, its flags, is not used.
            const mesh_triangle face = {w.vertex_base + u16_at(p), w.vertex_base + u16_at(p + 2),
                                        w.vertex_base + u16_at(p + 4)};
            // A corner past the stored vertices would make drawing read outside the arrays.
            if (face.a >= s->vertex_count || face.b >= s->vertex_count ||
                face.c >= s->vertex_count) {
                if (first_bad < 0)
                    first_bad = record_offset;
                ++dropped;
                return false;
            }
            s->faces[s->face_count++] = face;
            return true;
        },
        [&](uint32_t) {
            if (dropped > 0)
                note(w, first_bad,
                     "%u triangle(s) of the face list at offset %lld have a corner at or past "
                     "vertex %d; dropped",
                     dropped, static_cast<long long>(offset), s->vertex_count);
        });
}

// The mapping list belongs to the vertex list read last: its coordinates
// land at that list's indices.
bool read_mapping_list(walk_state& w, int64_t offset)
{
    mesh_sink* s = w.sink;
    const int32_t first = w.vertex_base;
    int32_t next = first;
    return read_list(
        w, offset, {"mapping list", "coordinates", TEXCOORD_RECORD, &w.report->texcoords},
        [&] { return next < s->capacity; },
        [&](const uint8_t* p, int64_t) {
            s->texcoords[next++] = {f32_at(p), f32_at(p + 4)};
            return true;
        },
        [&](uint32_t stored) {
            if (s->mapping_stored)
                s->mapping_stored(s->user, first, static_cast<int32_t>(stored));
        });
}

// Reads one chunk header and what the flat walk takes from its body.
bool walk_chunk(walk_state& w)
{
    const int64_t offset = cursor_pos(&w.c);
    uint8_t head[CHUNK_HEADER_SIZE];
    // The read fails too where the file shrinks under us.
    if (cursor_left(&w.c) < static_cast<int64_t>(CHUNK_HEADER_SIZE) ||
        !read_bytes(&w.c, head, sizeof head)) {
        note(w, offset, "%lld trailing byte(s) are too few for a chunk header; stopping",
             static_cast<long long>(w.c.size - offset));
        return false;
    }
    const uint16_t id = u16_at(head);
    const uint32_t length = u32_at(head + 2);
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

mesh_sink sink_over(mesh_vertex* vertices, mesh_triangle* faces, mesh_uv* texcoords,
                    int32_t capacity, char* name, int32_t name_size)
{
    mesh_sink s;
    s.vertices = vertices;
    s.faces = faces;
    s.texcoords = texcoords;
    s.capacity = capacity;
    s.name = name;
    s.name_size = name_size;
    return s;
}

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
    walk_state w;
    w.sink = sink;
    w.report = report;
    cursor_over_memory(&w.c, data, size);
    walk(w);
}

void read_3ds_file(FILE* file, mesh_sink* sink, walk_report* report)
{
    uint8_t window[CURSOR_WINDOW];
    walk_state w;
    w.sink = sink;
    w.report = report;
    cursor_over_file(&w.c, file, window, sizeof window);
    walk(w);
}

}  // namespace formats
