// The 3DS reader and the normaliser on any bytes at all, with the checks
// that drawing relies on after every input.
#include <cstdio>

#include "fuzz_file.h"
#include "model.h"

namespace {

Model model;

void check_counts(const char* when)
{
    if (model.vertex_count < 0 || model.vertex_count > MODEL_CAPACITY)
        invariant_broken(when);
    if (model.face_count < 0 || model.face_count > MODEL_CAPACITY)
        invariant_broken(when);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The reader's stdout lines are its job; here they would only slow the run.
    if (!std::freopen("/dev/null", "w", stdout))
        invariant_broken("cannot send stdout to /dev/null");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* path = write_input_file(data, size);
    model_report report;
    if (!read_3ds_model(&model, path, &report, stderr))
        invariant_broken("the reader could not open a file that exists");
    check_counts("a count is outside 0..10000 after loading");
    if (report.vertices.stored != static_cast<uint32_t>(model.vertex_count) ||
        report.faces.stored != static_cast<uint32_t>(model.face_count))
        invariant_broken("the report's stored counts are not the model's");
    for (const list_count& c : {report.vertices, report.faces, report.texcoords})
        if (c.stored > c.read)
            invariant_broken("the report stored more records than the file held");
    // Drawing indexes vertices and texcoords with every corner.
    for (int32_t i = 0; i < model.face_count; ++i) {
        const model_face& f = model.faces[i];
        const int32_t corners[3] = {f.a, f.b, f.c};
        for (int32_t corner : corners)
            if (corner < 0 || corner >= model.vertex_count)
                invariant_broken("a stored triangle corner is outside the stored vertices");
    }
    const int32_t vertices = model.vertex_count, faces = model.face_count;
    normalize_model(&model);
    if (model.vertex_count != vertices || model.face_count != faces)
        invariant_broken("normalising changed the counts");
    return 0;
}
