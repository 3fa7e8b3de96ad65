#include "support/image.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <png.h>

#include "formats/writer.h"

namespace test_support {

rgb_image::rgb_image(int width, int height)
    : width(width), height(height), rgb(static_cast<size_t>(std::max(width, 0)) * std::max(height, 0) * 3)
{
}

rgb_pixel rgb_image::at(int x, int y) const
{
    const size_t i = (static_cast<size_t>(y) * width + x) * 3;
    return rgb_pixel{rgb[i], rgb[i + 1], rgb[i + 2]};
}

void rgb_image::set(int x, int y, rgb_pixel colour)
{
    const size_t i = (static_cast<size_t>(y) * width + x) * 3;
    rgb[i] = colour.r;
    rgb[i + 1] = colour.g;
    rgb[i + 2] = colour.b;
}

double mean_value(const rgb_image& image)
{
    if (image.rgb.empty())
        return 0.0;
    double sum = 0.0;
    for (std::uint8_t v : image.rgb)
        sum += v;
    return sum / image.rgb.size();
}

long count_non_black(const rgb_image& image, int threshold)
{
    long count = 0;
    for (size_t i = 0; i + 2 < image.rgb.size(); i += 3) {
        if (image.rgb[i] > threshold || image.rgb[i + 1] > threshold || image.rgb[i + 2] > threshold)
            ++count;
    }
    return count;
}

int max_channel_difference(const rgb_image& a, const rgb_image& b)
{
    if (a.width != b.width || a.height != b.height)
        return -1;
    int most = 0;
    for (size_t i = 0; i < a.rgb.size(); ++i)
        most = std::max(most, std::abs(int(a.rgb[i]) - int(b.rgb[i])));
    return most;
}

long count_different(const rgb_image& a, const rgb_image& b, int tolerance)
{
    if (a.width != b.width || a.height != b.height)
        return -1;
    long count = 0;
    for (size_t i = 0; i + 2 < a.rgb.size(); i += 3) {
        for (size_t c = 0; c < 3; ++c) {
            if (std::abs(int(a.rgb[i + c]) - int(b.rgb[i + c])) > tolerance) {
                ++count;
                break;
            }
        }
    }
    return count;
}

std::string first_difference(const rgb_image& got, const rgb_image& want)
{
    if (got.width != want.width || got.height != want.height)
        return "size " + std::to_string(got.width) + "x" + std::to_string(got.height) + ", want " +
               std::to_string(want.width) + "x" + std::to_string(want.height);
    for (int y = 0; y < want.height; ++y) {
        for (int x = 0; x < want.width; ++x) {
            const rgb_pixel a = got.at(x, y), b = want.at(x, y);
            if (a != b) {
                char text[160];
                std::snprintf(text, sizeof text, "pixel (%d, %d) from the top is %d %d %d, want %d %d %d", x, y,
                              a.r, a.g, a.b, b.r, b.g, b.b);
                return text;
            }
        }
    }
    return "";
}

bool write_ppm(const rgb_image& image, const std::string& path)
{
    return formats::write_file(path, formats::make_ppm(image.width, image.height, image.rgb.data(),
                                                       static_cast<ptrdiff_t>(image.width) * 3));
}

std::optional<rgb_image> read_ppm(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int width = 0, height = 0, maxval = 0;
    in >> magic >> width >> height >> maxval;
    if (!in || magic != "P6" || maxval != 255 || width < 0 || height < 0 || in.get() != '\n')
        return std::nullopt;
    rgb_image image(width, height);
    in.read(reinterpret_cast<char*>(image.rgb.data()), static_cast<std::streamsize>(image.rgb.size()));
    if (static_cast<size_t>(in.gcount()) != image.rgb.size() || in.peek() != EOF)
        return std::nullopt;
    return image;
}

bool write_png(const rgb_image& image, const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool written = false;
    if (info && !setjmp(png_jmpbuf(png))) {
        png_init_io(png, f);
        png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                     PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < image.height; ++y)
            png_write_row(png, image.rgb.data() + static_cast<size_t>(y) * image.width * 3);
        png_write_end(png, nullptr);
        written = true;
    }
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0 && written;
}

std::optional<rgb_image> read_png(const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return std::nullopt;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::optional<rgb_image> image;
    if (info && !setjmp(png_jmpbuf(png))) {
        png_init_io(png, f);
        png_read_png(png, info,
                     PNG_TRANSFORM_STRIP_16 | PNG_TRANSFORM_STRIP_ALPHA | PNG_TRANSFORM_PACKING |
                         PNG_TRANSFORM_EXPAND | PNG_TRANSFORM_GRAY_TO_RGB,
                     nullptr);
        const int width = static_cast<int>(png_get_image_width(png, info));
        const int height = static_cast<int>(png_get_image_height(png, info));
        png_bytepp rows = png_get_rows(png, info);
        image.emplace(width, height);
        for (int y = 0; y < height; ++y)
            std::copy(rows[y], rows[y] + 3 * width, image->rgb.begin() + static_cast<long>(y) * width * 3);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    return image;
}

std::string artifact_path(const std::string& file_name)
{
    const char* dir = std::getenv("E2E_ARTIFACT_DIR");
    const std::string folder = dir && *dir ? dir : "e2e-artifacts";
    mkdir(folder.c_str(), 0777);
    return folder + "/" + file_name;
}

}  // namespace test_support
