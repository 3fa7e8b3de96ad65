// Textures as desktop OpenGL 1.x has them: names are the program's own, as
// desktop GL allows, and mapped to names the browser handed out; 0 is a
// texture object like any other; a component count is an internal format.
#include <GL/glut.h>

#include <cstdint>
#include <unordered_map>

#include "web_gl.h"

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
