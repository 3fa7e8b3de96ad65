// The TGA decoder on every kind our writer makes, and asset_info against
// ImageMagick's own decode of the TGA files ImageMagick writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "formats/tga.h"
#include "formats/writer.h"
#include "support/files.h"
#include "support/image.h"
#include "support/process.h"

namespace {

using namespace formats;

// Channel values a 5-bit channel holds exactly (5-bit 0, 3, 16, 31): 25 and
// 132 are where rounding differs from cutting and from repeating the top bits.
const uint8_t LEVELS[] = {0, 25, 132, 255};

// Pixel `i` of a picture `width` wide: the first third of each row flat, so
// RLE files hold runs, the rest changing from pixel to pixel.
int32_t sample(int32_t i, int32_t width)
{
    const int32_t x = i % width, y = i / width;
    return x < width / 3 ? y : x + 2 * y + x * y / 3;
}

struct tga_kind {
    const char* name;
    uint8_t type, bits;
    uint8_t map_bits;  // 0: no colour map
    uint16_t map_first, map_entries;
    bool top_left, right_to_left;
    const char* image_id;
    int32_t width, height;
    size_t cut;        // bytes cut from the file's end
    const char* note;  // a part of the notes; empty: none
};

// What decoding must give: `source` in RGBA, bottom row first; and how many
// pixels have an index outside the map.
std::vector<uint8_t> expected_rgba(const tga_kind& k, const std::vector<uint8_t>& source,
                                   const std::vector<uint8_t>& map, int* misses)
{
    const uint8_t plain = k.type & ~TGA_RLE_BIT;
    std::vector<uint8_t> rgba;
    for (size_t i = 0; i < static_cast<size_t>(k.width) * k.height; ++i) {
        if (plain == TGA_GREY) {
            rgba.insert(rgba.end(), {source[i], source[i], source[i], 255});
        } else if (plain == TGA_MAPPED) {
            const int entry = source[i] - k.map_first;
            const bool in_map = entry >= 0 && entry < k.map_entries;
            *misses += !in_map;
            const uint8_t* e = &map[4 * (in_map ? entry : 0)];
            rgba.insert(rgba.end(), {in_map ? e[0] : uint8_t{0}, in_map ? e[1] : uint8_t{0},
                                     in_map ? e[2] : uint8_t{0},
                                     in_map && k.map_bits == 32 ? e[3] : uint8_t{255}});
        } else {
            rgba.insert(rgba.end(), {source[4 * i], source[4 * i + 1], source[4 * i + 2],
                                     k.bits == 32 ? source[4 * i + 3] : uint8_t{255}});
        }
    }
    return rgba;
}

TEST(TgaDecode, EveryKindOurWriterMakesDecodesToItsPicture)
{
    const uint8_t RAW = TGA_TRUE_COLOUR, RLE = TGA_RLE_TRUE_COLOUR;
    const tga_kind kinds[] = {
        {"24-bit", RAW, 24, 0, 0, 0, false, false, "", 150, 7, 0, ""},
        // Several blocks of rows, placed from the top.
        {"24-bit, top-left, 1021 wide", RAW, 24, 0, 0, 0, true, false, "", 1021, 70, 0, ""},
        {"24-bit RLE", RLE, 24, 0, 0, 0, false, false, "", 150, 7, 0, ""},
        {"24-bit RLE, top right", RLE, 24, 0, 0, 0, true, true, "", 150, 7, 0, ""},
        {"32-bit, top-left", RAW, 32, 0, 0, 0, true, false, "", 150, 7, 0, ""},
        {"32-bit RLE, right to left", RLE, 32, 0, 0, 0, false, true, "", 150, 7, 0, ""},
        {"16-bit", RAW, 16, 0, 0, 0, false, false, "", 150, 7, 0, ""},
        {"15-bit RLE, top-left", RLE, 15, 0, 0, 0, true, false, "", 150, 7, 0, ""},
        {"grey", TGA_GREY, 8, 0, 0, 0, false, false, "", 150, 7, 0, ""},
        {"grey RLE, top-left", TGA_RLE_GREY, 8, 0, 0, 0, true, false, "", 150, 7, 0, ""},
        {"mapped, 24-bit map", TGA_MAPPED, 8, 24, 0, 256, false, false, "", 150, 7, 0, ""},
        {"mapped RLE, 16-bit map from 5", TGA_RLE_MAPPED, 8, 16, 5, 40, false, false, "", 150, 7, 0,
         " pixels use colour indices outside the colour map (40 entries from index 5)"},
        {"mapped, 32-bit map, top right", TGA_MAPPED, 8, 32, 0, 64, true, true, "", 150, 7, 0,
         " pixels use colour indices outside"},
        {"mapped RLE, 15-bit map", TGA_RLE_MAPPED, 8, 15, 1, 255, false, false, "", 150, 7, 0,
         " pixels use colour indices outside"},
        {"image ID and a map true colour ignores", RAW, 24, 24, 0, 3, false, false, "an ID", 150, 7,
         0, ""},
        {"cut in its second-last row", RAW, 24, 0, 0, 0, true, false, "", 150, 7, 150 * 3 * 3 / 2,
         "2 of 7 rows missing"},
        {"RLE cut short", RLE, 32, 0, 0, 0, false, true, "", 150, 7, 100, "RLE data ends early"},
    };
    for (const tga_kind& k : kinds) {
        SCOPED_TRACE(k.name);
        const uint8_t plain = k.type & ~TGA_RLE_BIT;
        const int32_t pixels = k.width * k.height;
        std::vector<uint8_t> source;
        for (int32_t i = 0; i < pixels; ++i) {
            // Channels of a pixel always differ; indices reach past every map.
            if (plain == TGA_TRUE_COLOUR)
                for (int ch = 0; ch < 4; ++ch)
                    source.push_back(LEVELS[(sample(i, k.width) + ch) % 4]);
            else
                source.push_back(static_cast<uint8_t>(sample(i, k.width) * 7 % 251));
        }
        tga_options options;
        options.image_type = k.type;
        options.bits = k.bits;
        options.top_left = k.top_left;
        options.right_to_left = k.right_to_left;
        options.image_id = k.image_id;
        options.map_bits = k.map_bits;
        options.map_first = k.map_first;
        for (int i = 0; i < 4 * k.map_entries; ++i)
            options.map_rgba.push_back(LEVELS[(i + i / 9) % 4]);
        std::vector<uint8_t> bytes = make_tga(k.width, k.height, source, options);
        bytes.resize(bytes.size() - k.cut);

        tga_image image;
        std::string reason;
        ASSERT_TRUE(decode_tga(bytes.data(), bytes.size(), &image, &reason)) << reason;
        ASSERT_EQ(image.width, k.width);
        ASSERT_EQ(image.height, k.height);
        tga_picture picture;
        ASSERT_TRUE(read_tga_picture(bytes.data(), bytes.size(), &picture, &reason)) << reason;
        EXPECT_EQ(picture.width, k.width);
        EXPECT_EQ(picture.height, k.height);
        int misses = 0;
        const std::vector<uint8_t> want = expected_rgba(k, source, options.map_rgba, &misses);
        // Indices outside the map are counted, in runs too.
        const std::string note = (misses > 0 ? std::to_string(misses) : "") + k.note;
        const std::string notes = join_notes(image.notes);
        if (note.empty())
            EXPECT_EQ(notes, "");
        else
            EXPECT_NE(notes.find(note), std::string::npos) << notes;

        // In the order stored, the pixels decoded match and any after them are zero.
        int32_t matched = 0;
        for (int32_t s = 0; s < pixels; ++s) {
            const int32_t row = k.top_left ? k.height - 1 - s / k.width : s / k.width;
            const int32_t x = k.right_to_left ? k.width - 1 - s % k.width : s % k.width;
            const size_t at = (static_cast<size_t>(row) * k.width + x) * 4;
            const bool same = std::equal(&want[at], &want[at] + 4, &image.rgba[at]);
            if (same && matched == s)
                ++matched;
            else
                ASSERT_EQ(image.rgba[at] | image.rgba[at + 1] | image.rgba[at + 2] |
                              image.rgba[at + 3], 0)
                    << "stored pixel " << s << " (column " << x << ", row " << row
                    << " from the bottom)";
        }
        if (k.cut == 0)
            EXPECT_EQ(matched, pixels);
        else
            EXPECT_GT(matched, 0);
    }
}

// A field the header cannot hold is refused whole, not cut to fit: a cut one
// would describe another file.
TEST(TgaWriter, RefusesWhatTheHeaderCannotState)
{
    const struct {
        const char* name;
        int32_t width, height;
        size_t id_bytes, map_entries;
    } cases[] = {
        {"255-byte ID and a 65535-entry map, the most there is room for", 2, 1, 255, 65535},
        {"256-byte ID", 2, 1, 256, 4},
        {"65536-entry map", 2, 1, 0, 65536},
        {"65536 pixels wide", 65536, 1, 0, 4},
        {"negative height", 2, -1, 0, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tga_options o;
        o.image_type = TGA_MAPPED;
        o.bits = 8;
        o.image_id.assign(c.id_bytes, 'i');
        o.map_rgba.assign(4 * c.map_entries, 200);
        const std::vector<uint8_t> file = make_tga(c.width, c.height, {0, 1}, o);
        if (c.id_bytes > 255 || c.map_entries > 65535 || c.width > 65535 || c.height < 0) {
            EXPECT_TRUE(file.empty());
            continue;
        }
        tga_image image;
        std::string reason;
        ASSERT_TRUE(decode_tga(file.data(), file.size(), &image, &reason)) << reason;
        EXPECT_NE(image.kind.find("65535-entry 24-bit colour map from index 0, 255-byte image ID"),
                  std::string::npos) << image.kind;
        EXPECT_EQ(join_notes(image.notes), "");
    }
}

bool have_imagemagick()
{
    try {
        return test_support::run_program({"convert", "-version"}).code() == 0;
    } catch (const std::runtime_error&) {
        return false;
    }
}

// Every header the decoder refuses, each with its own reason and before
// anything is allocated: a valid 4 x 3 file with one header field changed.
TEST(TgaDecode, RefusesWhatItCannotDecodeAndSaysWhy)
{
    struct refusal {
        size_t field;
        int value;  // a byte, or a 16-bit side for the width and height fields
        uint8_t type;
        const char* reason;
    };
    const refusal refusals[] = {
        {TGA_IMAGE_TYPE, TGA_NO_IMAGE, TGA_TRUE_COLOUR, "holds no picture"},
        {TGA_IMAGE_TYPE, 32, TGA_TRUE_COLOUR, "image type 32 is not one this decoder knows"},
        {TGA_COLOUR_MAP_TYPE, 2, TGA_TRUE_COLOUR, "colour map type 2 is unknown"},
        {TGA_COLOUR_MAP_TYPE, 0, TGA_MAPPED, "colour-mapped image without a colour map"},
        {TGA_MAP_ENTRY_BITS, 8, TGA_MAPPED, "colour map entries of 8 bits"},
        {TGA_PIXEL_BITS, 16, TGA_MAPPED, "colour indices of 16 bits are not decoded"},
        {TGA_PIXEL_BITS, 16, TGA_GREY, "grey pixels of 16 bits are not decoded"},
        {TGA_PIXEL_BITS, 12, TGA_TRUE_COLOUR, "12 bits per pixel is not a TGA true-colour depth"},
        {TGA_WIDTH, 0, TGA_TRUE_COLOUR, "has no area"},
        {TGA_HEIGHT, 40000, TGA_TRUE_COLOUR, "larger than 32768 on a side"},
        {TGA_MAP_LENGTH, 60000, TGA_MAPPED, "past the end of the file"},
        {TGA_HEIGHT, 3000, TGA_TRUE_COLOUR, "the file holds"},
        {TGA_HEIGHT, 3000, TGA_RLE_TRUE_COLOUR, "bytes of RLE data"},
    };
    for (const refusal& r : refusals) {
        SCOPED_TRACE(r.reason);
        tga_options o;
        o.image_type = r.type;
        const bool one_byte = (r.type & ~TGA_RLE_BIT) != TGA_TRUE_COLOUR;
        o.bits = one_byte ? 8 : 24;
        if ((r.type & ~TGA_RLE_BIT) == TGA_MAPPED)
            o.map_rgba.assign(16, 200);
        std::vector<uint8_t> file = make_tga(4, 3, std::vector<uint8_t>(12 * (one_byte ? 1 : 4), 1), o);
        file[r.field] = static_cast<uint8_t>(r.value);
        if (r.field == TGA_WIDTH || r.field == TGA_HEIGHT || r.field == TGA_MAP_LENGTH)
            file[r.field + 1] = static_cast<uint8_t>(r.value >> 8);
        tga_image image;
        std::string reason;
        EXPECT_FALSE(decode_tga(file.data(), file.size(), &image, &reason));
        EXPECT_NE(reason.find(r.reason), std::string::npos) << reason;
        EXPECT_EQ(image.rgba.size(), 0u);
        // The page weighs a picture by its header before decoding it: a file the
        // decoder refuses must get the decoder's reason, not "too large".
        tga_picture picture;
        std::string header_reason;
        EXPECT_FALSE(read_tga_picture(file.data(), file.size(), &picture, &header_reason));
        EXPECT_EQ(header_reason, reason);
    }
    tga_image image;
    tga_picture picture;
    std::string reason;
    EXPECT_FALSE(decode_tga("\0\0\2", 3, &image, &reason));
    EXPECT_NE(reason.find("too short for a TGA header"), std::string::npos) << reason;
    EXPECT_FALSE(read_tga_picture("\0\0\2", 3, &picture, &reason));
    EXPECT_NE(reason.find("too short for a TGA header"), std::string::npos) << reason;
    EXPECT_FALSE(decode_tga_path("/nonexistent/x.tga", &image, &reason));
    EXPECT_EQ(reason.rfind("cannot open: ", 0), 0u) << reason;
}

// ImageMagick writes no 16-bit TGA, and reads 5-bit channels rounded down;
// 8-bit channels it writes and reads exactly. Its reader hands a bottom-left
// file's rows over in stored order and names the orientation; -auto-orient
// turns them.
TEST(AssetInfoTga, WritesThePictureImageMagickDecodesFromTheTgaItWrote)
{
    if (!have_imagemagick())
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    const struct {
        const char* name;
        std::vector<std::string> options;
        const char* kind;  // a part of the kind asset_info names
    } cases[] = {
        {"rgb24", {}, "24 bits per pixel, true colour, uncompressed, bottom-left"},
        {"rgb24-rle", {"-compress", "RLE"}, "24 bits per pixel, true colour, RLE"},
        {"rgb24-top-left", {"-orient", "TopLeft"}, "top-left origin"},
        {"rgba32", {"-alpha", "set", "-channel", "A", "-fx", "i/w", "+channel"}, "32 bits"},
        {"rgba32-rle", {"-alpha", "set", "-compress", "RLE"}, "32 bits per pixel, true colour, RLE"},
        {"grey", {"-type", "Grayscale"}, "8 bits per pixel, grey, uncompressed"},
        {"grey-rle", {"-type", "Grayscale", "-compress", "RLE"}, "grey, RLE"},
        {"palette", {"-type", "Palette"}, "colour-mapped, uncompressed"},
        {"palette-rle-top-left", {"-type", "Palette", "-compress", "RLE", "-orient", "TopLeft"},
         "colour-mapped, RLE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string tga = test_support::temp_path(std::string(c.name) + ".tga");
        const std::string theirs = test_support::temp_path(std::string(c.name) + "-imagemagick.ppm");
        const std::string ours = test_support::temp_path(std::string(c.name) + "-ours.ppm");
        std::vector<std::string> write = {"convert", "rose:"};
        write.insert(write.end(), c.options.begin(), c.options.end());
        write.push_back(tga);
        const test_support::run_result wrote = test_support::run_program(write);
        ASSERT_EQ(wrote.code(), 0) << wrote.err;
        const test_support::run_result read = test_support::run_program({"convert", tga, "-auto-orient", theirs});
        ASSERT_EQ(read.code(), 0) << read.err;

        const test_support::run_result r = test_support::run_program({ASSET_INFO, "texture", tga, "--ppm", ours});
        EXPECT_EQ(r.code(), 0) << r.err;
        EXPECT_EQ(r.out, "70x46\n");
        EXPECT_NE(r.err.find(c.kind), std::string::npos) << r.err;
        const std::optional<test_support::rgb_image> got = test_support::read_ppm(ours);
        const std::optional<test_support::rgb_image> want = test_support::read_ppm(theirs);
        ASSERT_TRUE(got);
        ASSERT_TRUE(want);
        EXPECT_EQ(test_support::first_difference(*got, *want), "");
    }
}

}  // namespace
