// Inspects a model or a texture the way model_viewer reads it.
//
//   asset_info model FILE              stdout: exactly the viewer's loading lines
//   asset_info texture FILE [--ppm OUT]  stdout: WIDTHxHEIGHT; OUT: the decoded picture
//
// A texture whose name ends in .tga (any case) is read as TGA, any other as BMP.
//
// Everything else (summaries, the texture files a model names, reasons)
// goes to stderr.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "formats/bmp.h"
#include "formats/texture_names.h"
#include "formats/tga.h"
#include "formats/writer.h"
#include "fixed6.h"
#include "model.h"
#include "program_name.h"

namespace {

Model model;

int usage(const char* argv0)
{
    const std::string name = program_name(argv0, "asset_info");
    std::fprintf(stderr,
                 "usage: %s model FILE\n"
                 "       %s texture FILE [--ppm OUT]\n",
                 name.c_str(), name.c_str());
    return 2;
}

// Whether `name` ends in `ending` (lower case, with its dot), in any case.
bool has_ending(const std::string& name, const char* ending)
{
    const size_t n = std::strlen(ending);
    if (name.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(name[name.size() - n + i])) != ending[i])
            return false;
    return true;
}

// In the loading lines' own number format, which reads the same on every build.
void print_bounds(const char* label, const formats::box3& b)
{
    std::fprintf(stderr, "%s: x %s .. %s, y %s .. %s, z %s .. %s\n", label, fixed6(b.min[0]).c_str(),
                 fixed6(b.max[0]).c_str(), fixed6(b.min[1]).c_str(), fixed6(b.max[1]).c_str(),
                 fixed6(b.min[2]).c_str(), fixed6(b.max[2]).c_str());
}

// Which files the model's materials name, and how the first, which the
// viewer draws over the whole model, becomes szablon.bmp: the viewer reads
// only BMPs, so any other picture is converted, never copied.
void print_texture_names(const char* path)
{
    FILE* file = std::fopen(path, "rb");
    if (!file)
        return;
    const std::vector<std::string> names = formats::read_3ds_texture_names_file(file);
    std::fclose(file);
    std::string line;
    for (const std::string& name : names)
        line += (line.empty() ? "" : ", ") + name;
    std::fprintf(stderr, "texture map names: %s\n", line.empty() ? "none" : line.c_str());
    if (names.empty())
        return;
    const std::string& first = names[0];
    if (has_ending(first, ".bmp")) {
        std::fprintf(stderr, "szablon.bmp: %s, copied as it is\n", first.c_str());
    } else {
        std::fprintf(stderr,
                     "szablon.bmp: %s made a BMP: convert PICTURE -type TrueColor "
                     "BMP3:szablon.bmp, or the viewer page's \"Save for the desktop program\"\n",
                     first.c_str());
    }
}

int inspect_model(const char* path)
{
    model_report report;
    const bool opened = load_3ds_model(&model, path, &report);
    normalize_model(&model);
    if (!opened) {
        std::fprintf(stderr, "%s: cannot open\n", path);
        return 1;
    }
    std::fprintf(stderr, "vertices: %u\nfaces: %u\ntexture coordinates: %u\n",
                 report.vertices.stored, report.faces.stored, report.texcoords.stored);
    std::fprintf(stderr, "last object name: \"%.*s\"\n", 20, model.name);
    print_texture_names(path);
    if (model.vertex_count > 0) {
        print_bounds("bounds as read", report.bounds);
        print_bounds("bounds fitted", formats::vertex_bounds(model.vertices, model.vertex_count));
    }
    return 0;
}

// Either decoder's picture: both records have the same fields.
template <class Image>
bool write_ppm(const char* path, const Image& image)
{
    // Texture row 0 is the picture's bottom row; a PPM starts at the top.
    const ptrdiff_t row_bytes = static_cast<ptrdiff_t>(image.width) * 4;
    const uint8_t* top_row = image.rgba.data() + (image.height - 1) * row_bytes;
    return formats::write_file(
        path, formats::make_ppm(image.width, image.height, top_row, -row_bytes, 4));
}

bool decode_texture(const char* path, formats::bmp_image* image, std::string* reason)
{
    return formats::decode_bmp_path(path, image, reason);
}

bool decode_texture(const char* path, formats::tga_image* image, std::string* reason)
{
    return formats::decode_tga_path(path, image, reason);
}

template <class Image>
int inspect_texture(const char* path, const char* ppm_path)
{
    Image image;
    std::string reason;
    if (!decode_texture(path, &image, &reason)) {
        std::fprintf(stderr, "%s: %s\n", path, reason.c_str());
        return 1;
    }
    std::fprintf(stderr, "%s: %s\n", path, image.kind.c_str());
    if (!image.notes.empty())
        std::fprintf(stderr, "%s: %s\n", path, formats::join_notes(image.notes).c_str());
    if (ppm_path && !write_ppm(ppm_path, image)) {
        std::fprintf(stderr, "%s: cannot write\n", ppm_path);
        return 1;
    }
    std::printf("%dx%d\n", image.width, image.height);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "model") == 0)
        return inspect_model(argv[2]);
    const char* ppm_path = nullptr;
    if (argc == 5 && std::strcmp(argv[1], "texture") == 0 && std::strcmp(argv[3], "--ppm") == 0)
        ppm_path = argv[4];
    else if (argc != 3 || std::strcmp(argv[1], "texture") != 0)
        return usage(argv[0]);
    return has_ending(argv[2], ".tga") ? inspect_texture<formats::tga_image>(argv[2], ppm_path)
                              : inspect_texture<formats::bmp_image>(argv[2], ppm_path);
}
