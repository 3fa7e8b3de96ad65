// Desktop OpenGL 1.x state that the browser's GL emulation drops or gets
// wrong, kept here and applied through the calls it does get right.
//
// Lighting: the emulation's own is never switched on. While GL_LIGHTING is
// on, every glVertex3f is lit here by the fixed-function equation (eye-space
// positional or directional lights, colour material, emission, the light
// model's ambient, a non-local viewer, one-sided) and sent with the lit
// colour. Our programs set no attenuation and no spot light, light only the
// front material and send vertices only with glVertex3f, so that is all
// that is kept.
//
// Immediate mode: a call into the emulation's JavaScript per glTexCoord2f
// and per glVertex3f, 120 000 a frame at the viewer's capacity, took most
// of the page's own time for a frame, so the vertices of a primitive are
// gathered here, interleaved, and glEnd hands them over at once as client
// arrays to one glDrawArrays.
// One draw takes at most 2 MiB of vertices (the emulation's
// GL_MAX_TEMP_BUFFER_SIZE), some 100 000 textured ones; the largest
// primitive of our programs is the viewer's, 30 000 corners.
//
// Textures: names are the program's own, as desktop GL allows, and mapped to
// names the browser handed out; 0 is a texture object like any other.
#include "web_gl.h"

#include <GL/glut.h>

#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace {

struct colour {
    float r, g, b, a;
};

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
    colour current{1, 1, 1, 1};
    float normal[3] = {0, 0, 1};
    // The model-view matrix of the primitive being drawn, and the matrix that
    // takes its normals to eye space (the inverse transpose of its 3 x 3 part).
    float modelview[16];
    float normal_matrix[9];
};

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
float current_texcoord[2] = {0, 0};
primitive batch;

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
    if (ambient_tracked())
        m.ambient = gl.current;
    if (diffuse_tracked())
        m.diffuse = gl.current;
    if (tracks(GL_SPECULAR))
        m.specular = gl.current;
    if (tracks(GL_EMISSION))
        m.emission = gl.current;
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

float clamp01(float v)
{
    return v < 0 ? 0 : v > 1 ? 1 : v;
}

// A vertex's final colour is clamped, lit or not.
colour clamped(colour c)
{
    return {clamp01(c.r), clamp01(c.g), clamp01(c.b), clamp01(c.a)};
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
        n[row] = dot3(gl.normal_matrix + 3 * row, gl.normal);
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
        if (!on)
            glColor4f(gl.current.r, gl.current.g, gl.current.b, gl.current.a);
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
        const colour c = clamped(gl.current);
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
    gl.current = c;
    if (!gl.on)
        glColor4f(c.r, c.g, c.b, c.a);
}

// The modes WebGL lacks, as the ones that cover the same triangles in the
// same order; GL_QUADS the emulation draws itself.
GLenum drawn_mode(GLenum mode)
{
    return mode == GL_QUAD_STRIP ? GL_TRIANGLE_STRIP : mode == GL_POLYGON ? GL_TRIANGLE_FAN : mode;
}

}  // namespace

void web_enable(GLenum cap)
{
    if (cap == GL_TEXTURE_2D)
        texturing = true;
    if (!set_own_capability(cap, true))
        glEnable(cap);
}

void web_disable(GLenum cap)
{
    if (cap == GL_TEXTURE_2D)
        texturing = false;
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

void web_color_3fv(const GLfloat* v)
{
    set_current({v[0], v[1], v[2], 1});
}

void web_color_4fv(const GLfloat* v)
{
    set_current(to_colour(v));
}

void web_color_4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a)
{
    set_current({r, g, b, a});
}

void web_normal_3f(GLfloat x, GLfloat y, GLfloat z)
{
    gl.normal[0] = x;
    gl.normal[1] = y;
    gl.normal[2] = z;
}

void web_begin(GLenum mode)
{
    // The matrix cannot change between glBegin and glEnd.
    if (gl.on) {
        glGetFloatv(GL_MODELVIEW_MATRIX, gl.modelview);
        update_normal_matrix();
    }
    batch.open = true;
    batch.mode = mode;
    batch.texcoords = texturing;
    batch.colours = gl.on;
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
        const colour c = gl.on ? lit_colour(v) : clamped(gl.current);
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

void web_shade_model(GLenum mode)
{
    // Colours are always interpolated in the browser: GL_SMOOTH, the default,
    // is what there is, and the emulation only warns about the call.
    (void)mode;
}

namespace {

// Program texture names to the browser's; 0 of each target is a real object.
std::unordered_map<uint64_t, GLuint> texture_names;

}  // namespace

void web_bind_texture(GLenum target, GLuint name)
{
    const uint64_t key = name != 0 ? name : uint64_t{target} << 32;
    auto found = texture_names.find(key);
    if (found == texture_names.end()) {
        GLuint browser_name = 0;
        glGenTextures(1, &browser_name);
        found = texture_names.emplace(key, browser_name).first;
    }
    glBindTexture(target, found->second);
}

void web_tex_image_2d(GLenum target, GLint level, GLint internal_format, GLsizei width,
                      GLsizei height, GLint border, GLenum format, GLenum type,
                      const void* pixels)
{
    // WebGL 1 takes the internal format only as the format itself, while
    // desktop GL also takes a component count (1 to 4) or a sized format.
    (void)internal_format;
    glTexImage2D(target, level, static_cast<GLint>(format), width, height, border, format, type,
                 pixels);
}

void web_tex_env_f(GLenum target, GLenum pname, GLfloat param)
{
    // The emulation reads the mode from glTexEnvi only.
    if (pname == GL_TEXTURE_ENV_MODE)
        glTexEnvi(target, pname, static_cast<GLint>(param));
    else
        glTexEnvf(target, pname, param);
}
