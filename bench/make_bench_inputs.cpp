// Writes the benchmark inputs into the folder given on the command line:
//   model-N.3ds      N vertices, N triangles and N mapping coordinates, in
//                    tori of 2500 vertices each (model-10000.3ds is a model at
//                    the viewer's capacity, in four objects)
//   bmp-WxH.bmp      24-bit, bottom-up, rows padded as BMP stores them
//   tga-WxH.tga      the same picture, 24-bit, uncompressed, bottom-left
//   tga-rle-WxH.tga  24-bit RLE of a picture whose left half is in runs of
//                    16 pixels and whose right half changes at every pixel
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "formats/writer.h"

namespace {

using namespace formats;

const float PI = 3.14159265f;

// A torus of rows x cols vertices about (cx, cy, cz), closed both ways.
// Every other quad of the grid is filled, which gives as many triangles as
// vertices.
mesh_object make_torus(const std::string& name, int rows, int cols, float cx, float cy, float cz)
{
    mesh_object t;
    t.name = name;
    const float major = 2.0f, minor = 0.8f;
    for (int i = 0; i < rows; ++i) {
        const float a = 2.0f * PI * static_cast<float>(i) / static_cast<float>(rows);
        for (int j = 0; j < cols; ++j) {
            const float b = 2.0f * PI * static_cast<float>(j) / static_cast<float>(cols);
            const float r = major + minor * std::cos(b);
            t.vertices.push_back({cx + r * std::cos(a), cy + minor * std::sin(b),
                                  cz + r * std::sin(a)});
            t.uvs.push_back({static_cast<float>(i) / static_cast<float>(rows),
                             static_cast<float>(j) / static_cast<float>(cols)});
        }
    }
    const size_t wanted = t.vertices.size();
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < cols; ++j) {
            if ((i + j) % 2 != 0)
                continue;
            const auto at = [&](int r, int c) {
                return static_cast<uint16_t>((r % rows) * cols + c % cols);
            };
            t.faces.push_back({at(i, j), at(i + 1, j), at(i + 1, j + 1)});
            t.faces.push_back({at(i, j), at(i + 1, j + 1), at(i, j + 1)});
        }
    }
    t.faces.resize(wanted);
    return t;
}

std::vector<mesh_object> make_model(int tori, int rows, int cols)
{
    static const float centres[4][3] = {{-3, 0, 0}, {3, 0, 0}, {0, 3, 1}, {0, -3, -1}};
    std::vector<mesh_object> objects;
    for (int k = 0; k < tori; ++k)
        objects.push_back(make_torus("torus" + std::to_string(k), rows, cols, centres[k][0],
                                     centres[k][1], centres[k][2]));
    return objects;
}

// `runs` makes the left half's pixels repeat in runs of 16.
std::vector<uint8_t> make_picture(int32_t width, int32_t height, int channels = 3,
                                  bool runs = false)
{
    std::vector<uint8_t> out(static_cast<size_t>(width) * height * channels);
    size_t at = 0;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const int32_t blue_x = runs && x < width / 2 ? x / 16 : x;
            out[at++] = static_cast<uint8_t>(x * 255 / width);
            out[at++] = static_cast<uint8_t>(y * 255 / height);
            out[at++] = static_cast<uint8_t>((blue_x ^ y) & 255);
            if (channels == 4)
                out[at++] = 255;
        }
    }
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_bench_inputs FOLDER\n");
        return 2;
    }
    const std::string dir = argv[1];
    struct model_size {
        int tori, rows, cols;
    };
    const model_size models[] = {{1, 25, 25}, {1, 50, 50}, {2, 50, 50}, {4, 50, 50}};
    for (const model_size& m : models) {
        const std::string path =
            dir + "/model-" + std::to_string(m.tori * m.rows * m.cols) + ".3ds";
        if (!write_file(path, make_3ds(make_model(m.tori, m.rows, m.cols)))) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    // 1021 pixels make rows of 3063 bytes, padded to 3064.
    const int32_t pictures[][2] = {{256, 256}, {1024, 1024}, {1021, 1024}, {4096, 4096}};
    for (const auto& p : pictures) {
        const std::string path =
            dir + "/bmp-" + std::to_string(p[0]) + "x" + std::to_string(p[1]) + ".bmp";
        if (!write_file(path, make_bmp24(p[0], p[1], make_picture(p[0], p[1])))) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    const int32_t side = 4096;
    const std::string size = std::to_string(side) + "x" + std::to_string(side);
    tga_options rle;
    rle.image_type = TGA_RLE_TRUE_COLOUR;
    if (!write_file(dir + "/tga-" + size + ".tga", make_tga(side, side, make_picture(side, side, 4))) ||
        !write_file(dir + "/tga-rle-" + size + ".tga",
                    make_tga(side, side, make_picture(side, side, 4, true), rle))) {
        std::fprintf(stderr, "cannot write the TGA pictures in %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
