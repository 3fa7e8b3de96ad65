// Immediate mode, a primitive at a time. A call into the emulation's
// JavaScript per glTexCoord2f and per glVertex3f, 120 000 a frame at the
// viewer's capacity, took most of the page's own time for a frame, so the
// vertices of a primitive are gathered here, interleaved, and glEnd hands
// them over at once as client arrays to one glDrawArrays, as sokol_gl does.
// One draw takes at most 2 MiB of vertices (the emulation's
// GL_MAX_TEMP_BUFFER_SIZE), some 100 000 textured ones; the largest
// primitive of our programs is the viewer's, 30 000 corners. Our programs
// send vertices only with glVertex3f.
#include <GL/glut.h>

#include <vector>

#include "layer.h"
#include "web_gl.h"

namespace {

// The primitive between glBegin and glEnd. Each vertex is its texture
// coordinate while texturing is on (the only time it shows), its colour
// while lit or once the primitive sets one, and its position, as floats.
struct primitive {
    bool open = false;
    GLenum mode = GL_TRIANGLES;
    bool texcoords = false;
    bool colours = false;
    std::vector<float> vertices;
};

bool texturing = false;
colour current{1, 1, 1, 1};
float normal[3] = {0, 0, 1};
float current_texcoord[2] = {0, 0};
primitive batch;

float clamp01(float v)
{
    return v < 0 ? 0 : v > 1 ? 1 : v;
}

int floats_per_vertex()
{
    return (batch.texcoords ? 2 : 0) + (batch.colours ? 4 : 0) + 3;
}

// A colour arrives inside an unlit primitive: from here on its vertices
// carry colours, and those before keep the colour they were given with.
void add_colour_column()
{
    const size_t before = static_cast<size_t>(floats_per_vertex());
    const size_t at = batch.texcoords ? 2 : 0;
    std::vector<float> widened;
    widened.reserve(batch.vertices.size() / before * (before + 4));
    for (const float* v = batch.vertices.data(); v != batch.vertices.data() + batch.vertices.size();
         v += before) {
        widened.insert(widened.end(), v, v + at);
        const colour c = clamped(current);
        widened.insert(widened.end(), {c.r, c.g, c.b, c.a});
        widened.insert(widened.end(), v + at, v + before);
    }
    batch.vertices.swap(widened);
    batch.colours = true;
}

void set_current(colour c)
{
    if (batch.open && !batch.colours)
        add_colour_column();
    current = c;
    if (!lighting_on())
        glColor4f(c.r, c.g, c.b, c.a);
}

// The modes WebGL lacks, as the ones that cover the same triangles in the
// same order; GL_QUADS the emulation draws itself.
GLenum drawn_mode(GLenum mode)
{
    return mode == GL_QUAD_STRIP ? GL_TRIANGLE_STRIP : mode == GL_POLYGON ? GL_TRIANGLE_FAN : mode;
}

}  // namespace

colour clamped(colour c)
{
    return {clamp01(c.r), clamp01(c.g), clamp01(c.b), clamp01(c.a)};
}

colour current_colour()
{
    return current;
}

const float* current_normal()
{
    return normal;
}

void set_texturing(bool on)
{
    texturing = on;
}

void web_color_3fv(const GLfloat* v)
{
    set_current({v[0], v[1], v[2], 1});
}

void web_color_4fv(const GLfloat* v)
{
    set_current({v[0], v[1], v[2], v[3]});
}

void web_normal_3f(GLfloat x, GLfloat y, GLfloat z)
{
    normal[0] = x;
    normal[1] = y;
    normal[2] = z;
}

void web_begin(GLenum mode)
{
    take_primitive_matrix();
    batch.open = true;
    batch.mode = mode;
    batch.texcoords = texturing;
    batch.colours = lighting_on();
    batch.vertices.clear();
}

void web_tex_coord_2f(GLfloat s, GLfloat t)
{
    current_texcoord[0] = s;
    current_texcoord[1] = t;
}

void web_vertex_3f(GLfloat x, GLfloat y, GLfloat z)
{
    std::vector<float>& out = batch.vertices;
    if (batch.texcoords)
        out.insert(out.end(), {current_texcoord[0], current_texcoord[1]});
    if (batch.colours) {
        const float v[3] = {x, y, z};
        const colour c = lighting_on() ? lit_colour(v) : clamped(current);
        out.insert(out.end(), {c.r, c.g, c.b, c.a});
    }
    out.insert(out.end(), {x, y, z});
}

void web_end()
{
    batch.open = false;
    const int floats = floats_per_vertex();
    const GLsizei count = static_cast<GLsizei>(batch.vertices.size() / floats);
    if (count == 0)
        return;
    // The arrays are enabled for this draw only: our programs have none of
    // their own.
    const GLsizei stride = floats * static_cast<GLsizei>(sizeof(float));
    const float* next = batch.vertices.data();
    if (batch.texcoords) {
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(2, GL_FLOAT, stride, next);
        next += 2;
    }
    if (batch.colours) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(4, GL_FLOAT, stride, next);
        next += 4;
    }
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, stride, next);
    glDrawArrays(drawn_mode(batch.mode), 0, count);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}
