#include "texture.h"

// The Windows SDK's GL headers take their calling convention from here.
#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif
#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>

#include "formats/bmp.h"
#include "formats/note.h"

int32_t next_texture_id = -1;

int32_t load_bmp_texture(const char* path)
{
    std::string why;
    return load_bmp_texture(path, &why);
}

int32_t load_bmp_texture(const char* path, std::string* why)
{
    ++next_texture_id;
    why->clear();
    formats::bmp_image image;
    // The file is closed again before the first OpenGL call.
    if (!formats::decode_bmp_path(path, &image, why)) {
        std::fprintf(stderr, "%s: %s\n", path, why->c_str());
        return -1;
    }
    if (!image.notes.empty())
        std::fprintf(stderr, "%s: %s\n", path, formats::join_notes(image.notes).c_str());

    GLint max_side = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_side);
    if (image.width > max_side || image.height > max_side) {
        *why = formats::format_text(
            "image of %d x %d pixels is larger than this OpenGL's limit of %d", image.width,
            image.height, max_side);
        std::fprintf(stderr, "%s: %s\n", path, why->c_str());
        return -1;
    }

    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(next_texture_id));
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, image.width, image.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 image.rgba.data());
    gluBuild2DMipmaps(GL_TEXTURE_2D, 4, image.width, image.height, GL_RGBA, GL_UNSIGNED_BYTE,
                      image.rgba.data());
    return next_texture_id;
}
