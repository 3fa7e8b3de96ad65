// The 3DS walk: every triangle mesh of a file appended into arrays the
// caller owns, read as one flat run of chunk headers. It writes nothing
// anywhere: what it found comes back in a report, and what the caller wants
// to hear the moment it happens (mapping coordinates, notes) comes through
// the sink's callbacks, in file order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "format_3ds.h"
#include "note.h"

namespace formats {

// Corners as absolute indices into the sink's vertices (and texcoords,
// which pair with the vertices one to one).
struct mesh_triangle {
    int32_t a, b, c;
};

// Where the walk appends, and who hears of it.
struct mesh_sink {
    // Each array holds `capacity` records; entries past it are not stored.
    mesh_vertex* vertices = nullptr;
    mesh_triangle* faces = nullptr;
    mesh_uv* texcoords = nullptr;
    int32_t capacity = 0;
    // Appended so far; the walk goes on from these and leaves them at most
    // `capacity`.
    int32_t vertex_count = 0;
    int32_t face_count = 0;
    // The bytes of the last object name, up to and including its NUL; a
    // longer name leaves its first `name_size` bytes and no NUL.
    char* name = nullptr;
    int32_t name_size = 0;

    void* user = nullptr;
    // A mapping list's coordinates have been stored at texcoords[first]
    // onwards, `count` of them in file order (called for every list, even
    // one that stored none); may be null.
    void (*mapping_stored)(void* user, int32_t first, int32_t count) = nullptr;
    // A note, as it is found; may be null.
    void (*noted)(void* user, const load_note& note) = nullptr;
};

// A sink over arrays of `capacity` records each and a name buffer, empty,
// telling no one.
mesh_sink sink_over(mesh_vertex* vertices, mesh_triangle* faces, mesh_uv* texcoords,
                    int32_t capacity, char* name, int32_t name_size);

// Records of one kind, over every list of that kind in the file: those the
// file holds whole, and those the sink kept.
struct list_count {
    uint32_t read = 0;
    uint32_t stored = 0;
};

// The smallest box around a set of vertices (zero when there are none).
struct box3 {
    float min[3] = {0, 0, 0};
    float max[3] = {0, 0, 0};
};

box3 vertex_bounds(const mesh_vertex* vertices, int32_t count);

// What one walk found.
struct walk_report {
    list_count vertices;
    list_count faces;
    list_count texcoords;
    box3 bounds;                   // of the sink's vertices after the walk
    uint32_t note_count = 0;       // every note the walk made
    std::vector<load_note> notes;  // the first KEPT_NOTES of them, in file order
};

// A hostile file can hold a note every few bytes; the sink hears them all.
constexpr size_t KEPT_NOTES = 100;

// The walk over bytes in memory, and over an open file from its start.
// Neither can fail: malformed content is noted and ends the walk, keeping
// what was read before it.
void read_3ds(const void* data, size_t size, mesh_sink* sink, walk_report* report);
void read_3ds_file(FILE* file, mesh_sink* sink, walk_report* report);

}  // namespace formats
