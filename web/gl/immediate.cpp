// Immediate mode: each glVertex keeps the colour (lit, while lighting is
// on), normal and texture coordinate current at that moment; glEnd turns
// the primitive into WebGL's points, lines or triangles and hands them over
// at once, as sokol_gl does. Quads split as Mesa splits them, along the
// diagonal from the first corner to the third, so that colours blend
// across them as on the desktop; flat shading gives every corner of a
// piece the colour of the vertex OpenGL names for it.
#include <cmath>
#include <cstring>
#include <vector>

#include "layer.h"
#include "webgl.h"

namespace {

colour current{1, 1, 1, 1};
// The current colour as a vertex carries it, clamped to bytes once per glColor.
unsigned char current_bytes[4] = {255, 255, 255, 255};
float normal[3] = {0, 0, 1};
float texcoord[2] = {0, 0};

bool primitive_open = false;
GLenum mode = GL_POINTS;
// The vertices as WebGL takes them: what most primitives draw as they are.
std::vector<drawn_vertex> gathered;
std::vector<drawn_vertex> out;

unsigned char byte_of(float v)
{
    return static_cast<unsigned char>(std::lround((v < 0 ? 0 : v > 1 ? 1 : v) * 255));
}

void set_colour(colour c)
{
    current = c;
    current_bytes[0] = byte_of(c.r);
    current_bytes[1] = byte_of(c.g);
    current_bytes[2] = byte_of(c.b);
    current_bytes[3] = byte_of(c.a);
    colour_changed(c);
}

// Appends gathered[i] as drawn, coloured as gathered[provoking] where flat.
void emit(size_t i, size_t provoking, bool flat)
{
    out.push_back(gathered[i]);
    if (flat)
        std::memcpy(out.back().rgba, gathered[provoking].rgba, 4);
}

void triangle(size_t a, size_t b, size_t c, size_t provoking, bool flat)
{
    emit(a, provoking, flat);
    emit(b, provoking, flat);
    emit(c, provoking, flat);
}

void line(size_t a, size_t b, bool flat)
{
    emit(a, b, flat);
    emit(b, b, flat);
}

// The primitive as WebGL's; returns the mode it is drawn in.
GLenum assemble(bool flat)
{
    const size_t n = gathered.size();
    out.clear();
    switch (mode) {
    case GL_POINTS:
        for (size_t i = 0; i < n; ++i)
            emit(i, i, false);
        return GL_POINTS;
    case GL_LINES:
        for (size_t i = 0; i + 1 < n; i += 2)
            line(i, i + 1, flat);
        return GL_LINES;
    case GL_LINE_STRIP:
    case GL_LINE_LOOP:
        for (size_t i = 0; i + 1 < n; ++i)
            line(i, i + 1, flat);
        if (mode == GL_LINE_LOOP && n > 2) {
            // The closing segment takes its flat colour from the first vertex.
            emit(n - 1, 0, flat);
            emit(0, 0, flat);
        }
        return GL_LINES;
    case GL_TRIANGLES:
        for (size_t i = 0; i + 2 < n; i += 3)
            triangle(i, i + 1, i + 2, i + 2, flat);
        return GL_TRIANGLES;
    case GL_TRIANGLE_STRIP:
        for (size_t i = 0; i + 2 < n; ++i) {
            if (i % 2)
                triangle(i + 1, i, i + 2, i + 2, flat);
            else
                triangle(i, i + 1, i + 2, i + 2, flat);
        }
        return GL_TRIANGLES;
    case GL_TRIANGLE_FAN:
        for (size_t i = 1; i + 1 < n; ++i)
            triangle(0, i, i + 1, i + 1, flat);
        return GL_TRIANGLES;
    case GL_QUADS:
        for (size_t i = 0; i + 3 < n; i += 4) {
            triangle(i, i + 1, i + 2, i + 3, flat);
            triangle(i, i + 2, i + 3, i + 3, flat);
        }
        return GL_TRIANGLES;
    case GL_QUAD_STRIP:
        // Quad i is 2i, 2i + 1, 2i + 3, 2i + 2.
        for (size_t i = 0; i + 3 < n; i += 2) {
            triangle(i, i + 1, i + 3, i + 3, flat);
            triangle(i, i + 3, i + 2, i + 3, flat);
        }
        return GL_TRIANGLES;
    case GL_POLYGON:
        for (size_t i = 1; i + 1 < n; ++i)
            triangle(0, i, i + 1, 0, flat);
        return GL_TRIANGLES;
    default:
        return GL_NONE;
    }
}

}  // namespace

void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a)
{
    LISTED(glColor4f(r, g, b, a));
    set_colour({r, g, b, a});
}

void glColor3f(GLfloat r, GLfloat g, GLfloat b)
{
    glColor4f(r, g, b, 1);
}

void glColor3fv(const GLfloat* v)
{
    glColor4f(v[0], v[1], v[2], 1);
}

void glColor4fv(const GLfloat* v)
{
    glColor4f(v[0], v[1], v[2], v[3]);
}

void glColor3d(GLdouble r, GLdouble g, GLdouble b)
{
    glColor4f(static_cast<float>(r), static_cast<float>(g), static_cast<float>(b), 1);
}

void glColor4d(GLdouble r, GLdouble g, GLdouble b, GLdouble a)
{
    glColor4f(static_cast<float>(r), static_cast<float>(g), static_cast<float>(b),
              static_cast<float>(a));
}

void glColor3ub(GLubyte r, GLubyte g, GLubyte b)
{
    glColor4f(r / 255.0f, g / 255.0f, b / 255.0f, 1);
}

void glColor4ub(GLubyte r, GLubyte g, GLubyte b, GLubyte a)
{
    glColor4f(r / 255.0f, g / 255.0f, b / 255.0f, a / 255.0f);
}

void glColor3ubv(const GLubyte* v)
{
    glColor3ub(v[0], v[1], v[2]);
}

void glColor4ubv(const GLubyte* v)
{
    glColor4ub(v[0], v[1], v[2], v[3]);
}

void glNormal3f(GLfloat x, GLfloat y, GLfloat z)
{
    LISTED(glNormal3f(x, y, z));
    normal[0] = x;
    normal[1] = y;
    normal[2] = z;
}

void glNormal3fv(const GLfloat* v)
{
    glNormal3f(v[0], v[1], v[2]);
}

void glNormal3d(GLdouble x, GLdouble y, GLdouble z)
{
    glNormal3f(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

void glTexCoord2f(GLfloat s, GLfloat t)
{
    LISTED(glTexCoord2f(s, t));
    texcoord[0] = s;
    texcoord[1] = t;
}

void glTexCoord2fv(const GLfloat* v)
{
    glTexCoord2f(v[0], v[1]);
}

void glTexCoord2d(GLdouble s, GLdouble t)
{
    glTexCoord2f(static_cast<float>(s), static_cast<float>(t));
}

void glBegin(GLenum m)
{
    LISTED(glBegin(m));
    if (m > GL_POLYGON) {
        say_unhandled("glBegin", m);
        return;
    }
    take_primitive_matrix();
    primitive_open = true;
    mode = m;
    gathered.clear();
}

void glVertex3f(GLfloat x, GLfloat y, GLfloat z)
{
    LISTED(glVertex3f(x, y, z));
    if (!primitive_open)
        return;
    gathered.push_back({x, y, z, texcoord[0], texcoord[1],
                        {current_bytes[0], current_bytes[1], current_bytes[2], current_bytes[3]}});
    if (lighting_on()) {
        const float p[3] = {x, y, z};
        const colour c = lit_colour(p, normal, current);
        unsigned char* rgba = gathered.back().rgba;
        rgba[0] = byte_of(c.r);
        rgba[1] = byte_of(c.g);
        rgba[2] = byte_of(c.b);
        rgba[3] = byte_of(c.a);
    }
}

void glVertex2f(GLfloat x, GLfloat y)
{
    glVertex3f(x, y, 0);
}

void glVertex2d(GLdouble x, GLdouble y)
{
    glVertex3f(static_cast<float>(x), static_cast<float>(y), 0);
}

void glVertex3d(GLdouble x, GLdouble y, GLdouble z)
{
    glVertex3f(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

void glVertex2fv(const GLfloat* v)
{
    glVertex3f(v[0], v[1], 0);
}

void glVertex3fv(const GLfloat* v)
{
    glVertex3f(v[0], v[1], v[2]);
}

void glVertex2dv(const GLdouble* v)
{
    glVertex2d(v[0], v[1]);
}

void glVertex3dv(const GLdouble* v)
{
    glVertex3d(v[0], v[1], v[2]);
}

void glEnd()
{
    LISTED(glEnd());
    if (!primitive_open)
        return;
    primitive_open = false;
    if (texturing_on() && !texture_matrix_is_identity()) {
        const float* m = texture_matrix();
        for (drawn_vertex& v : gathered) {
            const float p[4] = {v.s, v.t, 0, 1};
            float q[4];
            transform_point(m, p, q);
            v.s = q[0] / q[3];
            v.t = q[1] / q[3];
        }
    }
    const bool flat = current_fragment_state().flat;
    // Independent triangles, lines and points go as they came.
    if (!flat && (mode == GL_TRIANGLES || mode == GL_LINES || mode == GL_POINTS)) {
        const size_t per = mode == GL_TRIANGLES ? 3 : mode == GL_LINES ? 2 : 1;
        const size_t whole = gathered.size() / per * per;
        if (whole > 0)
            draw_vertices(mode, gathered.data(), static_cast<int>(whole));
        return;
    }
    const GLenum drawn = assemble(flat);
    if (!out.empty())
        draw_vertices(drawn, out.data(), static_cast<int>(out.size()));
}
