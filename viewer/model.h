// The viewer's one model: a fixed-size record filled from a 3DS file and
// fitted into a cube of edge 10 centred on the origin. The walk itself is
// formats/read_3ds.h; here it fills the record and the viewer prints its
// loading lines.
#pragma once

#include <cstdint>
#include <cstdio>

#include "formats/read_3ds.h"

enum { MODEL_CAPACITY = 10000 };

using model_vertex = formats::mesh_vertex;
// Corners as absolute indices into `vertices` (and `texcoords`, which pair
// with the vertices one to one).
using model_face = formats::mesh_triangle;
using model_texcoord = formats::mesh_uv;

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

// What one load found: counts per list kind, the bounds as read, the notes.
using model_report = formats::walk_report;

// The record as the walk's sink, appending from its current counts (the
// walk leaves its final counts in the sink, not in the record).
formats::mesh_sink model_sink(Model* model);

// Empties `model` and appends every mesh of the 3DS file at `path`,
// printing one "Koordynaty: u, v" line per mapping coordinate to `lines_to`
// and each note, as "PATH: offset N: TEXT", to `notes_to` the moment it is
// found. Returns false only when the file cannot be opened (then nothing is
// printed); malformed content ends the walk, keeping what was read.
bool load_3ds_model(Model* model, const char* path, model_report* report = nullptr,
                    FILE* lines_to = stdout, FILE* notes_to = stderr);

// The box normalisation works from: the vertices' bounds, stretched to
// hold the origin; `d` is max + min per axis, twice the box's centre.
struct model_fit {
    float min[3];
    float max[3];
    float d[3];
};

// Centres that box on the origin and scales its longest edge to 10; prints
// nothing.
model_fit fit_model(Model* model);

// fit_model, and its one "offesty: MINX MAXX DX" line on `lines_to`.
void normalize_model(Model* model, FILE* lines_to = stdout);
