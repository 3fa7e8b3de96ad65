// The model-view, projection and texture matrix stacks, as OpenGL 1.x keeps
// them: column-major floats, 32 deep for the model-view matrix and 2 for
// the others, as Mesa has them. The shaders take the top two; immediate mode
// applies the texture matrix to the coordinates it gathers.
#include <GL/glu.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "layer.h"
#include "webgl.h"

namespace {


struct matrix_stack {
    std::vector<float> entries;  // 16 floats each; the last is the top
    size_t depth_limit;
};

const float IDENTITY[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

matrix_stack make_stack(size_t limit)
{
    return {std::vector<float>(IDENTITY, IDENTITY + 16), limit};
}

matrix_stack stacks[3] = {make_stack(32), make_stack(2), make_stack(2)};
int current_stack = 0;  // 0 model-view, 1 projection, 2 texture
bool changed = true;

float* top(int which)
{
    return stacks[which].entries.data() + stacks[which].entries.size() - 16;
}

float* top()
{
    changed = true;
    return top(current_stack);
}

// m = m x n
void multiply(float* m, const float* n)
{
    float r[16];
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row)
            r[col * 4 + row] = m[row] * n[col * 4] + m[4 + row] * n[col * 4 + 1] +
                               m[8 + row] * n[col * 4 + 2] + m[12 + row] * n[col * 4 + 3];
    std::memcpy(m, r, sizeof r);
}

void mult(const float* n)
{
    multiply(top(), n);
}

void mult_d(const double* n)
{
    float f[16];
    for (int i = 0; i < 16; ++i)
        f[i] = static_cast<float>(n[i]);
    mult(f);
}

}  // namespace

const float* modelview_matrix()
{
    return top(0);
}

const float* projection_matrix()
{
    return top(1);
}

const float* texture_matrix()
{
    return top(2);
}

bool texture_matrix_is_identity()
{
    return std::memcmp(top(2), IDENTITY, sizeof IDENTITY) == 0;
}

bool matrices_changed()
{
    const bool was = changed;
    changed = false;
    return was;
}

void transform_point(const float* m, const float* p, float* out)
{
    for (int row = 0; row < 4; ++row)
        out[row] = m[row] * p[0] + m[4 + row] * p[1] + m[8 + row] * p[2] + m[12 + row] * p[3];
}

// A matrix query the layer answers; false for the rest, which WebGL answers.
bool matrix_query(GLenum pname, float* out)
{
    int which = -1;
    switch (pname) {
    case GL_MODELVIEW_MATRIX: which = 0; break;
    case GL_PROJECTION_MATRIX: which = 1; break;
    case GL_TEXTURE_MATRIX: which = 2; break;
    case GL_MATRIX_MODE:
        out[0] = static_cast<float>(current_stack == 0   ? GL_MODELVIEW
                                    : current_stack == 1 ? GL_PROJECTION
                                                         : GL_TEXTURE);
        return true;
    case GL_MODELVIEW_STACK_DEPTH: out[0] = static_cast<float>(stacks[0].entries.size() / 16); return true;
    case GL_PROJECTION_STACK_DEPTH: out[0] = static_cast<float>(stacks[1].entries.size() / 16); return true;
    case GL_TEXTURE_STACK_DEPTH: out[0] = static_cast<float>(stacks[2].entries.size() / 16); return true;
    case GL_MAX_MODELVIEW_STACK_DEPTH: out[0] = 32; return true;
    case GL_MAX_PROJECTION_STACK_DEPTH: out[0] = 2; return true;
    case GL_MAX_TEXTURE_STACK_DEPTH: out[0] = 2; return true;
    default: return false;
    }
    std::memcpy(out, top(which), 16 * sizeof(float));
    return true;
}

void glMatrixMode(GLenum mode)
{
    LISTED(glMatrixMode(mode));
    switch (mode) {
    case GL_MODELVIEW: current_stack = 0; break;
    case GL_PROJECTION: current_stack = 1; break;
    case GL_TEXTURE: current_stack = 2; break;
    default: say_unhandled("glMatrixMode", mode); break;
    }
}

void glPushMatrix()
{
    LISTED(glPushMatrix());
    matrix_stack& s = stacks[current_stack];
    if (s.entries.size() / 16 >= s.depth_limit) {
        say_unhandled("glPushMatrix: stack overflow in matrix mode", static_cast<GLenum>(current_stack));
        return;
    }
    s.entries.insert(s.entries.end(), s.entries.end() - 16, s.entries.end());
}

void glPopMatrix()
{
    LISTED(glPopMatrix());
    matrix_stack& s = stacks[current_stack];
    if (s.entries.size() <= 16) {
        say_unhandled("glPopMatrix: stack underflow in matrix mode", static_cast<GLenum>(current_stack));
        return;
    }
    s.entries.resize(s.entries.size() - 16);
    changed = true;
}

void glLoadIdentity()
{
    LISTED(glLoadIdentity());
    std::memcpy(top(), IDENTITY, sizeof IDENTITY);
}

void glLoadMatrixf(const GLfloat* m)
{
    const std::vector<float> held(m, m + 16);
    LISTED(glLoadMatrixf(held.data()));
    std::memcpy(top(), m, 16 * sizeof(float));
}

void glLoadMatrixd(const GLdouble* m)
{
    float f[16];
    for (int i = 0; i < 16; ++i)
        f[i] = static_cast<float>(m[i]);
    glLoadMatrixf(f);
}

void glMultMatrixf(const GLfloat* m)
{
    const std::vector<float> held(m, m + 16);
    LISTED(glMultMatrixf(held.data()));
    mult(m);
}

void glMultMatrixd(const GLdouble* m)
{
    float f[16];
    for (int i = 0; i < 16; ++i)
        f[i] = static_cast<float>(m[i]);
    glMultMatrixf(f);
}

void glTranslatef(GLfloat x, GLfloat y, GLfloat z)
{
    LISTED(glTranslatef(x, y, z));
    float* m = top();
    for (int row = 0; row < 4; ++row)
        m[12 + row] += m[row] * x + m[4 + row] * y + m[8 + row] * z;
}

void glTranslated(GLdouble x, GLdouble y, GLdouble z)
{
    glTranslatef(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

void glScalef(GLfloat x, GLfloat y, GLfloat z)
{
    LISTED(glScalef(x, y, z));
    float* m = top();
    for (int row = 0; row < 4; ++row) {
        m[row] *= x;
        m[4 + row] *= y;
        m[8 + row] *= z;
    }
}

void glScaled(GLdouble x, GLdouble y, GLdouble z)
{
    glScalef(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z)
{
    LISTED(glRotatef(angle, x, y, z));
    const float length = std::sqrt(x * x + y * y + z * z);
    if (length == 0)
        return;
    x /= length;
    y /= length;
    z /= length;
    const float radians = angle * static_cast<float>(M_PI / 180.0);
    const float s = std::sin(radians), c = std::cos(radians), one_c = 1 - c;
    const float r[16] = {x * x * one_c + c,     y * x * one_c + z * s, x * z * one_c - y * s, 0,
                         x * y * one_c - z * s, y * y * one_c + c,     y * z * one_c + x * s, 0,
                         x * z * one_c + y * s, y * z * one_c - x * s, z * z * one_c + c,     0,
                         0,                     0,                     0,                     1};
    mult(r);
}

void glRotated(GLdouble angle, GLdouble x, GLdouble y, GLdouble z)
{
    glRotatef(static_cast<float>(angle), static_cast<float>(x), static_cast<float>(y),
              static_cast<float>(z));
}

void glOrtho(GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f)
{
    LISTED(glOrtho(l, r, b, t, n, f));
    const double m[16] = {2 / (r - l),        0, 0, 0, 0, 2 / (t - b), 0, 0, 0, 0, -2 / (f - n), 0,
                          -(r + l) / (r - l), -(t + b) / (t - b), -(f + n) / (f - n), 1};
    mult_d(m);
}

void glFrustum(GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f)
{
    LISTED(glFrustum(l, r, b, t, n, f));
    const double m[16] = {2 * n / (r - l),     0, 0, 0, 0, 2 * n / (t - b), 0, 0,
                          (r + l) / (r - l),   (t + b) / (t - b), -(f + n) / (f - n), -1,
                          0,                   0, -2 * f * n / (f - n), 0};
    mult_d(m);
}

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble n, GLdouble f)
{
    const double radians = fovy / 2 * M_PI / 180;
    const double delta = f - n;
    const double s = std::sin(radians);
    if (delta == 0 || s == 0 || aspect == 0)
        return;
    const double cotangent = std::cos(radians) / s;
    double m[16] = {cotangent / aspect, 0, 0, 0, 0, cotangent, 0, 0,
                    0, 0, -(f + n) / delta, -1, 0, 0, -2 * n * f / delta, 0};
    glMultMatrixd(m);
}

void gluOrtho2D(GLdouble l, GLdouble r, GLdouble b, GLdouble t)
{
    glOrtho(l, r, b, t, -1, 1);
}

void gluLookAt(GLdouble ex, GLdouble ey, GLdouble ez, GLdouble cx, GLdouble cy, GLdouble cz,
               GLdouble ux, GLdouble uy, GLdouble uz)
{
    // GLU's own arithmetic, in float.
    float forward[3] = {static_cast<float>(cx - ex), static_cast<float>(cy - ey),
                        static_cast<float>(cz - ez)};
    float up[3] = {static_cast<float>(ux), static_cast<float>(uy), static_cast<float>(uz)};
    auto normalize = [](float* v) {
        const float r = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        if (r != 0)
            for (int k = 0; k < 3; ++k)
                v[k] /= r;
    };
    auto cross = [](const float* a, const float* b, float* out) {
        out[0] = a[1] * b[2] - a[2] * b[1];
        out[1] = a[2] * b[0] - a[0] * b[2];
        out[2] = a[0] * b[1] - a[1] * b[0];
    };
    normalize(forward);
    float side[3];
    cross(forward, up, side);
    normalize(side);
    cross(side, forward, up);
    const float m[16] = {side[0], up[0], -forward[0], 0, side[1], up[1], -forward[1], 0,
                         side[2], up[2], -forward[2], 0, 0, 0, 0, 1};
    glMultMatrixf(m);
    glTranslated(-ex, -ey, -ez);
}
