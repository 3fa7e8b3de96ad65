// The part of GLU our programs call and the browser has no library for:
// quadric spheres and mipmap building. Both give what desktop GLU gives, so
// the pages show the desktop pictures: the sphere has GLU's vertices, normals
// and draw order, and the mipmaps GLU's rescaling and averaging.
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "web_gl.h"

class GLUquadric {
public:
    GLenum orientation = GLU_OUTSIDE;
    GLenum draw_style = GLU_FILL;
};

GLUquadric* gluNewQuadric()
{
    return new GLUquadric;
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

namespace {

// GLU keeps its sine tables at this many entries and draws no finer.
const int MOST_DIVISIONS = 239;
const double PI = 3.14159265358979323846;

struct sphere_tables {
    // Around the z axis: the angle of slice i; the last repeats the first.
    std::vector<float> sin_around, cos_around;
    // Down from +z: ring j's radius and height, and its normal's parts.
    std::vector<float> ring_radius, ring_z, normal_sin, normal_cos;
};

sphere_tables make_tables(double radius, int slices, int stacks, bool inside)
{
    sphere_tables t;
    for (int i = 0; i < slices; ++i) {
        const double angle = 2 * PI * i / slices;
        t.sin_around.push_back(static_cast<float>(std::sin(angle)));
        t.cos_around.push_back(static_cast<float>(std::cos(angle)));
    }
    t.sin_around.push_back(t.sin_around[0]);
    t.cos_around.push_back(t.cos_around[0]);
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

void sphere_point(const sphere_tables& t, int i, int j)
{
    web_normal_3f(t.sin_around[i] * t.normal_sin[j], t.cos_around[i] * t.normal_sin[j],
                  t.normal_cos[j]);
    web_vertex_3f(t.ring_radius[j] * t.sin_around[i], t.ring_radius[j] * t.cos_around[i],
                  t.ring_z[j]);
}

}  // namespace

void gluSphere(GLUquadric* quadric, GLdouble radius, GLint slices, GLint stacks)
{
    if (slices > MOST_DIVISIONS)
        slices = MOST_DIVISIONS;
    if (stacks > MOST_DIVISIONS)
        stacks = MOST_DIVISIONS;
    if (slices < 2 || stacks < 1 || radius < 0)
        return;
    if (quadric->draw_style != GLU_FILL) {
        static bool told = false;
        if (!told)
            std::fprintf(stderr, "gluSphere: only GLU_FILL is drawn in the browser\n");
        told = true;
        return;
    }
    const bool inside = quadric->orientation == GLU_INSIDE;
    const sphere_tables t = make_tables(radius, slices, stacks, inside);

    // The caps are fans about the poles, the rest bands between neighbouring
    // rings. GLU draws the bands as quad strips; a triangle strip through the
    // same vertices covers the same quads. Inside out, every winding reverses.
    web_begin(GL_TRIANGLE_FAN);
    sphere_point(t, 0, 0);
    for (int k = 0; k <= slices; ++k)
        sphere_point(t, inside ? k : slices - k, 1);
    web_end();

    web_begin(GL_TRIANGLE_FAN);
    sphere_point(t, slices, stacks);
    for (int k = 0; k <= slices; ++k)
        sphere_point(t, inside ? slices - k : k, stacks - 1);
    web_end();

    for (int j = 1; j < stacks - 1; ++j) {
        web_begin(GL_TRIANGLE_STRIP);
        for (int i = 0; i <= slices; ++i) {
            sphere_point(t, i, inside ? j : j + 1);
            sphere_point(t, i, inside ? j + 1 : j);
        }
        web_end();
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
    web_tex_image_2d(target, level, static_cast<GLint>(format), im.width, im.height, 0, format,
                     GL_UNSIGNED_BYTE, im.bytes.data());
}

}  // namespace

GLint gluBuild2DMipmaps(GLenum target, GLint internal_format, GLsizei width, GLsizei height,
                       GLenum format, GLenum type, const void* data)
{
    (void)internal_format;  // WebGL 1 takes the format itself
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
