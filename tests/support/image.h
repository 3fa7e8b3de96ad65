// RGB pictures taken from windows, and the few measures tests make on them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace test_support {

struct rgb_pixel {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const rgb_pixel& other) const { return r == other.r && g == other.g && b == other.b; }
    bool operator!=(const rgb_pixel& other) const { return !(*this == other); }
};

// Rows top first, three bytes a pixel.
struct rgb_image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    rgb_image() = default;
    rgb_image(int width, int height);

    bool empty() const { return width <= 0 || height <= 0; }
    rgb_pixel at(int x, int y) const;
    void set(int x, int y, rgb_pixel colour);
};

// Mean of all channels of all pixels, 0 to 255.
double mean_value(const rgb_image& image);

// Pixels with some channel above `threshold`.
long count_non_black(const rgb_image& image, int threshold = 0);

// Largest difference of one channel between the two; -1 if the sizes differ.
int max_channel_difference(const rgb_image& a, const rgb_image& b);

// Pixels whose largest channel difference exceeds `tolerance`; -1 if the sizes differ.
long count_different(const rgb_image& a, const rgb_image& b, int tolerance = 0);

// The first place two pictures differ ("pixel (x, y) from the top is ...",
// or the sizes), or empty when they are equal.
std::string first_difference(const rgb_image& got, const rgb_image& want);

// Binary PPM (P6, maxval 255) and PNG, 8 bits a channel. Reading a PNG gives
// its stored values (no gamma), alpha dropped, grey and palettes expanded;
// nothing when the file cannot be read.
bool write_ppm(const rgb_image& image, const std::string& path);
std::optional<rgb_image> read_ppm(const std::string& path);
bool write_png(const rgb_image& image, const std::string& path);
std::optional<rgb_image> read_png(const std::string& path);

// Where a test leaves pictures for a person to look at: $E2E_ARTIFACT_DIR,
// or ./e2e-artifacts under the test's working directory (made on demand).
std::string artifact_path(const std::string& file_name);

}  // namespace test_support
