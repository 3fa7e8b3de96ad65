// Our 3DS reader and BMP decoder against lib3ds and stb_image, on the same
// files, in one process:
//   bench_loaders [--3ds=LABEL:FILE]... [--bmp=LABEL:FILE]... [--tsv=OUT] [benchmark flags]
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <lib3ds/file.h>
#include <lib3ds/mesh.h>
#include <stb_image.h>

#include "bmp.h"
#include "compare.h"
#include "model.h"

namespace {

Model model;

// What lib3ds's side makes of a file: the meshes laid end to end, as our
// record holds them (corners raised by the mesh's first vertex, mapping
// coordinates at their vertex).
struct flat_model {
    std::vector<float> xyz;
    std::vector<int32_t> corners;
    std::vector<float> uv;
};

flat_model flat;

bool lib3ds_flatten(const char* path, flat_model* out)
{
    Lib3dsFile* file = lib3ds_file_load(path);
    if (!file)
        return false;
    size_t points = 0, faces = 0;
    for (Lib3dsMesh* m = file->meshes; m; m = m->next) {
        points += m->points;
        faces += m->faces;
    }
    out->xyz.resize(points * 3);
    out->corners.resize(faces * 3);
    out->uv.resize(points * 2);
    float* xyz = out->xyz.data();
    int32_t* corners = out->corners.data();
    size_t base = 0;
    for (Lib3dsMesh* m = file->meshes; m; m = m->next) {
        for (Lib3dsDword i = 0; i < m->points; ++i) {
            *xyz++ = m->pointL[i].pos[0];
            *xyz++ = m->pointL[i].pos[1];
            *xyz++ = m->pointL[i].pos[2];
        }
        for (Lib3dsDword i = 0; i < m->faces; ++i)
            for (int k = 0; k < 3; ++k)
                *corners++ = static_cast<int32_t>(base + m->faceL[i].points[k]);
        const Lib3dsDword texels = m->texels < m->points ? m->texels : m->points;
        for (Lib3dsDword i = 0; i < texels; ++i) {
            out->uv[2 * (base + i)] = m->texelL[i][0];
            out->uv[2 * (base + i) + 1] = m->texelL[i][1];
        }
        base += m->points;
    }
    lib3ds_file_free(file);
    return true;
}

// The mapping lines are part of our loader's job; they go to /dev/null for
// the length of one repetition.
struct stdout_to_null {
    int saved;
    stdout_to_null()
    {
        std::fflush(stdout);
        saved = dup(1);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        close(null);
    }
    ~stdout_to_null()
    {
        std::fflush(stdout);
        dup2(saved, 1);
        close(saved);
    }
};

void ours_3ds(benchmark::State& state, const std::string& path)
{
    stdout_to_null quiet;
    for (auto _ : state) {
        if (!load_3ds_model(&model, path.c_str())) {
            state.SkipWithError("cannot open the model");
            break;
        }
        normalize_model(&model);
        benchmark::ClobberMemory();
    }
    state.counters["vertices"] = model.vertex_count;
    state.counters["faces"] = model.face_count;
}

void lib3ds_3ds(benchmark::State& state, const std::string& path)
{
    for (auto _ : state) {
        if (!lib3ds_flatten(path.c_str(), &flat)) {
            state.SkipWithError("lib3ds cannot load the model");
            break;
        }
        benchmark::ClobberMemory();
    }
    state.counters["vertices"] = static_cast<double>(flat.xyz.size() / 3);
    state.counters["faces"] = static_cast<double>(flat.corners.size() / 3);
}

void ours_bmp(benchmark::State& state, const std::string& path)
{
    for (auto _ : state) {
        bmp_image image;
        std::string reason;
        if (!decode_bmp_file(path.c_str(), &image, &reason)) {
            state.SkipWithError(reason.c_str());
            break;
        }
        benchmark::DoNotOptimize(image.rgba.data());
        benchmark::ClobberMemory();
    }
}

void stb_bmp(benchmark::State& state, const std::string& path)
{
    for (auto _ : state) {
        int w, h, n;
        unsigned char* pixels = stbi_load(path.c_str(), &w, &h, &n, 4);
        if (!pixels) {
            state.SkipWithError(stbi_failure_reason());
            break;
        }
        benchmark::DoNotOptimize(pixels);
        benchmark::ClobberMemory();
        stbi_image_free(pixels);
    }
}

// Both sides must do the same work: the same counts from both 3DS readers,
// the same pixels from both decoders (stb_image gives the top row first).
bool same_model(const std::string& path)
{
    stdout_to_null quiet;
    if (!load_3ds_model(&model, path.c_str()) || !lib3ds_flatten(path.c_str(), &flat))
        return false;
    const size_t v = flat.xyz.size() / 3, f = flat.corners.size() / 3;
    std::fprintf(stderr, "%s: ours %d vertices, %d faces; lib3ds %zu vertices, %zu faces\n",
                 path.c_str(), model.vertex_count, model.face_count, v, f);
    if (v != static_cast<size_t>(model.vertex_count) || f != static_cast<size_t>(model.face_count))
        return false;
    return std::memcmp(flat.xyz.data(), model.vertices, v * sizeof(model_vertex)) == 0 &&
           std::memcmp(flat.corners.data(), model.faces, f * sizeof(model_face)) == 0;
}

bool same_pixels(const std::string& path)
{
    bmp_image image;
    std::string reason;
    int w = 0, h = 0, n = 0;
    unsigned char* pixels = stbi_load(path.c_str(), &w, &h, &n, 4);
    const bool ours = decode_bmp_file(path.c_str(), &image, &reason);
    bool same = pixels && ours && w == image.width && h == image.height;
    const size_t row = static_cast<size_t>(w) * 4;
    for (int y = 0; same && y < h; ++y)
        same = std::memcmp(pixels + row * (h - 1 - y), image.rgba.data() + row * y, row) == 0;
    stbi_image_free(pixels);
    return same;
}

double file_bytes(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<double>(st.st_size) : 0.0;
}

bool split_input(const char* value, std::string* label, std::string* path)
{
    const char* colon = std::strchr(value, ':');
    if (!colon)
        return false;
    *label = std::string(value, colon);
    *path = colon + 1;
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    take_compare_options(&argc, argv);
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const char* model_arg = option_value(argv[i], "--3ds");
        const char* bmp_arg = option_value(argv[i], "--bmp");
        if (!model_arg && !bmp_arg) {
            argv[kept++] = argv[i];
            continue;
        }
        std::string label, path;
        if (!split_input(model_arg ? model_arg : bmp_arg, &label, &path)) {
            std::fprintf(stderr, "%s: expected LABEL:FILE\n", argv[i]);
            return 2;
        }
        comparison c;
        c.input = label;
        c.input_bytes = file_bytes(path);
        if (model_arg) {
            if (!same_model(path)) {
                std::fprintf(stderr, "%s: the two readers disagree; not comparing\n",
                             path.c_str());
                return 1;
            }
            c.what = "3ds_load";
            c.peer = "lib3ds";
            c.rate = rate_kind::megabytes;
            add_comparison(
                c, [path](benchmark::State& s) { ours_3ds(s, path); },
                [path](benchmark::State& s) { lib3ds_3ds(s, path); });
        } else {
            if (!same_pixels(path)) {
                std::fprintf(stderr, "%s: the two decoders disagree; not comparing\n",
                             path.c_str());
                return 1;
            }
            c.what = "bmp_decode";
            c.peer = "stb_image";
            c.rate = rate_kind::megabytes;
            add_comparison(
                c, [path](benchmark::State& s) { ours_bmp(s, path); },
                [path](benchmark::State& s) { stb_bmp(s, path); });
        }
    }
    argv[kept] = nullptr;
    return run_comparisons(kept, argv);
}
