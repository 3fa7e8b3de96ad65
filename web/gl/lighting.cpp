// Fixed-function lighting, per vertex on the processor as OpenGL 1.x
// defines it: eight lights, directional or positional, with attenuation and
// spot cut-off and exponent; the light model's ambient and local viewer;
// materials for front and back (with two-sided lighting off, as here, only
// the front shows); colour material; GL_NORMALIZE and GL_RESCALE_NORMAL.
// Immediate mode asks for each vertex's colour while GL_LIGHTING is on.
#include <array>
#include <cmath>

#include "layer.h"
#include "webgl.h"

namespace {

struct light_source {
    bool on = false;
    colour ambient{0, 0, 0, 1};
    colour diffuse{0, 0, 0, 1};
    colour specular{0, 0, 0, 1};
    float position[4] = {0, 0, 1, 0};  // in eye coordinates
    float spot_direction[3] = {0, 0, -1};  // in eye coordinates
    float spot_exponent = 0;
    float spot_cutoff = 180;
    float attenuation[3] = {1, 0, 0};
};

struct material {
    colour ambient{0.2f, 0.2f, 0.2f, 1};
    colour diffuse{0.8f, 0.8f, 0.8f, 1};
    colour specular{0, 0, 0, 1};
    colour emission{0, 0, 0, 1};
    float shininess = 0;
};

const int LIGHT_COUNT = 8;

struct lighting_state {
    bool on = false;
    bool normalize = false;
    bool rescale = false;
    light_source lights[LIGHT_COUNT];
    material front, back;
    colour model_ambient{0.2f, 0.2f, 0.2f, 1};
    bool local_viewer = false;
    bool colour_material = false;
    GLenum colour_material_face = GL_FRONT_AND_BACK;
    GLenum colour_material_mode = GL_AMBIENT_AND_DIFFUSE;
    colour current{1, 1, 1, 1};
    // The model-view matrix of the primitive being drawn, and the matrix that
    // takes its normals to eye space (the inverse transpose of its 3 x 3 part).
    float modelview[16];
    float normal_matrix[9];
    float rescale_factor = 1;
};

lighting_state gl = [] {
    lighting_state s;
    s.lights[0].diffuse = {1, 1, 1, 1};
    s.lights[0].specular = {1, 1, 1, 1};
    return s;
}();

bool is_light(GLenum cap)
{
    return cap >= GL_LIGHT0 && cap < GL_LIGHT0 + LIGHT_COUNT;
}

// Colour material writes the current colour into the material's tracked
// values, on the faces it names, whenever the colour changes.
void track(colour c)
{
    if (!gl.colour_material)
        return;
    for (material* m : {&gl.front, &gl.back}) {
        const bool face = gl.colour_material_face == GL_FRONT_AND_BACK ||
                          (m == &gl.front) == (gl.colour_material_face == GL_FRONT);
        if (!face)
            continue;
        switch (gl.colour_material_mode) {
        case GL_AMBIENT: m->ambient = c; break;
        case GL_DIFFUSE: m->diffuse = c; break;
        case GL_AMBIENT_AND_DIFFUSE: m->ambient = m->diffuse = c; break;
        case GL_SPECULAR: m->specular = c; break;
        case GL_EMISSION: m->emission = c; break;
        default: break;
        }
    }
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
    // GL_RESCALE_NORMAL: by the length of the matrix's third row of normals.
    const float len = std::sqrt(n[2] * n[2] + n[5] * n[5] + n[8] * n[8]);
    gl.rescale_factor = len > 0 ? 1 / len : 1;
}

float dot3(const float* u, const float* v)
{
    return u[0] * v[0] + u[1] * v[1] + u[2] * v[2];
}

float normalize3(float* v)
{
    const float length = std::sqrt(dot3(v, v));
    if (length > 0)
        for (int k = 0; k < 3; ++k)
            v[k] /= length;
    return length;
}

colour to_colour(const GLfloat* v)
{
    return {v[0], v[1], v[2], v[3]};
}

void set_material(material& m, GLenum pname, const GLfloat* params)
{
    switch (pname) {
    case GL_AMBIENT: m.ambient = to_colour(params); break;
    case GL_DIFFUSE: m.diffuse = to_colour(params); break;
    case GL_AMBIENT_AND_DIFFUSE: m.ambient = m.diffuse = to_colour(params); break;
    case GL_SPECULAR: m.specular = to_colour(params); break;
    case GL_EMISSION: m.emission = to_colour(params); break;
    case GL_SHININESS: m.shininess = params[0]; break;
    default: say_unhandled("glMaterial", pname); break;
    }
}

int parameter_count(GLenum pname)
{
    switch (pname) {
    case GL_POSITION:
    case GL_AMBIENT:
    case GL_DIFFUSE:
    case GL_SPECULAR:
    case GL_EMISSION:
    case GL_AMBIENT_AND_DIFFUSE:
    case GL_LIGHT_MODEL_AMBIENT:
        return 4;
    case GL_SPOT_DIRECTION:
        return 3;
    default:
        return 1;
    }
}

// Integer parameters as floats: a colour's from the integers' whole range
// onto -1 to 1, as OpenGL maps them, anything else as it is.
void integer_parameters(GLenum pname, const GLint* params, bool colour, GLfloat values[4])
{
    for (int k = 0; k < 4; ++k)
        values[k] = 0;
    for (int k = 0; k < parameter_count(pname); ++k)
        values[k] = colour ? static_cast<GLfloat>(params[k]) / 2147483647.0f
                           : static_cast<GLfloat>(params[k]);
}

// A call's parameters by value, as a display list keeps them: as many as
// pname takes, the rest zero.
std::array<float, 4> held_parameters(GLenum pname, const GLfloat* params)
{
    std::array<float, 4> held{};
    for (int k = 0; k < parameter_count(pname); ++k)
        held[k] = params[k];
    return held;
}

}  // namespace

bool lighting_on()
{
    return gl.on;
}

bool set_lighting_capability(GLenum cap, bool on)
{
    if (cap == GL_LIGHTING)
        gl.on = on;
    else if (is_light(cap))
        gl.lights[cap - GL_LIGHT0].on = on;
    else if (cap == GL_COLOR_MATERIAL) {
        gl.colour_material = on;
        track(gl.current);
    } else if (cap == GL_NORMALIZE)
        gl.normalize = on;
    else if (cap == GL_RESCALE_NORMAL)
        gl.rescale = on;
    else
        return false;
    return true;
}

bool lighting_capability(GLenum cap, bool* on)
{
    if (cap == GL_LIGHTING)
        *on = gl.on;
    else if (is_light(cap))
        *on = gl.lights[cap - GL_LIGHT0].on;
    else if (cap == GL_COLOR_MATERIAL)
        *on = gl.colour_material;
    else if (cap == GL_NORMALIZE)
        *on = gl.normalize;
    else if (cap == GL_RESCALE_NORMAL)
        *on = gl.rescale;
    else
        return false;
    return true;
}

void colour_changed(colour current)
{
    gl.current = current;
    track(current);
}

colour current_colour()
{
    return gl.current;
}

void take_primitive_matrix()
{
    if (!gl.on)
        return;
    for (int i = 0; i < 16; ++i)
        gl.modelview[i] = modelview_matrix()[i];
    update_normal_matrix();
}

colour lit_colour(const float* object_vertex, const float* normal, colour current)
{
    (void)current;  // colour material already wrote it into the material
    const material& m = gl.front;

    float vertex[4];
    const float p[4] = {object_vertex[0], object_vertex[1], object_vertex[2], 1};
    transform_point(gl.modelview, p, vertex);
    const float eye[3] = {vertex[0] / vertex[3], vertex[1] / vertex[3], vertex[2] / vertex[3]};

    float n[3];
    for (int row = 0; row < 3; ++row)
        n[row] = dot3(gl.normal_matrix + 3 * row, normal);
    if (gl.normalize)
        normalize3(n);
    else if (gl.rescale)
        for (float& v : n)
            v *= gl.rescale_factor;

    float r = m.emission.r + m.ambient.r * gl.model_ambient.r;
    float g = m.emission.g + m.ambient.g * gl.model_ambient.g;
    float b = m.emission.b + m.ambient.b * gl.model_ambient.b;
    for (const light_source& light : gl.lights) {
        if (!light.on)
            continue;
        float to_light[3];
        float factor = 1;
        if (light.position[3] != 0) {
            for (int k = 0; k < 3; ++k)
                to_light[k] = light.position[k] / light.position[3] - eye[k];
            const float d = normalize3(to_light);
            const float* k = light.attenuation;
            if (k[0] != 1 || k[1] != 0 || k[2] != 0)
                factor = 1 / (k[0] + k[1] * d + k[2] * d * d);
        } else {
            for (int k = 0; k < 3; ++k)
                to_light[k] = light.position[k];
            normalize3(to_light);
        }
        if (light.spot_cutoff != 180) {
            float direction[3] = {light.spot_direction[0], light.spot_direction[1],
                                  light.spot_direction[2]};
            normalize3(direction);
            const float from_light[3] = {-to_light[0], -to_light[1], -to_light[2]};
            const float along = dot3(from_light, direction);
            if (along < std::cos(light.spot_cutoff * static_cast<float>(M_PI / 180)))
                factor = 0;
            else
                factor *= std::pow(along > 0 ? along : 0.0f, light.spot_exponent);
        }
        if (factor == 0)
            continue;

        float lr = light.ambient.r * m.ambient.r;
        float lg = light.ambient.g * m.ambient.g;
        float lb = light.ambient.b * m.ambient.b;
        const float diffuse = dot3(n, to_light);
        if (diffuse > 0) {
            lr += diffuse * light.diffuse.r * m.diffuse.r;
            lg += diffuse * light.diffuse.g * m.diffuse.g;
            lb += diffuse * light.diffuse.b * m.diffuse.b;
            float half[3] = {to_light[0], to_light[1], to_light[2]};
            if (gl.local_viewer) {
                float to_eye[3] = {-eye[0], -eye[1], -eye[2]};
                normalize3(to_eye);
                for (int k = 0; k < 3; ++k)
                    half[k] += to_eye[k];
            } else {
                half[2] += 1;  // the eye direction taken as +z
            }
            normalize3(half);
            const float facing = dot3(n, half);
            const float highlight = std::pow(facing > 0 ? facing : 0.0f, m.shininess);
            lr += highlight * light.specular.r * m.specular.r;
            lg += highlight * light.specular.g * m.specular.g;
            lb += highlight * light.specular.b * m.specular.b;
        }
        r += factor * lr;
        g += factor * lg;
        b += factor * lb;
    }
    return clamped({r, g, b, m.diffuse.a});
}

void glLightfv(GLenum light, GLenum pname, const GLfloat* params)
{
    const std::array<float, 4> held = held_parameters(pname, params);
    LISTED(glLightfv(light, pname, held.data()));
    if (!is_light(light)) {
        say_unhandled("glLight", light);
        return;
    }
    light_source& l = gl.lights[light - GL_LIGHT0];
    switch (pname) {
    case GL_AMBIENT: l.ambient = to_colour(params); break;
    case GL_DIFFUSE: l.diffuse = to_colour(params); break;
    case GL_SPECULAR: l.specular = to_colour(params); break;
    case GL_POSITION:
        // Kept in eye coordinates, through the model-view matrix of this moment.
        transform_point(modelview_matrix(), params, l.position);
        break;
    case GL_SPOT_DIRECTION: {
        const float d[4] = {params[0], params[1], params[2], 0};
        float eye[4];
        transform_point(modelview_matrix(), d, eye);
        for (int k = 0; k < 3; ++k)
            l.spot_direction[k] = eye[k];
        break;
    }
    case GL_SPOT_EXPONENT: l.spot_exponent = params[0]; break;
    case GL_SPOT_CUTOFF: l.spot_cutoff = params[0]; break;
    case GL_CONSTANT_ATTENUATION: l.attenuation[0] = params[0]; break;
    case GL_LINEAR_ATTENUATION: l.attenuation[1] = params[0]; break;
    case GL_QUADRATIC_ATTENUATION: l.attenuation[2] = params[0]; break;
    default: say_unhandled("glLight", pname); break;
    }
}

void glLightf(GLenum light, GLenum pname, GLfloat param)
{
    glLightfv(light, pname, &param);
}

void glLighti(GLenum light, GLenum pname, GLint param)
{
    const GLfloat value = static_cast<GLfloat>(param);
    glLightfv(light, pname, &value);
}

void glLightiv(GLenum light, GLenum pname, const GLint* params)
{
    GLfloat values[4];
    const bool colour = pname == GL_AMBIENT || pname == GL_DIFFUSE || pname == GL_SPECULAR;
    integer_parameters(pname, params, colour, values);
    glLightfv(light, pname, values);
}

void glLightModelfv(GLenum pname, const GLfloat* params)
{
    const std::array<float, 4> held = held_parameters(pname, params);
    LISTED(glLightModelfv(pname, held.data()));
    switch (pname) {
    case GL_LIGHT_MODEL_AMBIENT: gl.model_ambient = to_colour(params); break;
    case GL_LIGHT_MODEL_LOCAL_VIEWER: gl.local_viewer = params[0] != 0; break;
    case GL_LIGHT_MODEL_TWO_SIDE:
        if (params[0] != 0)
            say_unhandled("glLightModel(GL_LIGHT_MODEL_TWO_SIDE)", GL_TRUE);
        break;
    default: say_unhandled("glLightModel", pname); break;
    }
}

void glLightModelf(GLenum pname, GLfloat param)
{
    glLightModelfv(pname, &param);
}

void glLightModeli(GLenum pname, GLint param)
{
    const GLfloat value = static_cast<GLfloat>(param);
    glLightModelfv(pname, &value);
}

void glMaterialfv(GLenum face, GLenum pname, const GLfloat* params)
{
    const std::array<float, 4> held = held_parameters(pname, params);
    LISTED(glMaterialfv(face, pname, held.data()));
    if (face == GL_FRONT || face == GL_FRONT_AND_BACK)
        set_material(gl.front, pname, params);
    if (face == GL_BACK || face == GL_FRONT_AND_BACK)
        set_material(gl.back, pname, params);
}

void glMaterialf(GLenum face, GLenum pname, GLfloat param)
{
    glMaterialfv(face, pname, &param);
}

void glMateriali(GLenum face, GLenum pname, GLint param)
{
    const GLfloat value = static_cast<GLfloat>(param);
    glMaterialfv(face, pname, &value);
}

void glMaterialiv(GLenum face, GLenum pname, const GLint* params)
{
    GLfloat values[4];
    integer_parameters(pname, params, pname != GL_SHININESS, values);
    glMaterialfv(face, pname, values);
}

void glColorMaterial(GLenum face, GLenum mode)
{
    LISTED(glColorMaterial(face, mode));
    gl.colour_material_face = face;
    gl.colour_material_mode = mode;
    track(gl.current);
}
