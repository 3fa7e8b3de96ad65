// Writes the files the system checks need that the shared test data lacks,
// with the project's own writers:
//   test_files sparse-model OUT
//       a model whose one mesh lies past 2 GiB into the file, for the check
//       that a reader's offsets do not stop at 32 bits (Windows keeps long at
//       32); sparse: a material chunk the walk skips holds the hole
//   test_files web FOLDER
//       the web check's files, none of which the shared data has:
//       named/named.3ds   a cube whose first material names maps\Brick.JPG (a
//                         folder, another case, another format) and whose
//                         second names Alpha.bmp
//       named/Alpha.bmp   a texture that comes first by name
//       named/brick.bmp   the one the model names, 96 x 64 (GLU rescales it)
//       capacity.3ds      10000 vertices, triangles and mapping coordinates
//       texture-4096.bmp  4096 x 4096, 24-bit
//       too-large.bmp     headers of a 16384 x 16384 picture (1 GiB of pixels)
//                         over one row of them
//     and the models and pictures of textures in other formats, which
//     tests/system/web.sh converts (ImageMagick) and packs (zip):
//       boat/models/boat.3ds    names MAPS\Hull.PNG
//       boat/textures/hull.bmp  made hull.png; boat/decoy.bmp, first by path
//       crate/crate.3ds         names crate.tga
//       crate/crate.tga         an RLE true-colour TGA, bottom row first
//       wood/Model.3ds          names TEXTURES\WOOD.JPG
//       wood/Textures/wood.bmp  made wood.jpg
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "formats/writer.h"

namespace {

using namespace formats;

int sparse_model(const char* path)
{
    const uint32_t hole = 0x90000000u;

    byte_writer mesh;
    begin_chunk(&mesh, CHUNK_OBJECT);
    put_bytes(&mesh, "big", 4);
    begin_chunk(&mesh, CHUNK_MESH);
    put_vertex_list(&mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    put_face_list(&mesh, {{0, 1, 2}});
    put_mapping_list(&mesh, {{0.25f, 0.5f}, {0.5f, 0.25f}, {1, 1}});
    end_chunk(&mesh);
    end_chunk(&mesh);

    const uint32_t headers = 2 * CHUNK_HEADER_SIZE;
    const uint32_t total = headers + hole + static_cast<uint32_t>(mesh.bytes.size());
    byte_writer start;
    put_chunk_header(&start, CHUNK_MAIN, total);
    put_chunk_header(&start, CHUNK_EDITOR, total - CHUNK_HEADER_SIZE);
    put_chunk_header(&start, CHUNK_MATERIAL, hole);

    FILE* f = std::fopen(path, "wb");
    const auto put = [f](const byte_writer& w) {
        return std::fwrite(w.bytes.data(), 1, w.bytes.size(), f) == w.bytes.size();
    };
    const bool ok = f && put(start) && fseeko(f, off_t{headers} + hole, SEEK_SET) == 0 && put(mesh);
    if (!f || std::fclose(f) != 0 || !ok) {
        std::perror(path);
        return 1;
    }
    return 0;
}

// A cube with each face mapped onto the whole texture, so that which texture
// it carries is plain to see.
mesh_object cube()
{
    mesh_object b{"cube", {}, {}, {}};
    for (int axis = 0; axis < 3; ++axis) {
        for (float side : {-1.0f, 1.0f}) {
            const auto base = static_cast<uint16_t>(b.vertices.size());
            for (int corner = 0; corner < 4; ++corner) {
                const float s = (corner & 1) ? 1.0f : -1.0f, t = (corner & 2) ? 1.0f : -1.0f;
                float p[3];
                p[axis] = side;
                p[(axis + 1) % 3] = s;
                p[(axis + 2) % 3] = t;
                b.vertices.push_back({p[0], p[1], p[2]});
                b.uvs.push_back({(s + 1) / 2, (t + 1) / 2});
            }
            const auto corner = [base](int k) { return static_cast<uint16_t>(base + k); };
            b.faces.push_back({corner(0), corner(1), corner(3)});
            b.faces.push_back({corner(0), corner(3), corner(2)});
        }
    }
    return b;
}

// A torus of 100 x 100 vertices, half of it closed into a tube of as many
// triangles as vertices, one mapping coordinate each. No triangle stands
// alone: the seams between them fall in the middle of one texture, where
// the browser's and the desktop's rasterisers may round their edges apart
// without changing the picture.
mesh_object capacity_torus()
{
    const int n = 100;
    const float pi = 3.14159265f;
    mesh_object t{"torus", {}, {}, {}};
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            const float a = 2 * pi * static_cast<float>(i) / n;
            const float b = 2 * pi * static_cast<float>(j) / n;
            const float r = 2.0f + 0.8f * std::cos(b);
            t.vertices.push_back({r * std::cos(a), 0.8f * std::sin(b), r * std::sin(a)});
            t.uvs.push_back({static_cast<float>(i) / n * 2, static_cast<float>(j) / n});
        }
    }
    const auto at = [n](int i, int j) { return static_cast<uint16_t>(i * n + j % n); };
    for (int i = 0; i < n / 2; ++i) {
        for (int j = 0; j < n; ++j) {
            t.faces.push_back({at(i, j), at(i + 1, j), at(i + 1, j + 1)});
            t.faces.push_back({at(i, j), at(i + 1, j + 1), at(i, j + 1)});
        }
    }
    return t;
}

// width x height pixels, bottom row first, each from colour(x, y).
std::vector<uint8_t> picture(int32_t width, int32_t height,
                             const std::function<uint32_t(int32_t, int32_t)>& colour)
{
    std::vector<uint8_t> rgb;
    rgb.reserve(static_cast<size_t>(width) * height * 3);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t c = colour(x, y);
            rgb.insert(rgb.end(), {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                                   static_cast<uint8_t>(c)});
        }
    }
    return rgb;
}

int web_files(const std::string& dir)
{
    const std::string named = dir + "/named";
    mkdir(dir.c_str(), 0777);
    mkdir(named.c_str(), 0777);

    // Blue and yellow squares; red bricks in white mortar.
    const auto squares = [](int32_t x, int32_t y) {
        return ((x / 8 + y / 8) % 2) ? 0x2040e0u : 0xf0e020u;
    };
    const auto bricks = [](int32_t x, int32_t y) {
        const int32_t row = y / 8, shift = row % 2 * 12;
        return (y % 8 == 0 || (x + shift) % 24 == 0) ? 0xf0f0f0u : 0xb03020u;
    };
    // Smooth everywhere: what a texel falls on does not hang on rounding.
    const auto waves = [](int32_t x, int32_t y) {
        const double pi = 3.14159265358979;
        const auto blue = static_cast<uint32_t>(127.5 + 127.5 * std::sin(2 * pi * x / 1024) *
                                                             std::cos(2 * pi * y / 1024));
        return static_cast<uint32_t>(x / 16) << 16 | static_cast<uint32_t>(y / 16) << 8 | blue;
    };

    // Smooth, as photographs are: JPEG keeps it close.
    const auto gradient = [](int32_t x, int32_t y) {
        return static_cast<uint32_t>(x * 2) << 16 | static_cast<uint32_t>(y * 2) << 8 |
               static_cast<uint32_t>(255 - x - y / 2);
    };
    // A TGA's pixels: RGBA, bottom row first; runs for RLE to pack.
    const auto with_alpha = [](const std::vector<uint8_t>& rgb) {
        std::vector<uint8_t> out;
        for (size_t i = 0; i < rgb.size(); i += 3)
            out.insert(out.end(), {rgb[i], rgb[i + 1], rgb[i + 2], 255});
        return out;
    };
    tga_options rle;
    rle.image_type = TGA_RLE_TRUE_COLOUR;
    for (const char* folder : {"/boat", "/boat/models", "/boat/textures", "/crate", "/wood",
                               "/wood/Textures"})
        mkdir((dir + folder).c_str(), 0777);

    byte_writer too_large;
    too_large.bytes = make_bmp24(16384, 1, picture(16384, 1, squares));
    patch_u32(&too_large, 22, 16384);  // the height

    const struct {
        std::string path;
        std::vector<uint8_t> bytes;
    } files[] = {
        {named + "/named.3ds", make_3ds({cube()}, {"maps\\Brick.JPG", "Alpha.bmp"})},
        {named + "/Alpha.bmp", make_bmp24(64, 64, picture(64, 64, squares))},
        {named + "/brick.bmp", make_bmp24(96, 64, picture(96, 64, bricks))},
        {dir + "/capacity.3ds", make_3ds({capacity_torus()})},
        {dir + "/texture-4096.bmp", make_bmp24(4096, 4096, picture(4096, 4096, waves))},
        {dir + "/too-large.bmp", too_large.bytes},
        {dir + "/boat/models/boat.3ds", make_3ds({cube()}, {"MAPS\\Hull.PNG"})},
        {dir + "/boat/textures/hull.bmp", make_bmp24(64, 64, picture(64, 64, bricks))},
        {dir + "/boat/decoy.bmp", make_bmp24(64, 64, picture(64, 64, squares))},
        {dir + "/crate/crate.3ds", make_3ds({cube()}, {"crate.tga"})},
        {dir + "/crate/crate.tga", make_tga(64, 64, with_alpha(picture(64, 64, bricks)), rle)},
        {dir + "/wood/Model.3ds", make_3ds({cube()}, {"TEXTURES\\WOOD.JPG"})},
        {dir + "/wood/Textures/wood.bmp", make_bmp24(128, 128, picture(128, 128, gradient))},
    };
    for (const auto& f : files) {
        if (!write_file(f.path, f.bytes)) {
            std::fprintf(stderr, "cannot write %s\n", f.path.c_str());
            return 1;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "sparse-model") == 0)
        return sparse_model(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "web") == 0)
        return web_files(argv[2]);
    std::fprintf(stderr, "usage: test_files sparse-model OUT | test_files web FOLDER\n");
    return 2;
}
