// The viewer's one model: a fixed-size record filled from a 3DS file and
// fitted into a cube of edge 10 centred on the origin.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "load_note.h"

enum { MODEL_CAPACITY = 10000 };

struct model_vertex {
    float x, y, z;
};

// Corners as absolute indices into `vertices` (and `texcoords`, which pair
// with the vertices one to one).
struct model_face {
    int32_t a, b, c;
};

struct model_texcoord {
    float u, v;
};

struct Model {
    // Bytes of the last object name read, up to and including its NUL; a
    // name of 20 or more bytes leaves its first 20 and no NUL.
    char name[20];
    int32_t vertex_count;  // 0..MODEL_CAPACITY
    int32_t face_count;    // 0..MODEL_CAPACITY
    model_vertex vertices[MODEL_CAPACITY];
    model_face faces[MODEL_CAPACITY];
    model_texcoord texcoords[MODEL_CAPACITY];
    int32_t texture_id;  // texture name to bind; -1 when none could be read
};

// Records of one kind, over every list of that kind in the file: those the
// file holds whole, and those the model kept.
struct list_count {
    uint32_t read = 0;
    uint32_t stored = 0;
};

// What one walk of a 3DS file found.
struct model_report {
    list_count vertices;
    list_count faces;
    list_count texcoords;  // one "Koordynaty" line was printed for each stored
    std::vector<load_note> notes;  // in file order, each with the offset it is about
};

// Appends every mesh of the 3DS file at `path` to `model`, printing one
// "Koordynaty: u, v" line per mapping coordinate on stdout. Returns false
// only when the file cannot be opened; malformed content is noted on stderr
// and the walk stops there, keeping what was read.
bool load_3ds_model(Model* model, const char* path);

// The same walk, recording what it found in `report`. Each note is also
// written to `notes_to` (unless null) the moment it is found, as
// "PATH: offset N: TEXT", so that it lands among the stdout lines where
// load_3ds_model puts it.
bool read_3ds_model(Model* model, const char* path, model_report* report, FILE* notes_to);

// Centres the bounding box (which always contains the origin) on the origin
// and scales the longest edge to 10. Prints one "offesty:" line on stdout.
void normalize_model(Model* model);
