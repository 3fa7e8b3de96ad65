#include "model.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <utility>

#include "fixed6.h"
#include "format_3ds.h"
#include "reader.h"

namespace {

constexpr long NAME_SIZE = sizeof(Model::name);

struct walk_state {
    file_cursor cursor;
    const char* path;
    Model* model;
    model_report* report;
    FILE* notes_to;
    uint16_t vertex_base;  // first vertex of the mesh read last
};

// The mapping lines are most of the reader's cost when printed one printf at
// a time; they are built here with write_fixed6, which gives the same bytes
// as printf("%f"), and written out in large blocks.
struct line_buffer {
    char text[1 << 16];
    size_t used;
};

line_buffer lines;

constexpr char MAPPING_PREFIX[] = "Koordynaty: ";
constexpr size_t PREFIX_SIZE = sizeof MAPPING_PREFIX - 1;
// Room for one line of two floats at their longest.
constexpr size_t LONGEST_LINE = PREFIX_SIZE + 2 * FIXED6_LONGEST + 3;

void flush_lines()
{
    std::fwrite(lines.text, 1, lines.used, stdout);
    lines.used = 0;
}

void print_mapping_line(float u, float v)
{
    if (sizeof lines.text - lines.used < LONGEST_LINE)
        flush_lines();
    char* out = lines.text + lines.used;
    std::memcpy(out, MAPPING_PREFIX, PREFIX_SIZE);
    out = write_fixed6(out + PREFIX_SIZE, u);
    std::memcpy(out, ", ", 2);
    out = write_fixed6(out + 2, v);
    *out++ = '\n';
    lines.used = static_cast<size_t>(out - lines.text);
}

void note(const walk_state& w, int64_t offset, const char* format, ...) LOAD_NOTE_PRINTF(3, 4);
void note(const walk_state& w, int64_t offset, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    load_note n{offset, vformat_text(format, args)};
    va_end(args);
    if (w.notes_to)
        std::fprintf(w.notes_to, "%s: offset %lld: %s\n", w.path, static_cast<long long>(offset),
                     n.text.c_str());
    w.report->notes.push_back(std::move(n));
}

uint32_t min_u32(uint32_t a, uint32_t b) { return a < b ? a : b; }

// Lists are read a block of records at a time and taken apart here: one
// stdio call per field was most of the reader's cost.
uint8_t block[1 << 14];

// Reads the next min(count, what fits in the block) records; returns how many.
uint32_t read_block(walk_state& w, uint32_t count, uint32_t record_size)
{
    const uint32_t n = min_u32(count, static_cast<uint32_t>(sizeof block) / record_size);
    return read_bytes(&w.cursor, block, static_cast<size_t>(n) * record_size) ? n : 0;
}

// Of the `count` records a list declares, how many are wholly in the file.
uint32_t complete_records(const walk_state& w, uint16_t count, uint32_t record_size)
{
    return min_u32(count, static_cast<uint32_t>(cursor_left(&w.cursor) / record_size));
}

bool report_cut_short(const walk_state& w, int64_t offset, const char* what, uint32_t complete,
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
    if (read_u16(&w.cursor, count))
        return true;
    note(w, offset, "%s count cut off by the end of the file; stopping", what);
    return false;
}

bool read_object_name(walk_state& w, int64_t offset)
{
    char* name = w.model->name;
    for (long i = 0; i < NAME_SIZE; ++i) {
        uint8_t b;
        if (!read_u8(&w.cursor, &b)) {
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
        if (!read_u8(&w.cursor, &b)) {
            note(w, offset, "object name runs past the end of the file; stopping");
            return false;
        }
        if (b == 0)
            break;
        ++rest;
    }
    note(w, offset, "object name of %ld bytes is longer than 19; kept its first 20",
         NAME_SIZE + rest);
    return true;
}

bool read_vertex_list(walk_state& w, int64_t offset)
{
    uint16_t count;
    if (!read_count(w, offset, "vertex list", &count))
        return false;
    Model* m = w.model;
    const int32_t first = m->vertex_count;
    const uint32_t complete = complete_records(w, count, VERTEX_RECORD);
    const uint32_t stored = min_u32(complete, static_cast<uint32_t>(MODEL_CAPACITY - first));
    for (uint32_t k = 0; k < stored;) {
        const uint32_t n = read_block(w, stored - k, VERTEX_RECORD);
        if (n == 0)
            break;
        for (uint32_t j = 0; j < n; ++j, ++k) {
            const uint8_t* p = block + j * VERTEX_RECORD;
            model_vertex& v = m->vertices[first + static_cast<int32_t>(k)];
            v.x = f32_at(p);
            v.y = f32_at(p + 4);
            v.z = f32_at(p + 8);
        }
    }
    skip_bytes(&w.cursor, static_cast<uint64_t>(complete - stored) * VERTEX_RECORD);
    w.vertex_base = static_cast<uint16_t>(first);
    m->vertex_count = first + static_cast<int32_t>(stored);
    w.report->vertices.read += complete;
    w.report->vertices.stored += stored;
    if (stored < complete)
        note(w, offset, "vertex list passes the capacity of %d vertices; %u not stored",
             MODEL_CAPACITY, complete - stored);
    return report_cut_short(w, offset, "vertex list", complete, count);
}

bool read_face_list(walk_state& w, int64_t offset)
{
    uint16_t count;
    if (!read_count(w, offset, "face list", &count))
        return false;
    Model* m = w.model;
    const int32_t first = m->face_count;
    const uint32_t complete = complete_records(w, count, FACE_RECORD);
    uint32_t dropped_corner = 0, dropped_capacity = 0;
    int64_t first_bad = -1;
    uint32_t k = 0, taken = 0;  // records looked at; records read from the file
    while (k < complete && m->face_count < MODEL_CAPACITY) {
        const int64_t block_offset = w.cursor.pos;
        const uint32_t n = read_block(w, complete - taken, FACE_RECORD);
        if (n == 0)
            break;
        taken += n;
        uint32_t j = 0;
        for (; j < n && m->face_count < MODEL_CAPACITY; ++j) {
            // The fourth value of a record, its flags, is not used.
            const uint8_t* p = block + j * FACE_RECORD;
            const model_face face = {w.vertex_base + u16_at(p), w.vertex_base + u16_at(p + 2),
                                     w.vertex_base + u16_at(p + 4)};
            // A corner past the stored vertices would make drawing read outside the arrays.
            if (face.a >= m->vertex_count || face.b >= m->vertex_count ||
                face.c >= m->vertex_count) {
                if (first_bad < 0)
                    first_bad = block_offset + static_cast<int64_t>(j) * FACE_RECORD;
                ++dropped_corner;
                continue;
            }
            m->faces[m->face_count++] = face;
        }
        k += j;
    }
    if (m->face_count >= MODEL_CAPACITY)
        dropped_capacity = complete - k;
    skip_bytes(&w.cursor, static_cast<uint64_t>(complete - taken) * FACE_RECORD);
    w.report->faces.read += complete;
    w.report->faces.stored += static_cast<uint32_t>(m->face_count - first);
    if (dropped_corner > 0)
        note(w, first_bad,
             "%u triangle(s) of the face list at offset %lld have a corner at or past vertex "
             "%d; dropped",
             dropped_corner, static_cast<long long>(offset), m->vertex_count);
    if (dropped_capacity > 0)
        note(w, offset, "face list passes the capacity of %d triangles; %u not stored",
             MODEL_CAPACITY, dropped_capacity);
    return report_cut_short(w, offset, "face list", complete, count);
}

bool read_mapping_list(walk_state& w, int64_t offset)
{
    uint16_t count;
    if (!read_count(w, offset, "mapping list", &count))
        return false;
    Model* m = w.model;
    const int32_t first = w.vertex_base;
    const uint32_t complete = complete_records(w, count, TEXCOORD_RECORD);
    const uint32_t stored = min_u32(complete, static_cast<uint32_t>(MODEL_CAPACITY - first));
    for (uint32_t k = 0; k < stored;) {
        const uint32_t n = read_block(w, stored - k, TEXCOORD_RECORD);
        if (n == 0)
            break;
        for (uint32_t j = 0; j < n; ++j, ++k) {
            const uint8_t* p = block + j * TEXCOORD_RECORD;
            model_texcoord& t = m->texcoords[first + static_cast<int32_t>(k)];
            t.u = f32_at(p);
            t.v = f32_at(p + 4);
            print_mapping_line(t.u, t.v);
        }
    }
    flush_lines();
    skip_bytes(&w.cursor, static_cast<uint64_t>(complete - stored) * TEXCOORD_RECORD);
    w.report->texcoords.read += complete;
    w.report->texcoords.stored += stored;
    if (stored < complete)
        note(w, offset, "mapping list passes the capacity of %d coordinates; %u not stored",
             MODEL_CAPACITY, complete - stored);
    return report_cut_short(w, offset, "mapping list", complete, count);
}

// Reads one chunk header and what the flat walk takes from its body.
bool walk_chunk(walk_state& w)
{
    const int64_t offset = w.cursor.pos;
    uint16_t id;
    uint32_t length;
    if (cursor_left(&w.cursor) < static_cast<int64_t>(CHUNK_HEADER_SIZE)) {
        note(w, offset, "%lld trailing byte(s) are too few for a chunk header; stopping",
             static_cast<long long>(cursor_left(&w.cursor)));
        return false;
    }
    read_u16(&w.cursor, &id);
    read_u32(&w.cursor, &length);
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
        if (skip_bytes(&w.cursor, length - CHUNK_HEADER_SIZE))
            return true;
        note(w, offset, "chunk 0x%04X of length %u runs past the end of the file; stopping",
             id, length);
        return false;
    }
}

}  // namespace

bool load_3ds_model(Model* model, const char* path)
{
    model_report report;
    return read_3ds_model(model, path, &report, stderr);
}

bool read_3ds_model(Model* model, const char* path, model_report* report, FILE* notes_to)
{
    model->vertex_count = 0;
    model->face_count = 0;
    *report = model_report{};
    walk_state w{};
    w.path = path;
    w.model = model;
    w.report = report;
    w.notes_to = notes_to;
    if (!cursor_open(&w.cursor, path))
        return false;
    while (w.cursor.pos < w.cursor.size && walk_chunk(w)) {
    }
    cursor_close(&w.cursor);
    // The lines must reach a pipe even if the process is killed later.
    std::fflush(stdout);
    return true;
}

void normalize_model(Model* model)
{
    float min[3] = {0.0f, 0.0f, 0.0f};
    float max[3] = {0.0f, 0.0f, 0.0f};
    for (int32_t i = 0; i < model->vertex_count; ++i) {
        const model_vertex& v = model->vertices[i];
        const float p[3] = {v.x, v.y, v.z};
        for (int axis = 0; axis < 3; ++axis) {
            if (p[axis] < min[axis])
                min[axis] = p[axis];
            if (p[axis] > max[axis])
                max[axis] = p[axis];
        }
    }
    // min <= 0, so d = max + min: twice the centre of the box on that axis.
    float d[3];
    for (int axis = 0; axis < 3; ++axis)
        d[axis] = max[axis] - std::fabs(min[axis]);
    std::printf("offesty: %f %f %f\n", static_cast<double>(min[0]), static_cast<double>(max[0]),
                static_cast<double>(d[0]));
    std::fflush(stdout);

    float extent = 0.0f;
    for (int axis = 0; axis < 3; ++axis)
        if (max[axis] - min[axis] > extent)
            extent = max[axis] - min[axis];
    const bool scale_it = extent > 0.0f;
    const float scale = scale_it ? 10.0f / extent : 1.0f;
    for (int32_t i = 0; i < model->vertex_count; ++i) {
        model_vertex& v = model->vertices[i];
        v.x -= d[0] * 0.5f;
        v.y -= d[1] * 0.5f;
        v.z -= d[2] * 0.5f;
        if (scale_it) {
            v.x *= scale;
            v.y *= scale;
            v.z *= scale;
        }
    }
}
