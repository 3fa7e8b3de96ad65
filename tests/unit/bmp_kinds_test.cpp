// The BMP kinds besides uncompressed 24-bit: palettes, RLE, 16 and 32 bits
// with and without bit fields, OS/2 headers. The shared suite against its
// reference pictures, its broken files, and small files for each kind's edge.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bmp_checks.h"
#include "formats/writer.h"
#include "support/files.h"

namespace {

using namespace formats;

std::vector<std::string> suite_files(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(test_support::testdata_path("bmp/" + folder)))
        if (entry.path().extension() == ".bmp")
            names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool all_opaque(const bmp_image& image)
{
    for (size_t i = 3; i < image.rgba.size(); i += 4)
        if (image.rgba[i] != 255)
            return false;
    return true;
}

TEST(BmpSuite, EveryGoodFileMatchesItsReferencePicture)
{
    REQUIRE_TESTDATA();
    const std::vector<std::string> names = suite_files("good");
    ASSERT_GE(names.size(), 20u);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        bmp_image image;
        std::string reason;
        ASSERT_TRUE(decode_bmp_path(test_support::testdata_path("bmp/good/" + name + ".bmp").c_str(), &image,
                                    &reason))
            << reason;
        EXPECT_EQ(difference_from_reference(image, test_support::testdata_path("bmp/reference/" + name + ".png")), "");
        EXPECT_TRUE(all_opaque(image));
    }
}

TEST(BmpSuite, EveryBadFileIsRefusedOrDecodedWithANoteAndNoHugeAllocation)
{
    REQUIRE_TESTDATA();
    // What each known file must give: refused, or decoded with this note.
    const std::map<std::string, std::pair<bool, const char*>> expected = {
        {"badbitcount", {true, "30000 bits per pixel"}},
        {"badbitssize", {false, "image size field"}},
        {"baddens1", {false, "not square"}},
        {"baddens2", {false, "not square"}},
        {"badfilesize", {false, "file size field"}},
        {"badheadersize", {true, "info header of 66 bytes"}},
        {"badpalettesize", {false, "305402420 entries declared"}},
        {"badplanes", {false, "30000 colour planes"}},
        {"badrle", {false, "RLE"}},
        {"badrle4", {false, "RLE"}},
        {"badrle4bis", {false, "RLE"}},
        {"badrle4ter", {false, "RLE"}},
        {"badrlebis", {false, "RLE"}},
        {"badrleter", {false, "RLE"}},
        {"badwidth", {true, "no area"}},
        {"pal8badindex", {false, "past the 101-entry colour table"}},
        {"reallybig", {true, "larger than 32768"}},
        {"rgb16-880", {false, "blue no bits"}},
        {"rletopdown", {true, "top-down"}},
        {"shortfile", {true, "promises"}},
    };
    const std::vector<std::string> names = suite_files("bad");
    ASSERT_GE(names.size(), 10u);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string path = test_support::testdata_path("bmp/bad/" + name + ".bmp");
        const uintmax_t file_size = std::filesystem::file_size(path);
        bmp_image image;
        std::string reason;
        reset_largest_allocation();
        const bool decoded = decode_bmp_path(path.c_str(), &image, &reason);
        EXPECT_LE(largest_allocation(), std::max<uintmax_t>(4096, 64 * file_size));
        if (decoded) {
            EXPECT_FALSE(image.notes.empty());
            EXPECT_EQ(image.rgba.size(), static_cast<size_t>(image.width) * image.height * 4);
        } else {
            EXPECT_FALSE(reason.empty());
            EXPECT_TRUE(image.rgba.empty());
        }
        const auto known = expected.find(name);
        if (known == expected.end())
            continue;
        EXPECT_EQ(!decoded, known->second.first);
        const std::string said = decoded ? join_notes(image.notes) : reason;
        EXPECT_NE(said.find(known->second.second), std::string::npos) << said;
    }
}

// Colours that are neither black nor each other, so a wrong index shows.
std::vector<uint32_t> distinct_palette(int entries)
{
    std::vector<uint32_t> palette;
    for (int i = 0; i < entries; ++i)
        palette.push_back(static_cast<uint32_t>(i << 16 | (255 - i) << 8 | (i * 7 & 255)));
    return palette;
}

bmp_spec indexed_spec(int32_t width, int32_t height, uint16_t bits,
                      const std::vector<uint32_t>& indices)
{
    bmp_spec spec;
    spec.width = width;
    spec.height = height;
    spec.bits = bits;
    spec.palette = distinct_palette(1 << bits);
    spec.pixels = pack_bmp_rows(width, height, bits, indices);
    return spec;
}

TEST(BmpIndexed, EveryDepthLooksUpEachPixelsIndexWithRowPadding)
{
    for (const uint16_t bits : {1, 2, 4, 8}) {
        SCOPED_TRACE(std::to_string(bits) + " bits");
        const int32_t width = 13, height = 3;
        std::vector<uint32_t> indices;
        for (int32_t i = 0; i < width * height; ++i)
            indices.push_back(static_cast<uint32_t>(i * 7 + i / width) % (1u << bits));
        const bmp_spec spec = indexed_spec(width, height, bits, indices);
        bmp_image image;
        std::string reason;
        ASSERT_TRUE(decode_bytes(make_bmp(spec), &image, &reason)) << reason;
        EXPECT_EQ(join_notes(image.notes), "");
        for (int32_t row = 0; row < height; ++row)
            for (int32_t x = 0; x < width; ++x)
                ASSERT_EQ(texel_rgb(image, x, row), spec.palette[indices[row * width + x]])
                    << "pixel " << x << " of row " << row;
        EXPECT_TRUE(all_opaque(image));
    }
}

TEST(BmpIndexed, OnePixelWideOneBitImageReadsTheTopBitAndIgnoresTheRest)
{
    bmp_spec spec;
    spec.width = 1;
    spec.height = 3;
    spec.bits = 1;
    spec.palette = {0x112233, 0xAABBCC};
    // The rest of each 4-byte row is padding, set here so that it shows if read.
    spec.pixels = {0x80, 0, 0, 0, 0x7F, 0xFF, 0xFF, 0xFF, 0xC0, 0xFF, 0, 0};
    bmp_image image;
    std::string reason;
    ASSERT_TRUE(decode_bytes(make_bmp(spec), &image, &reason)) << reason;
    ASSERT_EQ(image.width, 1);
    ASSERT_EQ(image.height, 3);
    EXPECT_EQ(texel_rgb(image, 0, 0), 0xAABBCCu);
    EXPECT_EQ(texel_rgb(image, 0, 1), 0x112233u);
    EXPECT_EQ(texel_rgb(image, 0, 2), 0xAABBCCu);
}

TEST(BmpIndexed, ShortColourTablesDrawIndicesPastThemBlackAndSaySo)
{
    {
        SCOPED_TRACE("4 bits, 3 colours declared");
        bmp_spec spec = indexed_spec(6, 1, 4, {0, 1, 2, 3, 4, 15});
        spec.palette.resize(3);
        spec.colours_used = 3;
        bmp_image image;
        std::string reason;
        ASSERT_TRUE(decode_bytes(make_bmp(spec), &image, &reason)) << reason;
        for (int32_t x = 0; x < 3; ++x)
            EXPECT_EQ(texel_rgb(image, x, 0), spec.palette[x]);
        for (int32_t x = 3; x < 6; ++x)
            EXPECT_EQ(texel_rgb(image, x, 0), 0u);
        EXPECT_TRUE(all_opaque(image));
        EXPECT_NE(join_notes(image.notes).find("3 pixels use colour indices past the 3-entry"),
                  std::string::npos)
            << join_notes(image.notes);
    }
    {
        SCOPED_TRACE("8 bits, a full table declared, room for 2 before the pixels");
        bmp_spec spec = indexed_spec(3, 1, 8, {1, 0, 1});
        spec.palette.resize(2);
        bmp_image image;
        std::string reason;
        ASSERT_TRUE(decode_bytes(make_bmp(spec), &image, &reason)) << reason;
        EXPECT_EQ(texel_rgb(image, 0, 0), spec.palette[1]);
        EXPECT_EQ(texel_rgb(image, 1, 0), spec.palette[0]);
        EXPECT_NE(join_notes(image.notes).find("cut to the 2 entries"), std::string::npos) << join_notes(image.notes);
    }
    {
        SCOPED_TRACE("1 bit, 5 colours declared");
        bmp_spec spec = indexed_spec(2, 1, 1, {1, 0});
        spec.palette = distinct_palette(5);
        spec.colours_used = 5;
        bmp_image image;
        std::string reason;
        ASSERT_TRUE(decode_bytes(make_bmp(spec), &image, &reason)) << reason;
        EXPECT_EQ(texel_rgb(image, 0, 0), spec.palette[1]);
        EXPECT_EQ(texel_rgb(image, 1, 0), spec.palette[0]);
        EXPECT_NE(join_notes(image.notes).find("5 entries declared"), std::string::npos) << join_notes(image.notes);
    }
}

constexpr int K = -1;  // a pixel the stream leaves black

struct rle_case {
    const char* name;
    uint16_t bits;  // 8: RLE8, 4: RLE4
    int32_t width, height;
    std::vector<uint8_t> stream;
    std::vector<std::vector<int>> rows;  // palette indices, bottom row first
    const char* note;                    // a part of the warning; "" for none
};

TEST(BmpRle, StreamsDecodeAndMalformedOnesKeepWhatCameBeforeTheFault)
{
    const rle_case cases[] = {
        {"RLE8 runs, literal, end of line, delta, end",
         8, 6, 3,
         {3, 1, 0, 3, 2, 3, 1, 0, 0, 0,  // row 0: run of three 1s, literal 2 3 1 (padded)
          0, 2, 2, 0, 2, 2, 0, 0,        // row 1: two pixels skipped, two 2s
          1, 3, 0, 1},                   // row 2: one 3, then the end
         {{1, 1, 1, 2, 3, 1}, {K, K, 2, 2, K, K}, {3, K, K, K, K, K}},
         ""},
        {"RLE4 runs alternate nibbles, literals pack two a byte",
         4, 5, 2,
         {5, 0x12, 0, 0,         // row 0: 1 2 1 2 1
          0, 3, 0x34, 0x50, 0, 1},  // row 1: literal 3 4 5 (two bytes), end
         {{1, 2, 1, 2, 1}, {3, 4, 5, K, K}},
         ""},
        {"delta past the end of the row", 8, 4, 2, {2, 1, 0, 2, 3, 0, 2, 2, 0, 1},
         {{1, 1, K, K}, {K, K, K, K}}, "delta moves past the image"},
        {"delta past the last row", 8, 4, 2, {2, 1, 0, 2, 0, 2, 2, 2, 0, 1},
         {{1, 1, K, K}, {K, K, K, K}}, "delta moves past the image"},
        {"run past the end of the row", 8, 4, 2, {6, 1, 0, 0, 2, 2, 0, 1},
         {{1, 1, 1, 1}, {2, 2, K, K}}, "pass the end of a row"},
        {"literal past the end of the row", 8, 4, 1, {0, 5, 1, 2, 3, 1, 2, 0, 0, 1},
         {{1, 2, 3, 1}}, "pass the end of a row"},
        {"RLE4 run past the end of the row", 4, 4, 1, {5, 0x12, 0, 1}, {{1, 2, 1, 2}},
         "pass the end of a row"},
        {"stream without its end code", 8, 4, 2, {2, 1}, {{1, 1, K, K}, {K, K, K, K}},
         "ends without its end code"},
        {"literal cut off by the end of the file", 8, 4, 1, {1, 2, 0, 5, 1, 2},
         {{2, K, K, K}}, "ends inside a literal"},
        {"delta cut off by the end of the file", 8, 4, 1, {1, 2, 0, 2, 1}, {{2, K, K, K}},
         "ends inside a delta"},
        {"data past the last row", 8, 2, 1, {1, 3, 0, 0, 2, 1, 0, 1}, {{3, K}},
         "past the last row"},
        {"indices past the colour table", 8, 3, 1, {1, 2, 2, 200, 0, 1}, {{2, K, K}},
         "2 pixels use colour indices past the 16-entry colour table"},
    };
    for (const rle_case& c : cases) {
        SCOPED_TRACE(c.name);
        bmp_spec spec;
        spec.width = c.width;
        spec.height = c.height;
        spec.bits = c.bits;
        spec.compression = c.bits == 8 ? BMP_BI_RLE8 : BMP_BI_RLE4;
        spec.palette = distinct_palette(16);
        spec.colours_used = 16;
        spec.pixels = c.stream;
        bmp_image image;
        std::string reason;
        ASSERT_TRUE(decode_bytes(make_bmp(spec), &image, &reason)) << reason;
        ASSERT_EQ(image.height, c.height);
        for (int32_t row = 0; row < c.height; ++row)
            for (int32_t x = 0; x < c.width; ++x) {
                const int index = c.rows[row][x];
                EXPECT_EQ(texel_rgb(image, x, row), index == K ? 0u : spec.palette[index])
                    << "pixel " << x << " of row " << row;
            }
        EXPECT_TRUE(all_opaque(image));
        if (*c.note == '\0')
            EXPECT_EQ(join_notes(image.notes), "");
        else
            EXPECT_NE(join_notes(image.notes).find(c.note), std::string::npos) << join_notes(image.notes);
    }
}

struct masked_case {
    const char* name;
    uint16_t bits;
    uint32_t compression;
    uint32_t info_size;
    std::vector<uint32_t> masks;
    uint32_t pixel;
    uint32_t want;  // 0xRRGGBB
};

TEST(BmpMasked, ChannelsAreCutOutByTheirMasksAndScaledByRounding)
{
    // Raw 3 of 5 bits is 24.7, so 25; bit replication would give 24. Raw 3 of
    // 10 bits is 0.75, so 1; dropping the low bits would give 0.
    const masked_case cases[] = {
        {"16 bits, 5-5-5 by default, top bit unused", 16, BMP_BI_RGB, 40, {}, 0x8C63, 0x191919},
        {"16 bits, 5-6-5 fields", 16, BMP_BI_BITFIELDS, 40, {0xF800, 0x07E0, 0x001F},
         0x0000 | (33 << 5) | 31, 0x0086FF},
        {"16 bits, masks of 1 and 10 bits", 16, BMP_BI_BITFIELDS, 40, {0x8000, 0x7FE0, 0x001F},
         0x8000 | (3 << 5) | 3, 0xFF0119},
        {"16 bits, 4-4-4 with an alpha mask, alpha kept opaque", 16, BMP_BI_ALPHABITFIELDS, 40,
         {0x0F00, 0x00F0, 0x000F, 0xF000}, 0x0F5A, 0xFF55AA},
        {"32 bits, 8-8-8 by default, top byte unused", 32, BMP_BI_RGB, 40, {}, 0xAA123456,
         0x123456},
        {"32 bits, 10-10-10 fields", 32, BMP_BI_BITFIELDS, 40,
         {0x3FF00000, 0x000FFC00, 0x000003FF}, 0x3FF00000 | (3 << 10) | 512, 0xFF0180},
        {"32 bits, fields in the top three bytes", 32, BMP_BI_BITFIELDS, 40,
         {0xFF000000, 0x00FF0000, 0x0000FF00}, 0x11223344, 0x112233},
        {"masks inside a 52-byte header", 16, BMP_BI_BITFIELDS, 52, {0xF800, 0x07E0, 0x001F},
         0xF800, 0xFF0000},
        {"masks inside a v4 header", 32, BMP_BI_BITFIELDS, 108, {0xFF, 0xFF00, 0xFF0000, 0},
         0x00332211, 0x112233},
        {"masks inside a v5 header", 16, BMP_BI_BITFIELDS, 124, {0x001F, 0x03E0, 0x7C00, 0},
         0x001F, 0xFF0000},
        {"masks of a v5 header ignored without bit fields", 32, BMP_BI_RGB, 124,
         {0xFF, 0xFF00, 0xFF0000, 0}, 0x00332211, 0x332211},
    };
    for (const masked_case& c : cases) {
        SCOPED_TRACE(c.name);
        bmp_spec spec;
        spec.width = 3;  // 16-bit rows of 6 bytes carry 2 of padding
        spec.height = 1;
        spec.bits = c.bits;
        spec.compression = c.compression;
        spec.info_size = c.info_size;
        spec.masks = c.masks;
        spec.pixels = pack_bmp_rows(3, 1, c.bits, {c.pixel, 0, c.pixel});
        bmp_image image;
        std::string reason;
        ASSERT_TRUE(decode_bytes(make_bmp(spec), &image, &reason)) << reason;
        EXPECT_EQ(texel_rgb(image, 0, 0), c.want);
        EXPECT_EQ(texel_rgb(image, 1, 0), 0u);
        EXPECT_EQ(texel_rgb(image, 2, 0), c.want);
        EXPECT_TRUE(all_opaque(image));
        EXPECT_EQ(join_notes(image.notes), "");
    }
}

struct kind_refusal {
    const char* name;
    bmp_spec spec;
    const char* reason;
};

bmp_spec masked_spec(uint16_t bits, std::vector<uint32_t> masks)
{
    bmp_spec spec;
    spec.width = 256;
    spec.height = 256;
    spec.bits = bits;
    spec.compression = BMP_BI_BITFIELDS;
    spec.masks = std::move(masks);
    spec.pixels.assign(256 * 256 * bits / 8, 0x5A);
    return spec;
}

bmp_spec rle_spec(int32_t width, int32_t height, std::vector<uint8_t> stream)
{
    bmp_spec spec;
    spec.width = width;
    spec.height = height;
    spec.bits = 8;
    spec.compression = BMP_BI_RLE8;
    spec.palette = distinct_palette(4);
    spec.pixels = std::move(stream);
    return spec;
}

TEST(BmpKinds, UndecodableKindsAreRefusedBeforeAnyAllocation)
{
    bmp_spec huffman = indexed_spec(256, 256, 8, std::vector<uint32_t>(256 * 256, 1));
    huffman.info_size = 64;
    huffman.compression = 3;
    bmp_spec bit_fields_on_8 = indexed_spec(256, 256, 8, std::vector<uint32_t>(256 * 256, 1));
    bit_fields_on_8.compression = BMP_BI_BITFIELDS;
    bit_fields_on_8.masks = {0xE0, 0x1C, 0x03};
    bmp_spec rle4_on_8 = rle_spec(256, 256, {0, 1});
    rle4_on_8.compression = BMP_BI_RLE4;

    const kind_refusal cases[] = {
        {"RLE stored top-down", rle_spec(256, -256, {0, 1}), "top-down"},
        {"RLE4 on 8 bits", rle4_on_8, "needs 4 bits"},
        {"a few RLE bytes for a huge picture", rle_spec(32768, 16383, {0, 1}), "promises"},
        {"mask of two runs", masked_spec(16, {0x0F0F, 0x00F0, 0x0000}), "not one run"},
        {"mask past 16 bits", masked_spec(16, {0x1F0000, 0x07E0, 0x001F}), "past the 16 bits"},
        {"all masks zero", masked_spec(32, {0, 0, 0}), "all zero"},
        {"bit fields on 8 bits", bit_fields_on_8, "16 or 32 bits"},
        {"OS/2 Huffman coding", huffman, "Huffman"},
    };
    for (const kind_refusal& c : cases) {
        SCOPED_TRACE(c.name);
        expect_refused_before_allocating(make_bmp(c.spec), c.reason);
    }
}

TEST(BmpKinds, Os2HeadersWithSixteenBitSizesAndThreeByteColours)
{
    // 300 pixels wide does not fit the low byte of a 16-bit size.
    for (const uint32_t info_size : {12u, 16u, 64u}) {
        SCOPED_TRACE(std::to_string(info_size) + "-byte header");
        std::vector<uint32_t> indices;
        for (int i = 0; i < 300 * 2; ++i)
            indices.push_back(static_cast<uint32_t>(i % 7));
        bmp_spec spec = indexed_spec(300, 2, 8, indices);
        spec.palette.resize(7);
        spec.colours_used = 7;  // not written into a 12- or 16-byte header
        spec.info_size = info_size;
        bmp_image image;
        std::string reason;
        ASSERT_TRUE(decode_bytes(make_bmp(spec), &image, &reason)) << reason;
        ASSERT_EQ(image.width, 300);
        ASSERT_EQ(image.height, 2);
        for (int32_t x = 0; x < 300; ++x)
            ASSERT_EQ(texel_rgb(image, x, 1), spec.palette[(300 + x) % 7]) << "pixel " << x;
    }
    {
        SCOPED_TRACE("24 bits in a core header");
        bmp_spec spec;
        spec.width = 2;
        spec.height = 1;
        spec.info_size = 12;
        spec.pixels = pack_bmp_rows(2, 1, 24, {0x123456, 0xABCDEF});
        bmp_image image;
        std::string reason;
        ASSERT_TRUE(decode_bytes(make_bmp(spec), &image, &reason)) << reason;
        EXPECT_EQ(texel_rgb(image, 0, 0), 0x123456u);
        EXPECT_EQ(texel_rgb(image, 1, 0), 0xABCDEFu);
        EXPECT_EQ(join_notes(image.notes), "");
    }
}

TEST(BmpKinds, TopDownFilesOfEveryUncompressedKindAreFlipped)
{
    const int32_t width = 5, height = 4;
    for (const uint16_t bits : {1, 2, 4, 8, 16, 24, 32}) {
        SCOPED_TRACE(std::to_string(bits) + " bits");
        std::vector<uint32_t> values;
        for (int32_t row = 0; row < height; ++row)
            for (int32_t x = 0; x < width; ++x) {
                const uint32_t v = static_cast<uint32_t>(x * 3 + row * 5 + row * x);
                values.push_back(bits <= 8 ? v % (1u << bits) : 0x00F0E0D0u - v * 0x030507u);
            }
        std::vector<uint32_t> top_first;
        for (int32_t row = height - 1; row >= 0; --row)
            top_first.insert(top_first.end(), values.begin() + row * width,
                             values.begin() + (row + 1) * width);
        bmp_spec bottom_up;
        bottom_up.width = width;
        bottom_up.height = height;
        bottom_up.bits = bits;
        if (bits <= 8)
            bottom_up.palette = distinct_palette(1 << bits);
        bottom_up.pixels = pack_bmp_rows(width, height, bits, values);
        bmp_spec top_down = bottom_up;
        top_down.height = -height;
        top_down.pixels = pack_bmp_rows(width, height, bits, top_first);

        bmp_image a, b;
        std::string reason;
        ASSERT_TRUE(decode_bytes(make_bmp(bottom_up), &a, &reason)) << reason;
        ASSERT_TRUE(decode_bytes(make_bmp(top_down), &b, &reason)) << reason;
        EXPECT_EQ(b.height, height);
        // The bottom and top rows differ, so a missing flip shows.
        ASSERT_FALSE(std::equal(a.rgba.begin(), a.rgba.begin() + width * 4,
                                a.rgba.end() - width * 4));
        EXPECT_EQ(a.rgba, b.rgba);
    }
}

TEST(BmpKinds, TruncatedPaletteFileKeepsTheRowsPresent)
{
    std::vector<uint32_t> indices(8 * 6);
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = static_cast<uint32_t>(i % 16);
    bmp_spec spec = indexed_spec(8, 6, 4, indices);  // rows of 4 bytes
    std::vector<uint8_t> bytes = make_bmp(spec);
    bytes.resize(bytes.size() - 10);  // two rows and half of a third gone
    bmp_image image;
    std::string reason;
    ASSERT_TRUE(decode_bytes(bytes, &image, &reason)) << reason;
    EXPECT_NE(join_notes(image.notes).find("3 of 6 rows missing"), std::string::npos) << join_notes(image.notes);
    for (int32_t x = 0; x < 8; ++x) {
        EXPECT_EQ(texel_rgb(image, x, 2), spec.palette[indices[2 * 8 + x]]);
        EXPECT_EQ(texel_alpha(image, x, 3), 0);
    }
}

}  // namespace
