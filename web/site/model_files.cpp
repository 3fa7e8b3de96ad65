// What the viewer's page asks of the files it is given before it runs the
// program on them: the texture files a model's materials name, what the
// model holds against the program's capacity, the picture a texture's
// headers describe, and a texture of another format as the BMP the program
// reads. Built as a module of its own, so the page reads and writes them
// with the same formats/ code the program and the tools do.
#include <emscripten.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/bmp.h"
#include "formats/read_3ds.h"
#include "formats/tga.h"
#include "formats/texture_names.h"
#include "formats/writer.h"
#include "viewer/model.h"

namespace {

// The last result handed to the page: a BMP, or a reason; valid until the
// next call.
std::vector<uint8_t> made;
std::string said;

const uint8_t* hand_over(std::vector<uint8_t> bytes, int32_t* size)
{
    made = std::move(bytes);
    *size = static_cast<int32_t>(made.size());
    return made.data();
}

const char* refuse(std::string reason, int32_t* size)
{
    said = std::move(reason);
    *size = -1;
    return said.c_str();
}

// The picture as the program takes it: 24 bits, bottom row first, alpha
// left off. `rgba` holds the rows bottom first.
std::vector<uint8_t> bmp_of(const uint8_t* rgba, int32_t width, int32_t height)
{
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    std::vector<uint8_t> rgb(pixels * 3);
    for (size_t i = 0; i < pixels; ++i) {
        rgb[i * 3] = rgba[i * 4];
        rgb[i * 3 + 1] = rgba[i * 4 + 1];
        rgb[i * 3 + 2] = rgba[i * 4 + 2];
    }
    return formats::make_bmp24(width, height, rgb);
}

}  // namespace

// The names, each ended by a newline, as stored; valid until the next call.
extern "C" EMSCRIPTEN_KEEPALIVE const char* web_texture_names(const uint8_t* data, size_t size)
{
    static std::string joined;
    joined.clear();
    for (const std::string& name : formats::read_3ds_texture_names(data, size))
        joined += name + '\n';
    return joined.c_str();
}

// The model as the program would read it: in counts[0..4] the vertices and
// triangles the file holds whole and those the program keeps, and in
// counts[4] the program's capacity.
extern "C" EMSCRIPTEN_KEEPALIVE void web_model_counts(const uint8_t* data, size_t size,
                                                      int32_t* counts)
{
    std::vector<formats::mesh_vertex> vertices(MODEL_CAPACITY);
    std::vector<formats::mesh_triangle> faces(MODEL_CAPACITY);
    std::vector<formats::mesh_uv> texcoords(MODEL_CAPACITY);
    char name[sizeof(Model::name)];
    formats::mesh_sink sink = formats::sink_over(vertices.data(), faces.data(), texcoords.data(),
                                                 MODEL_CAPACITY, name, sizeof name);
    formats::walk_report report;
    formats::read_3ds(data, size, &sink, &report);
    counts[0] = static_cast<int32_t>(report.vertices.read);
    counts[1] = static_cast<int32_t>(report.faces.read);
    counts[2] = static_cast<int32_t>(report.vertices.stored);
    counts[3] = static_cast<int32_t>(report.faces.stored);
    counts[4] = MODEL_CAPACITY;
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

// A TGA as the BMP the program reads. Returns the BMP and its size in
// *size, or the decoder's reason it is refused with *size -1; one the
// decoder would take but whose pixels would take more than `max_pixel_bytes`
// gets *size -2 before it is decoded. The sides are in sides[0] and sides[1]
// unless refused, and the decoder's notes of a picture decoded anyway in
// web_notes().
extern "C" EMSCRIPTEN_KEEPALIVE const uint8_t* web_tga_to_bmp(const uint8_t* data, size_t size,
                                                              double max_pixel_bytes,
                                                              int32_t* sides, int32_t* out_size)
{
    formats::tga_picture picture;
    std::string reason;
    if (formats::read_tga_picture(data, size, &picture, &reason) &&
        static_cast<double>(picture.width) * picture.height * 4 > max_pixel_bytes) {
        sides[0] = picture.width;
        sides[1] = picture.height;
        *out_size = -2;
        return nullptr;
    }
    said.clear();
    formats::tga_image image;
    if (!formats::decode_tga(data, size, &image, &reason))
        return reinterpret_cast<const uint8_t*>(refuse(reason, out_size));
    sides[0] = image.width;
    sides[1] = image.height;
    said = formats::join_notes(image.notes);
    return hand_over(bmp_of(image.rgba.data(), image.width, image.height), out_size);
}

// What the last web_tga_to_bmp noted of a picture it decoded anyway.
extern "C" EMSCRIPTEN_KEEPALIVE const char* web_notes()
{
    return said.c_str();
}

// A picture the browser decoded, RGBA with its rows bottom first, as the
// BMP the program reads; its size in *size.
extern "C" EMSCRIPTEN_KEEPALIVE const uint8_t* web_rgba_to_bmp(const uint8_t* rgba, int32_t width,
                                                               int32_t height, int32_t* size)
{
    return hand_over(bmp_of(rgba, width, height), size);
}

// The module's memory for the last result may go.
extern "C" EMSCRIPTEN_KEEPALIVE void web_forget()
{
    std::vector<uint8_t>().swap(made);
}
