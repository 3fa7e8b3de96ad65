// GLU: quadrics (sphere, cylinder, disk, with GLU's vertices, normals,
// texture coordinates and draw order, so the pages show the desktop
// pictures) and mipmap building (with GLU's rescaling and averaging). The
// matrix helpers are with the matrices (matrices.cpp).
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "layer.h"
#include "webgl.h"

class GLUquadric {
public:
    GLenum orientation = GLU_OUTSIDE;
    GLenum draw_style = GLU_FILL;
    GLenum normals = GLU_SMOOTH;
    bool texture = false;
};

GLUquadric* gluNewQuadric()
{
    return new GLUquadric;
}

void gluDeleteQuadric(GLUquadric* quadric)
{
    delete quadric;
}

void gluQuadricOrientation(GLUquadric* quadric, GLenum orientation)
{
    if (orientation == GLU_OUTSIDE || orientation == GLU_INSIDE)
        quadric->orientation = orientation;
}

void gluQuadricDrawStyle(GLUquadric* quadric, GLenum draw_style)
{
    quadric->draw_style = draw_style;
}

void gluQuadricNormals(GLUquadric* quadric, GLenum normals)
{
    quadric->normals = normals;
}

void gluQuadricTexture(GLUquadric* quadric, GLboolean texture)
{
    quadric->texture = texture != GL_FALSE;
}

namespace {

// GLU keeps its sine tables at this many entries and draws no finer.
const int MOST_DIVISIONS = 239;
const double PI = 3.14159265358979323846;

// What the layer draws of a quadric: filled, with smooth normals or none.
bool drawable(const char* call, const GLUquadric* quadric)
{
    if (quadric->draw_style != GLU_FILL) {
        say_unhandled(call, quadric->draw_style);
        return false;
    }
    if (quadric->normals == GLU_FLAT)
        say_unhandled(call, GLU_FLAT);  // drawn with smooth normals
    return true;
}

struct sphere_tables {
    circle around;  // around the z axis, slice by slice
    // Down from +z: ring j's radius and height, and its normal's parts.
    std::vector<float> ring_radius, ring_z, normal_sin, normal_cos;
};

sphere_tables make_tables(double radius, int slices, int stacks, bool inside)
{
    sphere_tables t;
    t.around = make_circle(slices, false);
    const float sign = inside ? -1.0f : 1.0f;
    for (int j = 0; j <= stacks; ++j) {
        const double angle = PI * j / stacks;
        t.ring_radius.push_back(static_cast<float>(radius * std::sin(angle)));
        t.ring_z.push_back(static_cast<float>(radius * std::cos(angle)));
        t.normal_sin.push_back(sign * static_cast<float>(std::sin(angle)));
        t.normal_cos.push_back(sign * static_cast<float>(std::cos(angle)));
    }
    // The poles are points.
    t.ring_radius[0] = 0;
    t.ring_radius[stacks] = 0;
    return t;
}

void sphere_point(const GLUquadric* q, const sphere_tables& t, int i, int j, int slices,
                  int stacks)
{
    if (q->normals != GLU_NONE)
        glNormal3f(t.around.sin[i] * t.normal_sin[j], t.around.cos[i] * t.normal_sin[j],
                   t.normal_cos[j]);
    if (q->texture)
        glTexCoord2f(1 - static_cast<float>(i) / slices, 1 - static_cast<float>(j) / stacks);
    glVertex3f(t.ring_radius[j] * t.around.sin[i], t.ring_radius[j] * t.around.cos[i],
               t.ring_z[j]);
}

}  // namespace

void gluSphere(GLUquadric* quadric, GLdouble radius, GLint slices, GLint stacks)
{
    if (slices > MOST_DIVISIONS)
        slices = MOST_DIVISIONS;
    if (stacks > MOST_DIVISIONS)
        stacks = MOST_DIVISIONS;
    if (slices < 2 || stacks < 1 || radius < 0 || !drawable("gluSphere", quadric))
        return;
    const bool inside = quadric->orientation == GLU_INSIDE;
    const sphere_tables t = make_tables(radius, slices, stacks, inside);
    auto point = [&](int i, int j) { sphere_point(quadric, t, i, j, slices, stacks); };

    // Untextured, the caps are fans about the poles and the rest bands
    // between neighbouring rings; textured, GLU draws bands all the way.
    // Inside out, every winding reverses.
    int first = 0, last = stacks;
    if (!quadric->texture) {
        glBegin(GL_TRIANGLE_FAN);
        point(0, 0);
        for (int k = 0; k <= slices; ++k)
            point(inside ? k : slices - k, 1);
        glEnd();

        glBegin(GL_TRIANGLE_FAN);
        point(slices, stacks);
        for (int k = 0; k <= slices; ++k)
            point(inside ? slices - k : k, stacks - 1);
        glEnd();
        first = 1;
        last = stacks - 1;
    }
    for (int j = first; j < last; ++j) {
        glBegin(GL_QUAD_STRIP);
        for (int i = 0; i <= slices; ++i) {
            point(i, inside ? j : j + 1);
            point(i, inside ? j + 1 : j);
        }
        glEnd();
    }
}

void gluCylinder(GLUquadric* quadric, GLdouble base, GLdouble top, GLdouble height, GLint slices,
                 GLint stacks)
{
    if (slices > MOST_DIVISIONS)
        slices = MOST_DIVISIONS;
    if (slices < 2 || stacks < 1 || base < 0 || top < 0 || height < 0 ||
        !drawable("gluCylinder", quadric))
        return;
    const bool inside = quadric->orientation == GLU_INSIDE;
    const double delta = base - top;
    const double length = std::sqrt(delta * delta + height * height);
    if (length == 0)
        return;
    const float sign = inside ? -1.0f : 1.0f;
    const float z_normal = sign * static_cast<float>(delta / length);
    const float xy_normal = sign * static_cast<float>(height / length);
    const circle around = make_circle(slices, false);

    for (int j = 0; j < stacks; ++j) {
        const float z_low = static_cast<float>(j * height / stacks);
        const float z_high = static_cast<float>((j + 1) * height / stacks);
        const float r_low = static_cast<float>(base - delta * j / stacks);
        const float r_high = static_cast<float>(base - delta * (j + 1) / stacks);
        auto point = [&](int i, float r, float z, int ring) {
            if (quadric->normals != GLU_NONE)
                glNormal3f(xy_normal * around.sin[i], xy_normal * around.cos[i], z_normal);
            if (quadric->texture)
                glTexCoord2f(1 - static_cast<float>(i) / slices, static_cast<float>(ring) / stacks);
            glVertex3f(r * around.sin[i], r * around.cos[i], z);
        };
        glBegin(GL_QUAD_STRIP);
        for (int i = 0; i <= slices; ++i) {
            if (inside) {
                point(i, r_high, z_high, j + 1);
                point(i, r_low, z_low, j);
            } else {
                point(i, r_low, z_low, j);
                point(i, r_high, z_high, j + 1);
            }
        }
        glEnd();
    }
}

void gluDisk(GLUquadric* quadric, GLdouble inner, GLdouble outer, GLint slices, GLint loops)
{
    if (slices > MOST_DIVISIONS)
        slices = MOST_DIVISIONS;
    if (slices < 2 || loops < 1 || inner < 0 || outer <= 0 || inner > outer ||
        !drawable("gluDisk", quadric))
        return;
    const bool inside = quadric->orientation == GLU_INSIDE;
    if (quadric->normals != GLU_NONE)
        glNormal3f(0, 0, inside ? -1 : 1);
    const circle around = make_circle(slices, false);
    const double delta = outer - inner;
    auto point = [&](int i, float r) {
        if (quadric->texture) {
            const float share = static_cast<float>(r / outer / 2);
            glTexCoord2f(share * around.sin[i] + 0.5f, share * around.cos[i] + 0.5f);
        }
        glVertex3f(r * around.sin[i], r * around.cos[i], 0);
    };
    int finish = loops;
    if (inner == 0) {
        // The centre is a fan.
        finish = loops - 1;
        glBegin(GL_TRIANGLE_FAN);
        if (quadric->texture)
            glTexCoord2f(0.5f, 0.5f);
        glVertex3f(0, 0, 0);
        const float r = static_cast<float>(outer - delta * (loops - 1) / loops);
        for (int k = 0; k <= slices; ++k)
            point(inside ? k : slices - k, r);
        glEnd();
    }
    for (int j = 0; j < finish; ++j) {
        const float r_low = static_cast<float>(outer - delta * j / loops);
        const float r_high = static_cast<float>(outer - delta * (j + 1) / loops);
        glBegin(GL_QUAD_STRIP);
        for (int i = 0; i <= slices; ++i) {
            if (inside) {
                point(i, r_high);
                point(i, r_low);
            } else {
                point(i, r_low);
                point(i, r_high);
            }
        }
        glEnd();
    }
}

namespace {

// GLU's choice of power-of-two side: the nearer of the two around `side`,
// measured on a log scale, where 3 x 2^k counts as nearer the one above.
GLint power_of_two_side(GLint side)
{
    GLint below = 1;
    while (below <= side / 2)
        below *= 2;
    return below > 1 && (side & (below / 2)) ? below * 2 : below;
}

int components_of(GLenum format)
{
    switch (format) {
    case GL_ALPHA:
    case GL_LUMINANCE:
        return 1;
    case GL_LUMINANCE_ALPHA:
        return 2;
    case GL_RGB:
        return 3;
    case GL_RGBA:
        return 4;
    default:
        return 0;
    }
}

struct image {
    int width, height, components;
    std::vector<uint8_t> bytes;  // rows packed tight, first row first

    uint8_t at(int x, int y, int k) const
    {
        return bytes[(static_cast<size_t>(y) * width + x) * components + k];
    }
};

// Each texel the average of the 2 x 2 block above it, rounded; an image one
// texel high or wide averages pairs instead, rounding down, as GLU does.
image halve(const image& in)
{
    image out{in.width > 1 ? in.width / 2 : 1, in.height > 1 ? in.height / 2 : 1,
              in.components, {}};
    out.bytes.resize(static_cast<size_t>(out.width) * out.height * out.components);
    uint8_t* o = out.bytes.data();
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x)
            for (int k = 0; k < in.components; ++k) {
                if (in.width > 1 && in.height > 1)
                    *o++ = static_cast<uint8_t>(
                        (in.at(2 * x, 2 * y, k) + in.at(2 * x + 1, 2 * y, k) +
                         in.at(2 * x, 2 * y + 1, k) + in.at(2 * x + 1, 2 * y + 1, k) + 2) / 4);
                else if (in.width > 1)
                    *o++ = static_cast<uint8_t>((in.at(2 * x, 0, k) + in.at(2 * x + 1, 0, k)) / 2);
                else
                    *o++ = static_cast<uint8_t>((in.at(0, 2 * y, k) + in.at(0, 2 * y + 1, k)) / 2);
            }
    return out;
}

// GLU's box filter, step for step, so that the texels come out the same.
// Each new texel covers step_x x step_y old ones; its edges are walked as a
// whole part and a float fraction, summed in float and rounded down. GLU's
// own arithmetic shows through: sums in single precision, and in the last
// row of new texels the far edge is pulled back to the old image's last row,
// which leaves that row short of its full weight (black when only the width
// changes). The picture must match the desktop's, so that stays.
image rescale(const image& in, int width, int height)
{
    if (in.width == 2 * width && in.height == 2 * height)
        return halve(in);
    image out{width, height, in.components, {}};
    out.bytes.resize(static_cast<size_t>(width) * height * in.components);
    const int n = in.components;
    // GLU reads on past a row's end into the next row, the buffer being one block.
    auto texel = [&](int x, int y, int k) -> float {
        const size_t i = (static_cast<size_t>(y) * in.width + x) * n + k;
        return i < in.bytes.size() ? in.bytes[i] : 0;
    };
    const float step_y = static_cast<float>(in.height) / height;
    const float step_x = static_cast<float>(in.width) / width;
    const int step_y_int = static_cast<int>(std::floor(step_y));
    const float step_y_frac = step_y - step_y_int;
    const int step_x_int = static_cast<int>(std::floor(step_x));
    const float step_x_frac = step_x - step_x_int;
    const float area = step_x * step_y;

    int low_y = 0, high_y = step_y_int;
    float low_y_frac = 0, high_y_frac = step_y_frac;
    uint8_t* o = out.bytes.data();
    for (int row = 0; row < height; ++row) {
        if (high_y >= in.height)
            high_y = in.height - 1;
        int low_x = 0, high_x = step_x_int;
        float low_x_frac = 0, high_x_frac = step_x_frac;
        for (int column = 0; column < width; ++column) {
            float total[4] = {0, 0, 0, 0};
            for (int k = 0; k < n; ++k) {
                float& t = total[k];
                if (high_y > low_y && high_x > low_x) {
                    // Partial first and last rows, partial first and last columns.
                    float y_share = 1 - low_y_frac;
                    t += texel(low_x, low_y, k) * (y_share * (1 - low_x_frac));
                    for (int x = low_x + 1; x < high_x; ++x)
                        t += texel(x, low_y, k) * y_share;
                    t += texel(high_x, low_y, k) * (y_share * high_x_frac);
                    y_share = high_y_frac;
                    t += texel(low_x, high_y, k) * (y_share * (1 - low_x_frac));
                    for (int x = low_x + 1; x < high_x; ++x)
                        t += texel(x, high_y, k) * y_share;
                    t += texel(high_x, high_y, k) * (y_share * high_x_frac);
                    for (int y = low_y + 1; y < high_y; ++y)
                        t += texel(low_x, y, k) * (1 - low_x_frac) +
                             texel(high_x, y, k) * high_x_frac;
                } else if (high_y > low_y) {
                    // Within one column.
                    const float x_share = high_x_frac - low_x_frac;
                    t += texel(low_x, low_y, k) * ((1 - low_y_frac) * x_share);
                    for (int y = low_y + 1; y < high_y; ++y)
                        t += texel(low_x, y, k) * x_share;
                    t += texel(low_x, high_y, k) * (x_share * high_y_frac);
                } else if (high_x > low_x) {
                    // Within one row.
                    const float y_share = high_y_frac - low_y_frac;
                    t += texel(low_x, low_y, k) * ((1 - low_x_frac) * y_share);
                    for (int x = low_x + 1; x < high_x; ++x)
                        t += texel(x, low_y, k) * y_share;
                    t += texel(high_x, low_y, k) * (y_share * high_x_frac);
                } else {
                    t += texel(low_x, low_y, k) *
                         ((high_y_frac - low_y_frac) * (high_x_frac - low_x_frac));
                }
                // The whole texels inside.
                for (int y = low_y + 1; y < high_y; ++y)
                    for (int x = low_x + 1; x < high_x; ++x)
                        t += texel(x, y, k);
                *o++ = static_cast<uint8_t>(static_cast<int>(t / area));
            }
            low_x = high_x;
            low_x_frac = high_x_frac;
            high_x += step_x_int;
            high_x_frac += step_x_frac;
            if (high_x_frac > 1) {
                high_x_frac -= 1;
                ++high_x;
            }
            // GLU keeps the box inside the row by moving it back whole.
            if (high_x > in.width - 1) {
                const int delta = high_x - in.width + 1;
                low_x -= delta;
                high_x -= delta;
            }
        }
        low_y = high_y;
        low_y_frac = high_y_frac;
        high_y += step_y_int;
        high_y_frac += step_y_frac;
        if (high_y_frac > 1) {
            high_y_frac -= 1;
            ++high_y;
        }
    }
    return out;
}

void upload(GLenum target, GLint level, GLenum format, const image& im)
{
    glTexImage2D(target, level, static_cast<GLint>(format), im.width, im.height, 0, format,
                     GL_UNSIGNED_BYTE, im.bytes.data());
}

}  // namespace

GLint gluBuild2DMipmaps(GLenum target, GLint internal_format, GLsizei width, GLsizei height,
                       GLenum format, GLenum type, const void* data)
{
    (void)internal_format;  // WebGL takes the format itself
    if (width < 1 || height < 1)
        return GLU_INVALID_VALUE;
    const int components = components_of(format);
    if (components == 0 || type != GL_UNSIGNED_BYTE)
        return GLU_INVALID_ENUM;

    // The caller's rows as the unpack alignment lays them out, packed tight.
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    const size_t row_bytes = static_cast<size_t>(width) * components;
    const size_t stride = (row_bytes + alignment - 1) / alignment * alignment;
    image level{width, height, components, {}};
    level.bytes.resize(row_bytes * height);
    for (GLsizei y = 0; y < height; ++y)
        std::memcpy(level.bytes.data() + row_bytes * y,
                    static_cast<const uint8_t*>(data) + stride * y, row_bytes);

    GLint most = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &most);
    const int new_width = std::min(power_of_two_side(width), most);
    const int new_height = std::min(power_of_two_side(height), most);
    if (new_width != width || new_height != height)
        level = rescale(level, new_width, new_height);

    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    GLint n = 0;
    upload(target, n, format, level);
    while (level.width > 1 || level.height > 1) {
        level = halve(level);
        upload(target, ++n, format, level);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    return 0;
}
