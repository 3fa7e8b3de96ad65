// Our 3DS reader and BMP and TGA decoders against lib3ds and stb_image and
// against the floor (the least work each job needs), on the same files, in
// one process:
//   bench_formats [--3ds=LABEL:FILE]... [--bmp=LABEL:FILE]... [--tga=LABEL:FILE]...
//                 [--tsv=OUT] [benchmark flags]
// An uncompressed file has a floor; an RLE one is compared with stb_image only.
//
// A picture is timed as a program decodes one at start-up: the decoder's
// blocks (the pixels, the block of rows) come fresh from the system every
// time and go back after, so each decode pays for its fresh pages, whatever
// the repetitions before left behind in the heap. The floor's blocks too.
//
// bench/compare_commit.sh builds this same harness against another commit's
// formats/ as well, so it also compiles against one from before the TGA
// decoder.
#include <malloc.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <lib3ds/file.h>
#include <lib3ds/mesh.h>
#include <stb_image.h>

#include "compare.h"
#include "formats/bmp.h"
#include "formats/cursor.h"
#include "formats/format_bmp.h"
#include "model.h"
#if __has_include("formats/tga.h")
#define BENCH_TGA 1
#include "formats/format_tga.h"
#include "formats/rgba_rows.h"
#include "formats/tga.h"
#else
namespace formats {
constexpr int64_t rows_per_read(int64_t row_stride) { return bmp_rows_per_read(row_stride); }
}  // namespace formats
#endif

namespace {

using namespace formats;

Model model;

// Where our loader's lines go while it is timed: the viewer prints them to
// this file of the bench's own, as it prints them to its stdout.
FILE* lines_sink = nullptr;

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

// The loading lines are part of our loader's job: the walk, then the
// viewer's printing of what it found.
void ours_3ds(benchmark::State& state, const std::string& path)
{
    for (auto _ : state) {
        if (!load_3ds_model(&model, path.c_str(), nullptr, lines_sink, lines_sink)) {
            state.SkipWithError("cannot open the model");
            break;
        }
        normalize_model(&model, lines_sink);
        benchmark::ClobberMemory();
    }
    state.counters["vertices"] = model.vertex_count;
    state.counters["faces"] = model.face_count;
}

// The least a 3DS load can do: read the file (through the reader's cursor,
// in blocks of the reader's size) and write the very bytes of its stdout
// lines, prepared beforehand, in blocks of the size ours writes.
constexpr size_t READ_BLOCK = 16 << 10;   // formats/read_3ds.cpp's list block
constexpr size_t WRITE_BLOCK = 64 << 10;  // viewer/model.cpp's line buffer

void floor_3ds(benchmark::State& state, const std::string& path, const std::string& lines)
{
    std::unique_ptr<uint8_t[]> block(new uint8_t[READ_BLOCK]);
    uint8_t window[CURSOR_WINDOW];
    for (auto _ : state) {
        FILE* file = std::fopen(path.c_str(), "rb");
        if (!file) {
            state.SkipWithError("cannot open the model");
            break;
        }
        cursor c;
        cursor_over_file(&c, file, window, sizeof window);
        while (cursor_left(&c) > 0)
            read_bytes(&c, block.get(), std::min(READ_BLOCK, static_cast<size_t>(cursor_left(&c))));
        std::fclose(file);
        for (size_t at = 0; at < lines.size(); at += WRITE_BLOCK)
            std::fwrite(lines.data() + at, 1, std::min(WRITE_BLOCK, lines.size() - at), lines_sink);
        std::fflush(lines_sink);
        benchmark::ClobberMemory();
    }
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

bool decode_path(const char* path, bmp_image* image, std::string* reason)
{
    return decode_bmp_path(path, image, reason);
}

#if defined(BENCH_TGA)
bool decode_path(const char* path, tga_image* image, std::string* reason)
{
    return decode_tga_path(path, image, reason);
}
#endif

template <class Image>
void ours_picture(benchmark::State& state, const std::string& path)
{
    for (auto _ : state) {
        Image image;
        std::string reason;
        if (!decode_path(path.c_str(), &image, &reason)) {
            state.SkipWithError(reason.c_str());
            break;
        }
        benchmark::DoNotOptimize(image.rgba.data());
        benchmark::ClobberMemory();
    }
}

// The least a decode of an uncompressed 24-bit file can do: read the file's
// bytes as our decoders do (the same calls, the same block size) and write
// every byte of a fresh RGBA buffer of the same kind.
struct rows_shape {
    int32_t width = 0, height = 0;
    uint32_t header_bytes = 0;  // read first, as the decoder reads its header
    uint32_t pixel_offset = 0;
    int64_t row_bytes = 0;
    int64_t stride = 0;  // a row with its padding
};

void floor_rows(benchmark::State& state, const std::string& path, rows_shape shape)
{
    const int64_t row_bytes = shape.row_bytes;
    const int64_t stride = shape.stride;
    const int64_t block_rows = rows_per_read(stride);
    const int64_t rows = shape.height;
    const size_t out_row = static_cast<size_t>(shape.width) * 4;
    uint8_t window[CURSOR_WINDOW];
    for (auto _ : state) {
        FILE* file = std::fopen(path.c_str(), "rb");
        if (!file) {
            state.SkipWithError("cannot open the picture");
            break;
        }
        cursor c;
        cursor_over_file(&c, file, window, sizeof window);
        uint8_t headers[BMP_FILE_HEADER_SIZE + BMP_INFO_HEADER];
        read_bytes(&c, headers, shape.header_bytes);
        pixel_buffer rgba(out_row * static_cast<size_t>(rows));
        std::unique_ptr<uint8_t[]> block(
            new uint8_t[static_cast<size_t>(std::min(block_rows, rows) * stride)]);
        seek_to(&c, shape.pixel_offset);
        for (int64_t r = 0; r < rows;) {
            const int64_t n = std::min(block_rows, rows - r);
            const int64_t bytes = r + n < rows ? n * stride : (n - 1) * stride + row_bytes;
            read_bytes(&c, block.get(), static_cast<size_t>(bytes));
            std::memset(rgba.data() + static_cast<size_t>(r) * out_row, 255,
                        static_cast<size_t>(n) * out_row);
            r += n;
        }
        std::fclose(file);
        benchmark::DoNotOptimize(rgba.data());
        benchmark::ClobberMemory();
    }
}

void stb_picture(benchmark::State& state, const std::string& path)
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
    if (!load_3ds_model(&model, path.c_str(), nullptr, nullptr, nullptr) ||
        !lib3ds_flatten(path.c_str(), &flat))
        return false;
    const size_t v = flat.xyz.size() / 3, f = flat.corners.size() / 3;
    std::fprintf(stderr, "%s: ours %d vertices, %d faces; lib3ds %zu vertices, %zu faces\n",
                 path.c_str(), model.vertex_count, model.face_count, v, f);
    if (v != static_cast<size_t>(model.vertex_count) || f != static_cast<size_t>(model.face_count))
        return false;
    return std::memcmp(flat.xyz.data(), model.vertices, v * sizeof(model_vertex)) == 0 &&
           std::memcmp(flat.corners.data(), model.faces, f * sizeof(model_face)) == 0;
}

// Our loader's stdout for the file: what the floor writes.
std::string stdout_lines(const std::string& path)
{
    FILE* capture = std::tmpfile();
    load_3ds_model(&model, path.c_str(), nullptr, capture, nullptr);
    normalize_model(&model, capture);
    std::string lines;
    std::rewind(capture);
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, capture)) > 0;)
        lines.append(chunk, n);
    std::fclose(capture);
    return lines;
}

// The floor's shape of a 24-bit, uncompressed file; false for any other kind.
bool shape_of(const std::string& path, rows_shape* shape)
{
    bmp_image image;
    std::string reason;
    if (!decode_bmp_path(path.c_str(), &image, &reason) ||
        image.kind.compare(0, 25, "24 bits per pixel, uncomp") != 0)
        return false;
    uint8_t headers[BMP_FILE_HEADER_SIZE];
    FILE* f = std::fopen(path.c_str(), "rb");
    const bool read = f && std::fread(headers, 1, sizeof headers, f) == sizeof headers;
    if (f)
        std::fclose(f);
    shape->width = image.width;
    shape->height = image.height;
    shape->header_bytes = BMP_FILE_HEADER_SIZE + BMP_INFO_HEADER;
    shape->pixel_offset = u32_at(headers + BMP_PIXEL_OFFSET);
    shape->row_bytes = bmp_row_bytes(image.width, 24);
    shape->stride = bmp_row_stride(image.width, 24);
    return read;
}

#if defined(BENCH_TGA)
// The same for a TGA file; false for an RLE one or any other depth.
bool shape_of_tga(const std::string& path, rows_shape* shape)
{
    tga_image image;
    std::string reason;
    if (!decode_tga_path(path.c_str(), &image, &reason) ||
        image.kind.compare(0, 46, "24 bits per pixel, true colour, uncompressed, ") != 0)
        return false;
    uint8_t header[TGA_HEADER_SIZE];
    FILE* f = std::fopen(path.c_str(), "rb");
    const bool read = f && std::fread(header, 1, sizeof header, f) == sizeof header;
    if (f)
        std::fclose(f);
    const uint32_t map_bytes = header[TGA_COLOUR_MAP_TYPE] == 1
        ? u16_at(header + TGA_MAP_LENGTH) * static_cast<uint32_t>(tga_pixel_bytes(header[TGA_MAP_ENTRY_BITS]))
        : 0;
    shape->width = image.width;
    shape->height = image.height;
    shape->header_bytes = TGA_HEADER_SIZE;
    shape->pixel_offset = TGA_HEADER_SIZE + header[TGA_ID_LENGTH] + map_bytes;
    shape->row_bytes = shape->stride = int64_t{image.width} * 3;
    return read;
}
#endif

template <class Image>
bool same_pixels(const std::string& path)
{
    Image image;
    std::string reason;
    int w = 0, h = 0, n = 0;
    unsigned char* pixels = stbi_load(path.c_str(), &w, &h, &n, 4);
    const bool ours = decode_path(path.c_str(), &image, &reason);
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

// Blocks of this size or more are mapped fresh from the system and unmapped
// when freed. Fixing the threshold also stops glibc from raising it after a
// large block is freed, which would hand later decodes warm heap memory.
constexpr int FRESH_FROM = 32 << 10;

}  // namespace

int main(int argc, char** argv)
{
    take_compare_options(&argc, argv);
    lines_sink = std::fopen("/dev/null", "w");
    if (!lines_sink) {
        std::perror("/dev/null");
        return 1;
    }
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const char* model_arg = option_value(argv[i], "--3ds");
        const char* bmp_arg = option_value(argv[i], "--bmp");
        const char* tga_arg = option_value(argv[i], "--tga");
        const char* value = model_arg ? model_arg : bmp_arg ? bmp_arg : tga_arg;
        if (!value) {
            argv[kept++] = argv[i];
            continue;
        }
        std::string label, path;
        if (!split_input(value, &label, &path)) {
            std::fprintf(stderr, "%s: expected LABEL:FILE\n", argv[i]);
            return 2;
        }
        if (!model_arg)
            mallopt(M_MMAP_THRESHOLD, FRESH_FROM);
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
            const std::string lines = stdout_lines(path);
            add_comparison(
                c, [path](benchmark::State& s) { ours_3ds(s, path); },
                [path](benchmark::State& s) { lib3ds_3ds(s, path); },
                [path, lines](benchmark::State& s) { floor_3ds(s, path, lines); });
        } else if (bmp_arg) {
            if (!same_pixels<bmp_image>(path)) {
                std::fprintf(stderr, "%s: the two decoders disagree; not comparing\n",
                             path.c_str());
                return 1;
            }
            rows_shape shape;
            if (!shape_of(path, &shape)) {
                std::fprintf(stderr, "%s: not a 24-bit uncompressed BMP; no floor for it\n",
                             path.c_str());
                return 1;
            }
            c.what = "bmp_decode";
            c.peer = "stb_image";
            c.rate = rate_kind::megabytes;
            add_comparison(
                c, [path](benchmark::State& s) { ours_picture<bmp_image>(s, path); },
                [path](benchmark::State& s) { stb_picture(s, path); },
                [path, shape](benchmark::State& s) { floor_rows(s, path, shape); });
        } else {
#if defined(BENCH_TGA)
            if (!same_pixels<tga_image>(path)) {
                std::fprintf(stderr, "%s: the two decoders disagree; not comparing\n",
                             path.c_str());
                return 1;
            }
            c.what = "tga_decode";
            c.peer = "stb_image";
            c.rate = rate_kind::megabytes;
            rows_shape shape;
            bench_body floor;
            if (shape_of_tga(path, &shape))
                floor = [path, shape](benchmark::State& s) { floor_rows(s, path, shape); };
            add_comparison(
                c, [path](benchmark::State& s) { ours_picture<tga_image>(s, path); },
                [path](benchmark::State& s) { stb_picture(s, path); }, floor);
#else
            std::fprintf(stderr, "%s: this formats/ has no TGA decoder\n", argv[i]);
            return 2;
#endif
        }
    }
    argv[kept] = nullptr;
    return run_comparisons(kept, argv);
}
