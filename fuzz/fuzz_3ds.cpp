// The 3DS walk and the material reader on any bytes at all, straight from
// memory, with the checks that drawing relies on after every input.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "formats/read_3ds.h"
#include "formats/texture_names.h"
#include "invariants.h"

namespace {

constexpr int32_t CAPACITY = 10000;
formats::mesh_vertex vertices[CAPACITY];
formats::mesh_triangle faces[CAPACITY];
formats::mesh_uv texcoords[CAPACITY];
char name[20];

// The sink is told of every stored mapping coordinate, in order, once.
int32_t next_mapping = 0;

void mapping_stored(void*, int32_t first, int32_t count)
{
    if (first < 0 || count < 0 || count > CAPACITY - first)
        invariant_broken("mapping coordinates reported outside the arrays");
    next_mapping += count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    formats::mesh_sink sink =
        formats::sink_over(vertices, faces, texcoords, CAPACITY, name, sizeof name);
    sink.mapping_stored = mapping_stored;
    next_mapping = 0;
    formats::walk_report report;
    formats::read_3ds(data, size, &sink, &report);

    if (sink.vertex_count < 0 || sink.vertex_count > CAPACITY || sink.face_count < 0 ||
        sink.face_count > CAPACITY)
        invariant_broken("a count is outside 0..10000 after loading");
    if (report.vertices.stored != static_cast<uint32_t>(sink.vertex_count) ||
        report.faces.stored != static_cast<uint32_t>(sink.face_count) ||
        report.texcoords.stored != static_cast<uint32_t>(next_mapping))
        invariant_broken("the report's stored counts are not what the sink was given");
    for (const formats::list_count& c : {report.vertices, report.faces, report.texcoords})
        if (c.stored > c.read)
            invariant_broken("the report stored more records than the file held");
    if (report.notes.size() > formats::KEPT_NOTES || report.notes.size() > report.note_count)
        invariant_broken("the report keeps more notes than it may or than it made");
    // Drawing indexes vertices and texcoords with every corner.
    for (int32_t i = 0; i < sink.face_count; ++i) {
        const formats::mesh_triangle& f = faces[i];
        for (int32_t corner : {f.a, f.b, f.c})
            if (corner < 0 || corner >= sink.vertex_count)
                invariant_broken("a stored triangle corner is outside the stored vertices");
    }

    // The material reader on the same bytes: a bounded list of bounded names.
    const std::vector<std::string> names = formats::read_3ds_texture_names(data, size);
    if (names.size() > formats::MAX_TEXTURE_NAMES)
        invariant_broken("more texture names than the reader keeps");
    for (const std::string& name : names)
        if (name.empty() || name.size() > formats::MAX_TEXTURE_NAME)
            invariant_broken("a texture name is empty or longer than the reader keeps");
    return 0;
}
