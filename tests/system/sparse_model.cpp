// Writes a 3DS model whose one mesh lies past 2 GiB into the file, for the
// check that a reader's offsets do not stop at 32 bits (Windows keeps long
// at 32). The file is sparse: a material chunk the walk skips holds the hole.
//   sparse_model OUT
#include <cstdio>

#include "formats/writer.h"

int main(int argc, char** argv)
{
    using namespace formats;
    if (argc != 2) {
        std::fprintf(stderr, "usage: sparse_model OUT\n");
        return 2;
    }
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

    FILE* f = std::fopen(argv[1], "wb");
    const auto put = [f](const byte_writer& w) {
        return std::fwrite(w.bytes.data(), 1, w.bytes.size(), f) == w.bytes.size();
    };
    const bool ok = f && put(start) && fseeko(f, off_t{headers} + hole, SEEK_SET) == 0 && put(mesh);
    if (!f || std::fclose(f) != 0 || !ok) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
