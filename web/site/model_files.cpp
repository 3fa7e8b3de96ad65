// What the viewer's page asks of a model before it runs the program on it:
// the texture files its materials name. Built as a module of its own, so
// the page reads the same formats/ code the program does.
#include <emscripten.h>

#include <cstddef>
#include <cstdint>
#include <string>

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
