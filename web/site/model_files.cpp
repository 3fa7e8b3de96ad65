// What the viewer's page asks of the files it is given before it runs the
// program on them: the texture files a model's materials name, and the
// picture a texture's headers describe. Built as a module of its own, so
// the page reads them with the same formats/ code the program does.
#include <emscripten.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/bmp.h"
#include "formats/texture_names.h"

// The names, each ended by a newline, as stored; valid until the next call.
extern "C" EMSCRIPTEN_KEEPALIVE const char* web_texture_names(const uint8_t* data, size_t size)
{
    static std::string joined;
    joined.clear();
    for (const std::string& name : formats::read_3ds_texture_names(data, size))
        joined += name + '\n';
    return joined.c_str();
}

// A BMP whose headers the decoder takes: returns 1 and puts the picture's
// width and height in sides[0] and sides[1]. Returns 0 for any file it
// refuses by them, which the program, given it, refuses with its reason.
extern "C" EMSCRIPTEN_KEEPALIVE int web_picture_info(const uint8_t* data, size_t size,
                                                     int32_t* sides)
{
    formats::bmp_picture picture;
    std::string reason;
    if (!formats::read_bmp_picture(data, size, &picture, &reason))
        return 0;
    sides[0] = picture.width;
    sides[1] = picture.height;
    return 1;
}
