// The viewer's triangles as the frame benchmarks' limits draw them: one
// array of texture coordinate then position for each corner, in
// draw_model's order.
#pragma once

#include <vector>

#include "model.h"

inline std::vector<float> model_corners(const Model* m)
{
    std::vector<float> corners;
    corners.reserve(static_cast<size_t>(m->face_count) * 3 * 5);
    for (int32_t i = 0; i < m->face_count; ++i) {
        for (int32_t idx : {m->faces[i].a, m->faces[i].b, m->faces[i].c}) {
            corners.insert(corners.end(), {m->texcoords[idx].u, m->texcoords[idx].v,
                                           m->vertices[idx].x, m->vertices[idx].y,
                                           m->vertices[idx].z});
        }
    }
    return corners;
}
