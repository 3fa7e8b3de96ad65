// Writes small well-formed 3DS, BMP and TGA files with our writer into three
// seed folders, so the fuzzers start from every chunk and header kind we know.
// With a fourth folder it also writes there what every build must print and
// decode alike but a fuzzer need not start from: models whose coordinates are
// NaN, infinite, huge or subnormal, and textures at the decoders' limits.
//   make_seeds 3DS_FOLDER BMP_FOLDER TGA_FOLDER [EXTREMES_FOLDER]
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "formats/bmp.h"
#include "formats/tga.h"
#include "formats/writer.h"

namespace {

using namespace formats;

bool ok = true;

void save(const std::string& path, const std::vector<uint8_t>& bytes)
{
    if (!write_file(path, bytes)) {
        std::fprintf(stderr, "%s: cannot write\n", path.c_str());
        ok = false;
    }
}

mesh_object strip(const std::string& name, int vertex_count, float x0, bool mapped)
{
    mesh_object o;
    o.name = name;
    for (int i = 0; i < vertex_count; ++i) {
        const float x = x0 + static_cast<float>(i);
        o.vertices.push_back({x, static_cast<float>(i % 2), -x});
        if (mapped)
            o.uvs.push_back({0.25f * static_cast<float>(i % 5), 0.5f});
    }
    for (int i = 0; i + 2 < vertex_count; ++i)
        o.faces.push_back({static_cast<uint16_t>(i), static_cast<uint16_t>(i + 1),
                           static_cast<uint16_t>(i + 2)});
    return o;
}

void write_3ds_seeds(const std::string& dir)
{
    save(dir + "/one-triangle.3ds", make_3ds({strip("tri", 3, 0.0f, true)}));
    save(dir + "/two-objects.3ds",
         make_3ds({strip("first", 6, -3.0f, true), strip("second", 5, 2.0f, true)}));
    save(dir + "/unmapped.3ds", make_3ds({strip("plain", 8, 1.0f, false)}));
    save(dir + "/long-name.3ds", make_3ds({strip("a-name-of-twenty-five-byte", 4, 0.0f, true)}));

    // A mapping list shorter than its vertices, and an unknown chunk between lists.
    byte_writer w;
    begin_chunk(&w, CHUNK_MAIN);
    begin_chunk(&w, CHUNK_EDITOR);
    begin_chunk(&w, CHUNK_OBJECT);
    put_bytes(&w, "odd", 4);
    begin_chunk(&w, CHUNK_MESH);
    put_vertex_list(&w, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}});
    begin_chunk(&w, CHUNK_LOCAL_AXES);  // local axes, which the reader skips
    for (int i = 0; i < 12; ++i)
        put_f32(&w, 0.0f);
    end_chunk(&w);
    put_mapping_list(&w, {{0.5f, 1.0f}});
    put_face_list(&w, {{0, 1, 2}, {1, 2, 3}});
    end_chunk(&w);
    end_chunk(&w);
    end_chunk(&w);
    end_chunk(&w);
    save(dir + "/short-mapping.3ds", w.bytes);
}

std::vector<uint8_t> gradient(int32_t width, int32_t height)
{
    std::vector<uint8_t> rgb;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            rgb.push_back(static_cast<uint8_t>(40 * x));
            rgb.push_back(static_cast<uint8_t>(60 * y));
            rgb.push_back(static_cast<uint8_t>(x + y));
        }
    return rgb;
}

void write_bmp_seeds(const std::string& dir)
{
    // Every row padding there is.
    for (int32_t width = 1; width <= 4; ++width)
        save(dir + "/width" + std::to_string(width) + ".bmp", make_bmp24(width, 2, gradient(width, 2)));
    bmp24_options top_down;
    top_down.top_down = true;
    save(dir + "/top-down.bmp", make_bmp24(3, 3, gradient(3, 3), top_down));
    bmp24_options table;
    table.palette_entries = 4;
    save(dir + "/colour-table.bmp", make_bmp24(2, 2, gradient(2, 2), table));
    for (uint32_t info_size : {52u, 56u, 108u, 124u}) {
        bmp24_options o;
        o.info_size = info_size;
        save(dir + "/info" + std::to_string(info_size) + ".bmp", make_bmp24(2, 1, gradient(2, 1), o));
    }
    bmp24_options unpadded;
    unpadded.pad_rows = false;
    save(dir + "/unpadded.bmp", make_bmp24(5, 3, gradient(5, 3), unpadded));
}

// Pixels for each TGA kind: runs and changes both, so RLE files hold both packets.
std::vector<uint8_t> tga_pixels(int32_t width, int32_t height, bool one_byte)
{
    std::vector<uint8_t> pixels;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const int32_t v = x < width / 2 ? y : x * y;
            if (one_byte)
                pixels.push_back(static_cast<uint8_t>(v % 6));
            else
                pixels.insert(pixels.end(), {static_cast<uint8_t>(40 * v), static_cast<uint8_t>(60 * y),
                                             static_cast<uint8_t>(x + y), static_cast<uint8_t>(90 * x)});
        }
    return pixels;
}

void write_tga_seeds(const std::string& dir)
{
    const struct {
        const char* name;
        uint8_t type, bits, map_bits;
        bool top_left, right_to_left;
    } kinds[] = {
        {"rgb24", TGA_TRUE_COLOUR, 24, 0, false, false},
        {"rgb24-rle-top-left", TGA_RLE_TRUE_COLOUR, 24, 0, true, false},
        {"rgba32", TGA_TRUE_COLOUR, 32, 0, true, false},
        {"rgba32-rle-right-to-left", TGA_RLE_TRUE_COLOUR, 32, 0, false, true},
        {"rgb16", TGA_TRUE_COLOUR, 16, 0, false, false},
        {"rgb15-rle", TGA_RLE_TRUE_COLOUR, 15, 0, true, true},
        {"grey", TGA_GREY, 8, 0, false, false},
        {"grey-rle", TGA_RLE_GREY, 8, 0, true, false},
        {"mapped24", TGA_MAPPED, 8, 24, false, false},
        {"mapped16-rle", TGA_RLE_MAPPED, 8, 16, true, false},
        {"mapped32-rle", TGA_RLE_MAPPED, 8, 32, false, false},
        {"mapped15", TGA_MAPPED, 8, 15, false, true},
    };
    for (const auto& k : kinds) {
        tga_options o;
        o.image_type = k.type;
        o.bits = k.bits;
        o.top_left = k.top_left;
        o.right_to_left = k.right_to_left;
        const uint8_t plain = k.type & ~TGA_RLE_BIT;
        if (plain == TGA_MAPPED) {
            o.map_bits = k.map_bits;
            o.map_first = 1;  // index 0 lies outside the map
            o.map_rgba = {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 0, 9, 99, 199, 255, 7, 7, 7, 7};
        }
        save(dir + "/" + k.name + ".tga", make_tga(7, 5, tga_pixels(7, 5, plain != TGA_TRUE_COLOUR), o));
    }
    // An image ID, and a colour map before true-colour pixels, both skipped.
    tga_options skipped;
    skipped.image_id = "made by make_seeds";
    skipped.map_rgba = {1, 2, 3, 4, 5, 6, 7, 8};
    save(dir + "/id-and-unused-map.tga", make_tga(3, 2, tga_pixels(3, 2, false), skipped));
}

float from_bits(uint32_t bits)
{
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// Every kind of float a file can hold that printing may spell differently:
// NaNs of both signs (quiet and signalling payloads), infinities, zeros of
// both signs, subnormals, the largest floats and the first whole-number ones.
std::vector<float> extreme_floats()
{
    const float max = std::numeric_limits<float>::max();
    const float inf = std::numeric_limits<float>::infinity();
    return {from_bits(0x7FC00000), from_bits(0xFFC00000), from_bits(0x7F800001),
            from_bits(0xFFBFFFFF), inf, -inf, 0.0f, -0.0f,
            std::numeric_limits<float>::denorm_min(), -from_bits(0x007FFFFF),
            std::numeric_limits<float>::min(), max, -max, std::nextafter(max, 0.0f),
            8388608.0f, -16777217.0f, 1e20f, 0.5f};
}

void write_extreme_models(const std::string& dir)
{
    const std::vector<float> values = extreme_floats();
    // Mapping coordinates of every kind, each value against each, on a plain mesh.
    mesh_object mapped = strip("mapped", static_cast<int>(values.size()), 0.0f, false);
    for (size_t i = 0; i < values.size(); ++i)
        mapped.uvs.push_back({values[i], values[(i * 7 + 3) % values.size()]});
    save(dir + "/extreme-mapping.3ds", make_3ds({mapped}));
    // Each value as a vertex coordinate, alone in a mesh of ordinary ones,
    // on each axis: the fit's box, its centre and its scale take it in.
    for (size_t i = 0; i < values.size(); ++i) {
        mesh_object o = strip("vertex", 4, -1.0f, true);
        o.vertices[i % 4] = {values[i], values[(i + 5) % values.size()], values[(i + 11) % values.size()]};
        save(dir + "/extreme-vertex-" + std::to_string(i) + ".3ds", make_3ds({o}));
    }
    // Both infinities on x: the box's centre is inf - inf.
    mesh_object both = strip("both", 3, 0.0f, true);
    both.vertices[0].x = values[4];
    both.vertices[1].x = values[5];
    save(dir + "/extreme-both-infinities.3ds", make_3ds({both}));
}

// One-row and one-column pictures at the largest side the decoders take and
// one past it, headers whose pixels would need 2 GiB, and RLE data promising
// as many pixels as a stream of its length may and one more.
void write_limit_textures(const std::string& dir)
{
    for (int32_t side : {int32_t{BMP_MAX_SIDE}, int32_t{BMP_MAX_SIDE + 1}}) {
        const std::string n = std::to_string(side);
        save(dir + "/limit-" + n + "x1.bmp", make_bmp24(side, 1, gradient(side, 1)));
        save(dir + "/limit-1x" + n + ".bmp", make_bmp24(1, side, gradient(1, side)));
        bmp24_options top_down;
        top_down.top_down = true;
        save(dir + "/limit-1x" + n + "-top-down.bmp", make_bmp24(1, side, gradient(1, side), top_down));
    }
    for (int32_t side : {int32_t{TGA_MAX_SIDE}, int32_t{TGA_MAX_SIDE + 1}}) {
        const std::string n = std::to_string(side);
        tga_options o;
        o.image_type = TGA_RLE_GREY;
        o.bits = 8;
        save(dir + "/limit-" + n + "x1.tga",
             make_tga(side, 1, std::vector<uint8_t>(static_cast<size_t>(side), 7), o));
        save(dir + "/limit-1x" + n + ".tga",
             make_tga(1, side, std::vector<uint8_t>(static_cast<size_t>(side), 7), o));
    }
    bmp_spec huge;
    huge.width = BMP_MAX_SIDE;
    huge.height = BMP_MAX_SIDE / 2;
    huge.pixels.assign(64, 0);
    save(dir + "/limit-2gib.bmp", make_bmp(huge));
    // An RLE8 stream of one end-of-picture escape: 2 bytes, so at most
    // 256 × 3 pixels may be promised.
    for (int32_t width : {768, 769}) {
        bmp_spec rle;
        rle.width = width;
        rle.height = 1;
        rle.bits = 8;
        rle.compression = BMP_BI_RLE8;
        rle.palette = {0x102030, 0xF0E0D0};
        rle.pixels = {0, 1};
        save(dir + "/limit-rle8-" + std::to_string(width) + "x1.bmp", make_bmp(rle));
    }
    // Uncompressed pixels cut to half of what the header promises, the most
    // the decoder reads on with, and one byte less.
    for (size_t cut : {size_t{0}, size_t{1}}) {
        std::vector<uint8_t> bytes = make_bmp24(64, 64, gradient(64, 64));
        bytes.resize(64 * 64 * 3 / 2 - cut);
        save(dir + "/limit-half-pixels-" + std::to_string(cut) + ".bmp", bytes);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: make_seeds 3DS_FOLDER BMP_FOLDER TGA_FOLDER [EXTREMES_FOLDER]\n");
        return 2;
    }
    write_3ds_seeds(argv[1]);
    write_bmp_seeds(argv[2]);
    write_tga_seeds(argv[3]);
    if (argc == 5) {
        write_extreme_models(argv[4]);
        write_limit_textures(argv[4]);
    }
    return ok ? 0 : 1;
}
