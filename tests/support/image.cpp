#include "support/image.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "support/process.h"

namespace e2e {

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

bool write_ppm(const rgb_image& image, const std::string& path)
{
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << image.width << ' ' << image.height << "\n255\n";
    out.write(reinterpret_cast<const char*>(image.rgb.data()), static_cast<std::streamsize>(image.rgb.size()));
    return static_cast<bool>(out);
}

bool write_png(const rgb_image& image, const std::string& path)
{
    const std::string ppm = path + ".ppm";
    if (!write_ppm(image, ppm))
        return false;
    bool written = false;
    try {
        const run_result result = run_program({"convert", ppm, path}, std::chrono::seconds(30));
        written = result.status && result.status->exited_with(0);
    } catch (const std::exception&) {
        written = false;
    }
    std::remove(ppm.c_str());
    return written;
}

std::string artifact_path(const std::string& file_name)
{
    const char* dir = std::getenv("E2E_ARTIFACT_DIR");
    const std::string folder = dir && *dir ? dir : "e2e-artifacts";
    mkdir(folder.c_str(), 0777);
    return folder + "/" + file_name;
}

}  // namespace e2e
