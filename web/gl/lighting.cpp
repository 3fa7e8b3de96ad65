// Fixed-function lighting, which the browser's GL emulation gets wrong: it
// treats every light as directional, ignores colour material and throws on
// emission, so its own is never switched on. While GL_LIGHTING is on, each
// vertex immediate mode gathers is lit here by the fixed-function equation
// (eye-space positional or directional lights, colour material, emission,
// the light model's ambient, a non-local viewer, one-sided) and sent with
// the lit colour. Our programs set no attenuation and no spot light and
// light only the front material, so that is all that is kept.
#include <GL/glut.h>

#include <cmath>

#include "layer.h"
#include "web_gl.h"

namespace {

struct light_source {
    bool on = false;
    colour ambient{0, 0, 0, 1};
    colour diffuse{0, 0, 0, 1};
    colour specular{0, 0, 0, 1};
    float position[4] = {0, 0, 1, 0};  // in eye coordinates
};

struct material {
    colour ambient{0.2f, 0.2f, 0.2f, 1};
    colour diffuse{0.8f, 0.8f, 0.8f, 1};
    colour specular{0, 0, 0, 1};
    colour emission{0, 0, 0, 1};
    float shininess = 0;
};

const int LIGHT_COUNT = 8;
const colour LIGHT_MODEL_AMBIENT{0.2f, 0.2f, 0.2f, 1};

struct lighting_state {
    bool on = false;
    bool normalize = false;
    light_source lights[LIGHT_COUNT];
    material front;
    bool colour_material = false;
    GLenum colour_material_face = GL_FRONT_AND_BACK;
    GLenum colour_material_mode = GL_AMBIENT_AND_DIFFUSE;
    // The model-view matrix of the primitive being drawn, and the matrix that
    // takes its normals to eye space (the inverse transpose of its 3 x 3 part).
    float modelview[16];
    float normal_matrix[9];
};

lighting_state gl = [] {
    lighting_state s;
    s.lights[0].diffuse = {1, 1, 1, 1};
    s.lights[0].specular = {1, 1, 1, 1};
    return s;
}();

colour to_colour(const GLfloat* v)
{
    return {v[0], v[1], v[2], v[3]};
}

bool tracks(GLenum mode)
{
    return gl.colour_material_mode == mode;
}

// Colour material replaces these front values with the current colour.
bool ambient_tracked()
{
    return gl.colour_material && gl.colour_material_face != GL_BACK &&
           (tracks(GL_AMBIENT) || tracks(GL_AMBIENT_AND_DIFFUSE));
}

bool diffuse_tracked()
{
    return gl.colour_material && gl.colour_material_face != GL_BACK &&
           (tracks(GL_DIFFUSE) || tracks(GL_AMBIENT_AND_DIFFUSE));
}

material effective_material()
{
    material m = gl.front;
    if (!gl.colour_material || gl.colour_material_face == GL_BACK)
        return m;
    const colour current = current_colour();
    if (ambient_tracked())
        m.ambient = current;
    if (diffuse_tracked())
        m.diffuse = current;
    if (tracks(GL_SPECULAR))
        m.specular = current;
    if (tracks(GL_EMISSION))
        m.emission = current;
    return m;
}

// Colour material off again: the tracked values keep the colour they had.
void settle_colour_material()
{
    gl.front = effective_material();
}

void transform_point(const float* m, const float* p, float* out)
{
    for (int row = 0; row < 4; ++row)
        out[row] = m[row] * p[0] + m[4 + row] * p[1] + m[8 + row] * p[2] + m[12 + row] * p[3];
}

void update_normal_matrix()
{
    const float* m = gl.modelview;
    // Column-major 3 x 3 part: a[row][col] = m[col * 4 + row].
    const float a = m[0], b = m[4], c = m[8];
    const float d = m[1], e = m[5], f = m[9];
    const float g = m[2], h = m[6], i = m[10];
    const float co_a = e * i - f * h, co_b = -(d * i - f * g), co_c = d * h - e * g;
    const float det = a * co_a + b * co_b + c * co_c;
    const float s = det != 0 ? 1 / det : 0;
    // The inverse transpose is the cofactor matrix over the determinant.
    float* n = gl.normal_matrix;  // row-major
    n[0] = co_a * s, n[1] = co_b * s, n[2] = co_c * s;
    n[3] = -(b * i - c * h) * s, n[4] = (a * i - c * g) * s, n[5] = -(a * h - b * g) * s;
    n[6] = (b * f - c * e) * s, n[7] = -(a * f - c * d) * s, n[8] = (a * e - b * d) * s;
}

float dot3(const float* u, const float* v)
{
    return u[0] * v[0] + u[1] * v[1] + u[2] * v[2];
}

void normalize3(float* v)
{
    const float length = std::sqrt(dot3(v, v));
    if (length > 0)
        for (int k = 0; k < 3; ++k)
            v[k] /= length;
}

bool is_light(GLenum cap)
{
    return cap >= GL_LIGHT0 && cap < GL_LIGHT0 + LIGHT_COUNT;
}

// Returns false for the capabilities the emulation is to see itself.
bool set_own_capability(GLenum cap, bool on)
{
    if (cap == GL_LIGHTING) {
        gl.on = on;
        // Unlit drawing takes the current colour again.
        if (!on) {
            const colour c = current_colour();
            glColor4f(c.r, c.g, c.b, c.a);
        }
        return true;
    }
    if (is_light(cap)) {
        gl.lights[cap - GL_LIGHT0].on = on;
        return true;
    }
    if (cap == GL_COLOR_MATERIAL) {
        if (!on && gl.colour_material)
            settle_colour_material();
        gl.colour_material = on;
        return true;
    }
    if (cap == GL_NORMALIZE) {
        gl.normalize = on;
        return true;
    }
    return false;
}

}  // namespace

bool lighting_on()
{
    return gl.on;
}

void take_primitive_matrix()
{
    if (gl.on) {
        glGetFloatv(GL_MODELVIEW_MATRIX, gl.modelview);
        update_normal_matrix();
    }
}

colour lit_colour(const float* object_vertex)
{
    const material m = effective_material();

    float vertex[4];
    const float p[4] = {object_vertex[0], object_vertex[1], object_vertex[2], 1};
    transform_point(gl.modelview, p, vertex);
    float eye[3] = {vertex[0] / vertex[3], vertex[1] / vertex[3], vertex[2] / vertex[3]};

    float n[3];
    for (int row = 0; row < 3; ++row)
        n[row] = dot3(gl.normal_matrix + 3 * row, current_normal());
    if (gl.normalize)
        normalize3(n);

    float r = m.emission.r + m.ambient.r * LIGHT_MODEL_AMBIENT.r;
    float g = m.emission.g + m.ambient.g * LIGHT_MODEL_AMBIENT.g;
    float b = m.emission.b + m.ambient.b * LIGHT_MODEL_AMBIENT.b;
    for (const light_source& light : gl.lights) {
        if (!light.on)
            continue;
        float to_light[3];
        for (int k = 0; k < 3; ++k)
            to_light[k] = light.position[3] != 0
                              ? light.position[k] / light.position[3] - eye[k]
                              : light.position[k];
        normalize3(to_light);

        r += light.ambient.r * m.ambient.r;
        g += light.ambient.g * m.ambient.g;
        b += light.ambient.b * m.ambient.b;
        const float diffuse = dot3(n, to_light);
        if (diffuse <= 0)
            continue;  // facing away: no diffuse and no highlight
        r += diffuse * light.diffuse.r * m.diffuse.r;
        g += diffuse * light.diffuse.g * m.diffuse.g;
        b += diffuse * light.diffuse.b * m.diffuse.b;

        // Non-local viewer: the half vector takes the eye direction as +z.
        float half[3] = {to_light[0], to_light[1], to_light[2] + 1};
        normalize3(half);
        const float facing = dot3(n, half);
        const float highlight = std::pow(facing > 0 ? facing : 0.0f, m.shininess);
        r += highlight * light.specular.r * m.specular.r;
        g += highlight * light.specular.g * m.specular.g;
        b += highlight * light.specular.b * m.specular.b;
    }
    return clamped({r, g, b, m.diffuse.a});
}

void web_enable(GLenum cap)
{
    if (cap == GL_TEXTURE_2D)
        set_texturing(true);
    if (!set_own_capability(cap, true))
        glEnable(cap);
}

void web_disable(GLenum cap)
{
    if (cap == GL_TEXTURE_2D)
        set_texturing(false);
    if (!set_own_capability(cap, false))
        glDisable(cap);
}

void web_light_fv(GLenum light, GLenum pname, const GLfloat* params)
{
    if (!is_light(light))
        return;
    light_source& l = gl.lights[light - GL_LIGHT0];
    switch (pname) {
    case GL_AMBIENT:
        l.ambient = to_colour(params);
        break;
    case GL_DIFFUSE:
        l.diffuse = to_colour(params);
        break;
    case GL_SPECULAR:
        l.specular = to_colour(params);
        break;
    case GL_POSITION: {
        // Kept in eye coordinates, through the model-view matrix of this moment.
        float modelview[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
        transform_point(modelview, params, l.position);
        break;
    }
    default:
        break;  // spot and attenuation: our programs leave them at none
    }
}

void web_material_fv(GLenum face, GLenum pname, const GLfloat* params)
{
    // Two-sided lighting is off, so only the front material is ever seen.
    if (face == GL_BACK)
        return;
    material& m = gl.front;
    switch (pname) {
    case GL_AMBIENT:
        m.ambient = to_colour(params);
        break;
    case GL_DIFFUSE:
        m.diffuse = to_colour(params);
        break;
    case GL_AMBIENT_AND_DIFFUSE:
        m.ambient = m.diffuse = to_colour(params);
        break;
    case GL_SPECULAR:
        m.specular = to_colour(params);
        break;
    case GL_EMISSION:
        m.emission = to_colour(params);
        break;
    case GL_SHININESS:
        m.shininess = params[0];
        break;
    default:
        break;
    }
}

void web_material_i(GLenum face, GLenum pname, GLint param)
{
    if (pname != GL_SHININESS)
        return;  // the only single-valued material parameter
    const GLfloat value = static_cast<GLfloat>(param);
    web_material_fv(face, pname, &value);
}

void web_color_material(GLenum face, GLenum mode)
{
    if (gl.colour_material)
        settle_colour_material();
    gl.colour_material_face = face;
    gl.colour_material_mode = mode;
}

void web_shade_model(GLenum mode)
{
    // Colours are always interpolated in the browser: GL_SMOOTH, the default,
    // is what there is, and the emulation only warns about the call.
    (void)mode;
}
