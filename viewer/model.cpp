#include "model.h"

#include <cmath>
#include <cstring>

#include "fixed6.h"

namespace {

// The mapping lines are most of the loader's cost when printed one printf
// at a time; they are built here with write_fixed6, which gives the same
// bytes as printf("%f"), and written out in large blocks: when the buffer
// fills and at the end of each mapping list.
struct line_buffer {
    char text[1 << 16];
    size_t used;
};

line_buffer lines;

constexpr char MAPPING_PREFIX[] = "Koordynaty: ";
constexpr size_t PREFIX_SIZE = sizeof MAPPING_PREFIX - 1;
// Room for one line of two floats at their longest.
constexpr size_t LONGEST_LINE = PREFIX_SIZE + 2 * FIXED6_LONGEST + 3;

struct printing {
    const char* path;
    const model_texcoord* texcoords;
    FILE* lines_to;
    FILE* notes_to;
};

void flush_lines(FILE* to)
{
    std::fwrite(lines.text, 1, lines.used, to);
    lines.used = 0;
}

void print_mapping_line(FILE* to, float u, float v)
{
    if (sizeof lines.text - lines.used < LONGEST_LINE)
        flush_lines(to);
    char* out = lines.text + lines.used;
    std::memcpy(out, MAPPING_PREFIX, PREFIX_SIZE);
    out = write_fixed6(out + PREFIX_SIZE, u);
    std::memcpy(out, ", ", 2);
    out = write_fixed6(out + 2, v);
    *out++ = '\n';
    lines.used = static_cast<size_t>(out - lines.text);
}

void print_mapping_lines(void* user, int32_t first, int32_t count)
{
    const printing* p = static_cast<const printing*>(user);
    if (!p->lines_to)
        return;
    for (int32_t i = first; i < first + count; ++i)
        print_mapping_line(p->lines_to, p->texcoords[i].u, p->texcoords[i].v);
    flush_lines(p->lines_to);
}

void print_note(void* user, const formats::load_note& note)
{
    const printing* p = static_cast<const printing*>(user);
    if (p->notes_to)
        std::fprintf(p->notes_to, "%s: offset %lld: %s\n", p->path,
                     static_cast<long long>(note.offset), note.text.c_str());
}

}  // namespace

formats::mesh_sink model_sink(Model* model)
{
    formats::mesh_sink sink =
        formats::sink_over(model->vertices, model->faces, model->texcoords, MODEL_CAPACITY,
                           model->name, static_cast<int32_t>(sizeof model->name));
    sink.vertex_count = model->vertex_count;
    sink.face_count = model->face_count;
    return sink;
}

bool load_3ds_model(Model* model, const char* path, model_report* report, FILE* lines_to,
                    FILE* notes_to)
{
    model_report unused;
    if (!report)
        report = &unused;
    *report = model_report{};
    model->vertex_count = 0;
    model->face_count = 0;
    FILE* file = std::fopen(path, "rb");
    if (!file)
        return false;
    printing p{path, model->texcoords, lines_to, notes_to};
    formats::mesh_sink sink = model_sink(model);
    sink.user = &p;
    sink.mapping_stored = print_mapping_lines;
    sink.noted = print_note;
    formats::read_3ds_file(file, &sink, report);
    std::fclose(file);
    model->vertex_count = sink.vertex_count;
    model->face_count = sink.face_count;
    // The lines must reach a pipe even if the process is killed later.
    if (lines_to)
        std::fflush(lines_to);
    return true;
}

model_fit fit_model(Model* model)
{
    model_fit fit{};
    float* min = fit.min;
    float* max = fit.max;
    for (int32_t i = 0; i < model->vertex_count; ++i) {
        const model_vertex& v = model->vertices[i];
        const float p[3] = {v.x, v.y, v.z};
        for (int axis = 0; axis < 3; ++axis) {
            if (p[axis] < min[axis])
                min[axis] = p[axis];
            if (p[axis] > max[axis])
                max[axis] = p[axis];
        }
    }
    // min <= 0, so d = max + min: twice the centre of the box on that axis.
    for (int axis = 0; axis < 3; ++axis)
        fit.d[axis] = max[axis] - std::fabs(min[axis]);

    float extent = 0.0f;
    for (int axis = 0; axis < 3; ++axis)
        if (max[axis] - min[axis] > extent)
            extent = max[axis] - min[axis];
    const bool scale_it = extent > 0.0f;
    const float scale = scale_it ? 10.0f / extent : 1.0f;
    for (int32_t i = 0; i < model->vertex_count; ++i) {
        model_vertex& v = model->vertices[i];
        v.x -= fit.d[0] * 0.5f;
        v.y -= fit.d[1] * 0.5f;
        v.z -= fit.d[2] * 0.5f;
        if (scale_it) {
            v.x *= scale;
            v.y *= scale;
            v.z *= scale;
        }
    }
    return fit;
}

void normalize_model(Model* model, FILE* lines_to)
{
    const model_fit fit = fit_model(model);
    const std::string line = "offesty: " + fixed6(fit.min[0]) + " " + fixed6(fit.max[0]) + " " +
                             fixed6(fit.d[0]) + "\n";
    std::fputs(line.c_str(), lines_to);
    std::fflush(lines_to);
}
