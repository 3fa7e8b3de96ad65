// Texture objects as desktop OpenGL 1.x has them: names the program picks
// itself (0 included, which is a texture like any other) mapped to WebGL's,
// a component count taken as an internal format, GL_CLAMP as clamping to
// the edge, and the environment (modulate, replace, decal, blend) that the
// fragment shader applies by the texture's base format.
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "layer.h"
#include "webgl.h"

namespace {

struct texture_object {
    GLuint webgl = 0;
    int format = 0;  // as texture_environment::format
    bool has_image = false;
    GLenum wrap[2] = {GL_REPEAT, GL_REPEAT};
    GLenum min_filter = GL_NEAREST_MIPMAP_LINEAR, mag_filter = GL_LINEAR;
};

std::unordered_map<GLuint, texture_object> textures;
GLuint bound = 0;
bool enabled = false;
GLuint next_name = 1;
texture_environment environment{0, 0, {0, 0, 0, 0}, {0, 0}};

texture_object& object(GLuint name)
{
    texture_object& t = textures[name];
    if (t.webgl == 0)
        emscripten_glGenTextures(1, &t.webgl);
    return t;
}

int format_index(GLenum format)
{
    switch (format) {
    case GL_RGBA: return 0;
    case GL_RGB: return 1;
    case GL_LUMINANCE: return 2;
    case GL_ALPHA: return 3;
    case GL_LUMINANCE_ALPHA: return 4;
    default: return -1;
    }
}

// The base format an internal format names: a component count or a
// symbolic format, sized or not; 0 for what the layer does not take.
GLenum base_format(GLint internal_format)
{
    switch (internal_format) {
    case 1: case GL_LUMINANCE: case GL_LUMINANCE4: case GL_LUMINANCE8: case GL_LUMINANCE12:
    case GL_LUMINANCE16:
        return GL_LUMINANCE;
    case 2: case GL_LUMINANCE_ALPHA: case GL_LUMINANCE4_ALPHA4: case GL_LUMINANCE6_ALPHA2:
    case GL_LUMINANCE8_ALPHA8: case GL_LUMINANCE12_ALPHA4: case GL_LUMINANCE12_ALPHA12:
    case GL_LUMINANCE16_ALPHA16:
        return GL_LUMINANCE_ALPHA;
    case 3: case GL_RGB: case GL_R3_G3_B2: case GL_RGB4: case GL_RGB5: case GL_RGB8:
    case GL_RGB10: case GL_RGB12: case GL_RGB16:
        return GL_RGB;
    case 4: case GL_RGBA: case GL_RGBA2: case GL_RGBA4: case GL_RGB5_A1: case GL_RGBA8:
    case GL_RGB10_A2: case GL_RGBA12: case GL_RGBA16:
        return GL_RGBA;
    case GL_ALPHA: case GL_ALPHA4: case GL_ALPHA8: case GL_ALPHA12: case GL_ALPHA16:
        return GL_ALPHA;
    default:
        return 0;
    }
}

int component_count(GLenum format)
{
    return format == GL_RGBA ? 4 : format == GL_RGB ? 3 : format == GL_LUMINANCE_ALPHA ? 2 : 1;
}

// The pixels as OpenGL's transfer makes them into the internal format:
// each group to RGBA (luminance to R, G and B; alpha alone over black),
// then the components the internal format keeps. Rows come at the unpack
// alignment and leave packed tight.
std::vector<unsigned char> converted(GLenum from, GLenum to, int width, int height,
                                     const unsigned char* pixels)
{
    GLint alignment = 4;
    emscripten_glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    const int in_n = component_count(from), out_n = component_count(to);
    const size_t row = static_cast<size_t>(width) * in_n;
    const size_t stride = (row + alignment - 1) / alignment * alignment;
    std::vector<unsigned char> out(static_cast<size_t>(width) * height * out_n);
    unsigned char* o = out.data();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = pixels + stride * y + static_cast<size_t>(x) * in_n;
            unsigned char rgba[4];
            switch (from) {
            case GL_LUMINANCE: rgba[0] = rgba[1] = rgba[2] = p[0], rgba[3] = 255; break;
            case GL_ALPHA: rgba[0] = rgba[1] = rgba[2] = 0, rgba[3] = p[0]; break;
            case GL_LUMINANCE_ALPHA: rgba[0] = rgba[1] = rgba[2] = p[0], rgba[3] = p[1]; break;
            case GL_RGB: rgba[0] = p[0], rgba[1] = p[1], rgba[2] = p[2], rgba[3] = 255; break;
            default: rgba[0] = p[0], rgba[1] = p[1], rgba[2] = p[2], rgba[3] = p[3]; break;
            }
            switch (to) {
            case GL_LUMINANCE: *o++ = rgba[0]; break;
            case GL_ALPHA: *o++ = rgba[3]; break;
            case GL_LUMINANCE_ALPHA: *o++ = rgba[0], *o++ = rgba[3]; break;
            case GL_RGB: *o++ = rgba[0], *o++ = rgba[1], *o++ = rgba[2]; break;
            default: for (unsigned char c : rgba) *o++ = c; break;
            }
        }
    return out;
}

GLint webgl_value(GLenum pname, GLint value)
{
    // WebGL has no border to clamp towards.
    if ((pname == GL_TEXTURE_WRAP_S || pname == GL_TEXTURE_WRAP_T) && value == GL_CLAMP)
        return GL_CLAMP_TO_EDGE;
    return value;
}

bool webgl_parameter(GLenum pname)
{
    return pname == GL_TEXTURE_WRAP_S || pname == GL_TEXTURE_WRAP_T ||
           pname == GL_TEXTURE_MIN_FILTER || pname == GL_TEXTURE_MAG_FILTER;
}

}  // namespace

bool texturing_on()
{
    if (!enabled)
        return false;
    // An object with no image leaves texturing off, as OpenGL does.
    auto found = textures.find(bound);
    return found != textures.end() && found->second.has_image;
}

void set_texturing(bool on)
{
    enabled = on;
}

texture_environment current_texture_environment()
{
    texture_environment e = environment;
    auto found = textures.find(bound);
    if (found == textures.end())
        return e;
    const texture_object& t = found->second;
    e.format = t.format;
    // GL_CLAMP reaches the border (black) where the filter is linear.
    const bool linear = t.mag_filter == GL_LINEAR || t.min_filter != GL_NEAREST;
    e.border[0] = linear && t.wrap[0] == GL_CLAMP;
    e.border[1] = linear && t.wrap[1] == GL_CLAMP;
    return e;
}

void glGenTextures(GLsizei n, GLuint* names)
{
    for (GLsizei i = 0; i < n; ++i) {
        while (textures.count(next_name))
            ++next_name;
        names[i] = next_name;
        object(next_name++);
    }
}

void glBindTexture(GLenum target, GLuint name)
{
    LISTED(glBindTexture(target, name));
    if (target != GL_TEXTURE_2D) {
        say_unhandled("glBindTexture", target);
        return;
    }
    bound = name;
    emscripten_glBindTexture(GL_TEXTURE_2D, object(name).webgl);
}

void glDeleteTextures(GLsizei n, const GLuint* names)
{
    for (GLsizei i = 0; i < n; ++i) {
        auto found = textures.find(names[i]);
        if (found == textures.end())
            continue;
        emscripten_glDeleteTextures(1, &found->second.webgl);
        textures.erase(found);
        // The name bound is 0 again, an object with no image.
        if (names[i] == bound)
            glBindTexture(GL_TEXTURE_2D, 0);
    }
}

GLboolean glIsTexture(GLuint name)
{
    return name != 0 && textures.count(name);
}

void glTexImage2D(GLenum target, GLint level, GLint internal_format, GLsizei width,
                  GLsizei height, GLint border, GLenum format, GLenum type, const void* pixels)
{
    if (list_compiling()) {
        say_unhandled("glTexImage2D in a display list", target);
        return;
    }
    const GLenum base = base_format(internal_format);
    if (target != GL_TEXTURE_2D || format_index(format) < 0 || base == 0 ||
        type != GL_UNSIGNED_BYTE || border != 0) {
        say_unhandled("glTexImage2D", target != GL_TEXTURE_2D     ? target
                                      : format_index(format) < 0 ? format
                                      : base == 0                 ? static_cast<GLenum>(internal_format)
                                      : border != 0               ? static_cast<GLenum>(border)
                                                                  : type);
        return;
    }
    texture_object& t = object(bound);
    if (level == 0) {
        t.format = format_index(base);
        t.has_image = true;
    }
    if (base == format || !pixels) {
        emscripten_glTexImage2D(target, level, static_cast<GLint>(base), width, height, 0, base,
                                type, pixels);
        return;
    }
    const std::vector<unsigned char> texels =
        converted(format, base, width, height, static_cast<const unsigned char*>(pixels));
    GLint alignment = 4;
    emscripten_glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    emscripten_glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    emscripten_glTexImage2D(target, level, static_cast<GLint>(base), width, height, 0, base, type,
                            texels.data());
    emscripten_glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

void glTexSubImage2D(GLenum target, GLint level, GLint x, GLint y, GLsizei width, GLsizei height,
                     GLenum format, GLenum type, const void* pixels)
{
    emscripten_glTexSubImage2D(target, level, x, y, width, height, format, type, pixels);
}

void glTexParameteri(GLenum target, GLenum pname, GLint value)
{
    LISTED(glTexParameteri(target, pname, value));
    if (target != GL_TEXTURE_2D || !webgl_parameter(pname)) {
        say_unhandled("glTexParameter", target != GL_TEXTURE_2D ? target : pname);
        return;
    }
    texture_object& t = object(bound);
    if (pname == GL_TEXTURE_WRAP_S || pname == GL_TEXTURE_WRAP_T)
        t.wrap[pname == GL_TEXTURE_WRAP_T] = static_cast<GLenum>(value);
    else if (pname == GL_TEXTURE_MIN_FILTER)
        t.min_filter = static_cast<GLenum>(value);
    else
        t.mag_filter = static_cast<GLenum>(value);
    emscripten_glTexParameteri(target, pname, webgl_value(pname, value));
}

void glTexParameterf(GLenum target, GLenum pname, GLfloat value)
{
    glTexParameteri(target, pname, static_cast<GLint>(value));
}

void glTexParameteriv(GLenum target, GLenum pname, const GLint* values)
{
    glTexParameteri(target, pname, values[0]);
}

void glTexParameterfv(GLenum target, GLenum pname, const GLfloat* values)
{
    glTexParameteri(target, pname, static_cast<GLint>(values[0]));
}

void glTexEnvfv(GLenum target, GLenum pname, const GLfloat* params)
{
    const float held[4] = {params[0], pname == GL_TEXTURE_ENV_COLOR ? params[1] : 0,
                           pname == GL_TEXTURE_ENV_COLOR ? params[2] : 0,
                           pname == GL_TEXTURE_ENV_COLOR ? params[3] : 0};
    LISTED(glTexEnvfv(target, pname, held));
    if (target != GL_TEXTURE_ENV) {
        say_unhandled("glTexEnv", target);
        return;
    }
    if (pname == GL_TEXTURE_ENV_COLOR) {
        const colour c = clamped({held[0], held[1], held[2], held[3]});
        environment.colour[0] = c.r;
        environment.colour[1] = c.g;
        environment.colour[2] = c.b;
        environment.colour[3] = c.a;
        return;
    }
    if (pname != GL_TEXTURE_ENV_MODE) {
        say_unhandled("glTexEnv", pname);
        return;
    }
    switch (static_cast<GLenum>(held[0])) {
    case GL_MODULATE: environment.mode = 0; break;
    case GL_REPLACE: environment.mode = 1; break;
    case GL_DECAL: environment.mode = 2; break;
    case GL_BLEND: environment.mode = 3; break;
    default: say_unhandled("glTexEnv(GL_TEXTURE_ENV_MODE)", static_cast<GLenum>(held[0])); break;
    }
}

void glTexEnvf(GLenum target, GLenum pname, GLfloat param)
{
    const GLfloat v[4] = {param, 0, 0, 0};
    glTexEnvfv(target, pname, v);
}

void glTexEnvi(GLenum target, GLenum pname, GLint param)
{
    glTexEnvf(target, pname, static_cast<GLfloat>(param));
}

void glTexEnviv(GLenum target, GLenum pname, const GLint* params)
{
    GLfloat v[4] = {static_cast<GLfloat>(params[0]), 0, 0, 0};
    if (pname == GL_TEXTURE_ENV_COLOR)
        for (int k = 0; k < 4; ++k)
            v[k] = static_cast<GLfloat>(params[k]) / 2147483647.0f;
    glTexEnvfv(target, pname, v);
}

void glPixelStorei(GLenum pname, GLint param)
{
    if (pname == GL_UNPACK_ALIGNMENT || pname == GL_PACK_ALIGNMENT)
        emscripten_glPixelStorei(pname, param);
    else
        say_unhandled("glPixelStorei", pname);
}
