// What the layer's own files share, apart from what the programs reach
// (web_gl.h): immediate mode (immediate.cpp) keeps the current vertex
// attributes and asks lighting (lighting.cpp) for a lit vertex's colour.
#pragma once

#include <GL/gl.h>

struct colour {
    float r, g, b, a;
};

// A vertex's final colour is clamped, lit or not.
colour clamped(colour c);

// Immediate mode's current colour and normal, as glColor and glNormal left them.
colour current_colour();
const float* current_normal();
// Texture coordinates are gathered only while texturing is on, the only
// time they show.
void set_texturing(bool on);

// Lighting: whether it is on, the model-view matrix taken for a primitive
// at its glBegin (the matrix cannot change before its glEnd), and the lit
// colour of a vertex of that primitive, with the current normal and colour.
bool lighting_on();
void take_primitive_matrix();
colour lit_colour(const float* object_vertex);
