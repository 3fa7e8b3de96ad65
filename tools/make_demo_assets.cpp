// Writes the demo scene model_viewer opens: szablon.3ds (a ring, a cube and
// a pyramid, each with mapping coordinates) and szablon.bmp (256 x 256,
// 24-bit), into the folder given on the command line.
//
// The viewer blends each fragment as source x source + destination x source,
// so dark colours all but vanish; the texture keeps to bright, saturated ones.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "formats/writer.h"
#include "program_name.h"

namespace {

using formats::mesh_face;
using formats::mesh_object;
using formats::mesh_uv;

const float PI = 3.14159265f;

mesh_object make_ring(float major, float minor, int around, int across)
{
    mesh_object ring;
    ring.name = "ring";
    // One extra column and row repeat the seam with u or v = 1.
    for (int i = 0; i <= around; ++i) {
        const float a = 2.0f * PI * static_cast<float>(i) / static_cast<float>(around);
        for (int j = 0; j <= across; ++j) {
            const float b = 2.0f * PI * static_cast<float>(j) / static_cast<float>(across);
            const float r = major + minor * std::cos(b);
            ring.vertices.push_back({r * std::cos(a), minor * std::sin(b), r * std::sin(a)});
            ring.uvs.push_back({2.0f * static_cast<float>(i) / static_cast<float>(around),
                                static_cast<float>(j) / static_cast<float>(across)});
        }
    }
    const int row = across + 1;
    for (int i = 0; i < around; ++i) {
        for (int j = 0; j < across; ++j) {
            const uint16_t p = static_cast<uint16_t>(i * row + j);
            const uint16_t q = static_cast<uint16_t>((i + 1) * row + j);
            ring.faces.push_back({p, q, static_cast<uint16_t>(q + 1)});
            ring.faces.push_back({p, static_cast<uint16_t>(q + 1), static_cast<uint16_t>(p + 1)});
        }
    }
    return ring;
}

// Each side has its own four corners so it can carry the whole picture.
mesh_object make_cube(float half, float cx, float cy, float cz)
{
    static const int sides[6][4][3] = {
        {{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}},
        {{1, -1, -1}, {-1, -1, -1}, {-1, 1, -1}, {1, 1, -1}},
        {{1, -1, 1}, {1, -1, -1}, {1, 1, -1}, {1, 1, 1}},
        {{-1, -1, -1}, {-1, -1, 1}, {-1, 1, 1}, {-1, 1, -1}},
        {{-1, 1, 1}, {1, 1, 1}, {1, 1, -1}, {-1, 1, -1}},
        {{-1, -1, -1}, {1, -1, -1}, {1, -1, 1}, {-1, -1, 1}},
    };
    static const mesh_uv corners[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    mesh_object cube;
    cube.name = "cube";
    for (int s = 0; s < 6; ++s) {
        const uint16_t base = static_cast<uint16_t>(cube.vertices.size());
        for (int k = 0; k < 4; ++k) {
            cube.vertices.push_back({cx + half * sides[s][k][0], cy + half * sides[s][k][1],
                                     cz + half * sides[s][k][2]});
            cube.uvs.push_back(corners[k]);
        }
        cube.faces.push_back({base, static_cast<uint16_t>(base + 1), static_cast<uint16_t>(base + 2)});
        cube.faces.push_back({base, static_cast<uint16_t>(base + 2), static_cast<uint16_t>(base + 3)});
    }
    return cube;
}

mesh_object make_pyramid(float half, float height, float cy)
{
    mesh_object p;
    p.name = "pyramid";
    const float base[4][2] = {{-half, -half}, {half, -half}, {half, half}, {-half, half}};
    for (int s = 0; s < 4; ++s) {
        const int t = (s + 1) % 4;
        const uint16_t first = static_cast<uint16_t>(p.vertices.size());
        p.vertices.push_back({base[s][0], cy, base[s][1]});
        p.vertices.push_back({base[t][0], cy, base[t][1]});
        p.vertices.push_back({0.0f, cy + height, 0.0f});
        p.uvs.push_back({0.0f, 0.0f});
        p.uvs.push_back({1.0f, 0.0f});
        p.uvs.push_back({0.5f, 1.0f});
        p.faces.push_back({first, static_cast<uint16_t>(first + 2), static_cast<uint16_t>(first + 1)});
    }
    return p;
}

uint8_t channel(float v)
{
    v = v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
    return static_cast<uint8_t>(std::lround(v * 255.0f));
}

// A hue sweep across, lighter and darker bands up, and a checker of two
// brightnesses: bright enough to survive the squaring blend.
std::vector<uint8_t> make_texture_rgb(int side)
{
    std::vector<uint8_t> rgb(static_cast<size_t>(side) * side * 3);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const float hue = 6.0f * static_cast<float>(x) / static_cast<float>(side);
            const float sector = std::floor(hue);
            const float f = hue - sector;
            float r, g, b;
            switch (static_cast<int>(sector) % 6) {
            case 0: r = 1; g = f; b = 0; break;
            case 1: r = 1 - f; g = 1; b = 0; break;
            case 2: r = 0; g = 1; b = f; break;
            case 3: r = 0; g = 1 - f; b = 1; break;
            case 4: r = f; g = 0; b = 1; break;
            default: r = 1; g = 0; b = 1 - f; break;
            }
            // Lift the colours towards white so no channel goes fully dark.
            const float lift = 0.35f + 0.25f * static_cast<float>(y) / static_cast<float>(side);
            const bool light_square = ((x / 32) + (y / 32)) % 2 == 0;
            const float gain = light_square ? 1.0f : 0.8f;
            rgb[(static_cast<size_t>(y) * side + x) * 3 + 0] = channel((lift + (1 - lift) * r) * gain);
            rgb[(static_cast<size_t>(y) * side + x) * 3 + 1] = channel((lift + (1 - lift) * g) * gain);
            rgb[(static_cast<size_t>(y) * side + x) * 3 + 2] = channel((lift + (1 - lift) * b) * gain);
        }
    }
    return rgb;
}

// A file in FOLDER. On Windows the folder may come with backslashes
// (Z:\demo): the name is joined with the separator it already uses, so the
// printed paths use one kind.
std::string in_folder(const std::string& folder, const char* name)
{
#ifdef _WIN32
    const size_t last = folder.find_last_of("/\\");
    const char separator = last == std::string::npos ? '\\' : folder[last];
#else
    const char separator = '/';
#endif
    return folder + separator + name;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", program_name(argv[0], "make_demo_assets").c_str());
        return 2;
    }
    const std::string folder = argv[1];
    const std::vector<mesh_object> scene = {
        make_ring(3.0f, 1.0f, 32, 12),
        make_cube(1.0f, 0.0f, 0.0f, 0.0f),
        make_pyramid(1.5f, 2.5f, 1.2f),
    };
    const int side = 256;
    const std::string model_path = in_folder(folder, "szablon.3ds");
    const std::string texture_path = in_folder(folder, "szablon.bmp");
    if (!formats::write_file(model_path, formats::make_3ds(scene))) {
        std::fprintf(stderr, "%s: cannot write\n", model_path.c_str());
        return 1;
    }
    const std::vector<uint8_t> texture = formats::make_bmp24(side, side, make_texture_rgb(side));
    if (!formats::write_file(texture_path, texture)) {
        std::fprintf(stderr, "%s: cannot write\n", texture_path.c_str());
        return 1;
    }
    std::fprintf(stderr, "wrote %s and %s\n", model_path.c_str(), texture_path.c_str());
    return 0;
}
