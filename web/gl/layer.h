// What the layer's files share. Each file keeps one part of OpenGL 1.x's
// state and defines the gl entry points of that part (state.cpp the
// capabilities and fragment state, matrices.cpp the stacks, lighting.cpp
// the lights and materials, textures.cpp the texture objects and
// environment, immediate.cpp glBegin/glEnd, draw.cpp the shaders that draw
// what glEnd hands over, lists.cpp display lists, glu.cpp and shapes.cpp
// GLU's and GLUT's geometry, page.cpp the window and the frame).
#pragma once

#include <GL/gl.h>

#include <functional>
#include <vector>

struct colour {
    float r, g, b, a;
};

colour clamped(colour c);

// A value the layer takes no action on, said once on standard error.
void say_unhandled(const char* call, GLenum value);

// Display lists: while one is being compiled, a listed call is kept in it
// instead of (GL_COMPILE) or as well as (GL_COMPILE_AND_EXECUTE) being run.
// LISTED(call) at the top of an entry point does that; the call is a copy
// of the entry point's own with its arguments held by value.
bool list_compiling();
bool list_keep(std::function<void()> call);  // true: run it now too
#define LISTED(...)                                         \
    do {                                                    \
        if (list_compiling() && !list_keep([=] { __VA_ARGS__; })) \
            return;                                         \
    } while (0)

// Matrices (matrices.cpp), column-major as OpenGL keeps them.
const float* modelview_matrix();
const float* projection_matrix();
const float* texture_matrix();
bool texture_matrix_is_identity();
// Changes since the last draw took them.
bool matrices_changed();
void transform_point(const float* m, const float* p, float* out);

// Lighting (lighting.cpp): whether it is on, the matrix taken at glBegin
// (it cannot change before glEnd) and the lit colour of a vertex.
bool lighting_on();
void take_primitive_matrix();
colour lit_colour(const float* object_vertex, const float* normal, colour current);
// The current colour as it stands when colour material turns on or off.
void colour_changed(colour current);
colour current_colour();
bool set_lighting_capability(GLenum cap, bool on);
bool lighting_capability(GLenum cap, bool* on);

// Textures (textures.cpp): whether a complete texture is bound while
// GL_TEXTURE_2D is on, and the environment the fragment shader applies.
bool texturing_on();
void set_texturing(bool on);
struct texture_environment {
    int mode;    // 0 modulate, 1 replace, 2 decal, 3 blend
    int format;  // 0 RGBA, 1 RGB, 2 luminance, 3 alpha, 4 luminance and alpha
    float colour[4];
    int border[2];  // s and t reach the border colour (GL_CLAMP, filtered)
};
texture_environment current_texture_environment();

// Fragment state the shaders apply (state.cpp).
struct fragment_state {
    GLenum alpha_func;  // GL_ALWAYS when the alpha test is off
    float alpha_ref;
    int fog_mode;  // 0 off, 1 linear, 2 exp, 3 exp2
    float fog_start, fog_end, fog_density;
    float fog_colour[4];
    float point_size;
    bool flat;
};
const fragment_state& current_fragment_state();
bool fragment_state_changed();

// Drawing (draw.cpp): vertices ready for WebGL, drawn as `mode` (points,
// lines or triangles).
struct drawn_vertex {
    float x, y, z;
    float s, t;
    unsigned char rgba[4];
};
void draw_vertices(GLenum mode, const drawn_vertex* vertices, int count);

// Geometry (shapes.cpp, for GLUT's shapes and GLU's quadrics alike): the
// sine and cosine of n equal steps around a circle, or down half of one,
// n + 1 entries each; around a whole circle the last is the first again, so
// that a strip closes where it began.
struct circle {
    std::vector<float> sin, cos;
};
circle make_circle(int n, bool half);
