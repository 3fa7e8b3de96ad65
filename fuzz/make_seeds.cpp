// Writes small well-formed 3DS and BMP files with our writer into two seed
// folders, so the fuzzers start from every chunk and header kind we know.
//   make_seeds 3DS_FOLDER BMP_FOLDER
#include <cstdio>
#include <string>
#include <vector>

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

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_seeds 3DS_FOLDER BMP_FOLDER\n");
        return 2;
    }
    write_3ds_seeds(argv[1]);
    write_bmp_seeds(argv[2]);
    return ok ? 0 : 1;
}
