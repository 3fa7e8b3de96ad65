// The BMP decoder on uncompressed 24-bit files made by our writer: the byte
// order, row padding, top-down storage, the pixel offset, short files and the
// refusals; then asset_info on the shared real files, whose pictures
// bmp_kinds_test compares.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bmp_checks.h"
#include "formats/writer.h"
#include "support/files.h"
#include "support/process.h"

namespace {

using namespace formats;

// Pixel bytes that differ from pixel to pixel and from row to row.
std::vector<uint8_t> sample_rgb(int32_t width, int32_t height)
{
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = static_cast<uint8_t>(i * 29 + 7);
    return rgb;
}

// What the texture must hold for `rgb` given bottom row first: the same
// pixels in the same order, each with alpha 255.
pixel_buffer opaque(const std::vector<uint8_t>& rgb)
{
    pixel_buffer rgba;
    for (size_t i = 0; i < rgb.size(); i += 3)
        rgba.insert(rgba.end(), {rgb[i], rgb[i + 1], rgb[i + 2], 255});
    return rgba;
}

void set_u32(std::vector<uint8_t>* bytes, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        bytes->at(at + i) = static_cast<uint8_t>(v >> (8 * i));
}

void set_u16(std::vector<uint8_t>* bytes, size_t at, uint16_t v)
{
    bytes->at(at) = static_cast<uint8_t>(v);
    bytes->at(at + 1) = static_cast<uint8_t>(v >> 8);
}

TEST(BmpDecode, BlueGreenRedBytesBecomeRedGreenBlueWithOpaqueAlpha)
{
    std::vector<uint8_t> bytes = make_bmp24(4, 2, sample_rgb(4, 2));
    bytes[54] = 0x10;
    bytes[55] = 0x20;
    bytes[56] = 0x30;
    bmp_image image;
    std::string reason;
    ASSERT_TRUE(decode_bytes(bytes, &image, &reason)) << reason;
    EXPECT_EQ(image.width, 4);
    EXPECT_EQ(image.height, 2);
    ASSERT_EQ(image.rgba.size(), 32u);
    EXPECT_EQ(std::vector<uint8_t>(image.rgba.begin(), image.rgba.begin() + 4),
              (std::vector<uint8_t>{0x30, 0x20, 0x10, 0xFF}));
    for (size_t i = 3; i < image.rgba.size(); i += 4)
        EXPECT_EQ(image.rgba[i], 0xFF) << "byte " << i;
    EXPECT_EQ(join_notes(image.notes), "");
}

TEST(BmpDecode, RowsOfEveryWidthSkipTheirPaddingBytes)
{
    // Widths 1 to 7 give 1, 2, 3, 0, 1, 2, 3 padding bytes per row; 4 has none.
    // The wide ones are read in several blocks of rows and widened several
    // pixels at a step: 1021 leaves a partial step and a byte of padding.
    const struct {
        int32_t width, height;
    } sizes[] = {{1, 3}, {2, 3}, {3, 3}, {4, 3}, {5, 3}, {6, 3}, {7, 3}, {1021, 300}, {1024, 200}};
    for (const auto& size : sizes) {
        SCOPED_TRACE("width " + std::to_string(size.width));
        const std::vector<uint8_t> rgb = sample_rgb(size.width, size.height);
        bmp_image image;
        std::string reason;
        ASSERT_TRUE(decode_bytes(make_bmp24(size.width, size.height, rgb), &image, &reason))
            << reason;
        EXPECT_TRUE(image.rgba == opaque(rgb));
        EXPECT_EQ(join_notes(image.notes), "");
    }
}

TEST(BmpDecode, TopDownFileIsFlippedSoTextureRowZeroIsThePictureBottom)
{
    const std::vector<uint8_t> rgb = sample_rgb(5, 4);
    bmp24_options top_down;
    top_down.top_down = true;
    bmp_image image;
    std::string reason;
    const std::vector<uint8_t> bytes = make_bmp24(5, 4, rgb, top_down);
    ASSERT_TRUE(decode_bytes(bytes, &image, &reason)) << reason;
    EXPECT_EQ(image.height, 4);
    // The page's question, from the headers alone: the same sides.
    bmp_picture picture;
    ASSERT_TRUE(read_bmp_picture(bytes.data(), bytes.size(), &picture, &reason)) << reason;
    EXPECT_EQ(picture.width, 5);
    EXPECT_EQ(picture.height, 4);
    EXPECT_EQ(image.rgba, opaque(rgb));
    EXPECT_NE(image.kind.find("top-down"), std::string::npos) << image.kind;
}

TEST(BmpDecode, PixelsAreReadFromTheOffsetPastColourTableAndLongerHeaders)
{
    const std::vector<uint8_t> rgb = sample_rgb(6, 3);
    const struct {
        uint32_t info_size;
        uint32_t palette_entries;
    } cases[] = {{40, 256}, {40, 1}, {108, 0}, {124, 3}, {52, 0}, {56, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE("info header " + std::to_string(c.info_size) + ", colour table " +
                     std::to_string(c.palette_entries));
        bmp24_options options;
        options.info_size = c.info_size;
        options.palette_entries = c.palette_entries;
        bmp_image image;
        std::string reason;
        ASSERT_TRUE(decode_bytes(make_bmp24(6, 3, rgb, options), &image, &reason)) << reason;
        EXPECT_EQ(image.rgba, opaque(rgb));
    }
}

TEST(BmpDecode, LastRowWithoutItsPaddingIsStillWhole)
{
    // 15 bytes a row and 1 of padding; 3063 and 1, with the last row in a later read block.
    for (const int32_t width : {5, 1021}) {
        SCOPED_TRACE("width " + std::to_string(width));
        const std::vector<uint8_t> rgb = sample_rgb(width, 300);
        std::vector<uint8_t> bytes = make_bmp24(width, 300, rgb);
        bytes.pop_back();
        set_u32(&bytes, BMP_FILE_SIZE, static_cast<uint32_t>(bytes.size()));
        bmp_image image;
        std::string reason;
        ASSERT_TRUE(decode_bytes(bytes, &image, &reason)) << reason;
        EXPECT_TRUE(image.rgba == opaque(rgb));
        EXPECT_EQ(join_notes(image.notes), "");
    }
}

TEST(BmpDecode, TruncatedPixelDataKeepsTheRowsPresentAndCountsTheMissing)
{
    // 6 rows of 16 bytes; cutting 40 leaves 3 whole rows and half of a fourth.
    for (const bool top_down : {false, true}) {
        SCOPED_TRACE(top_down ? "top-down" : "bottom-up");
        const std::vector<uint8_t> rgb = sample_rgb(5, 6);
        bmp24_options options;
        options.top_down = top_down;
        std::vector<uint8_t> bytes = make_bmp24(5, 6, rgb, options);
        bytes.resize(bytes.size() - 40);
        bmp_image image;
        std::string reason;
        ASSERT_TRUE(decode_bytes(bytes, &image, &reason)) << reason;
        EXPECT_NE(join_notes(image.notes).find("3 of 6 rows missing"), std::string::npos) << join_notes(image.notes);

        // The file's first rows are the bottom of a bottom-up picture and the
        // top of a top-down one; the rows it lacks stay all zero.
        const pixel_buffer want = opaque(rgb);
        const size_t row = 5 * 4;
        const size_t kept_from = top_down ? 3 * row : 0;
        const size_t zero_from = top_down ? 0 : 3 * row;
        EXPECT_TRUE(std::equal(want.begin() + kept_from, want.begin() + kept_from + 3 * row,
                               image.rgba.begin() + kept_from));
        EXPECT_EQ(std::vector<uint8_t>(image.rgba.begin() + zero_from,
                                       image.rgba.begin() + zero_from + 3 * row),
                  std::vector<uint8_t>(3 * row, 0));
    }
}

struct refusal_case {
    const char* name;
    void (*spoil)(std::vector<uint8_t>* bytes);
    const char* reason;  // a part of the reason given
    bool extent = false;  // the file lacks what its headers describe, which they alone cannot show
};

TEST(BmpDecode, HeadersThatCannotBeDecodedAreRefusedBeforeAnyAllocation)
{
    // A 256 x 256 picture: decoding it would take a 256 KiB buffer, so any
    // allocation made before a refusal shows as a large block.
    const refusal_case cases[] = {
        {"no BM signature", [](std::vector<uint8_t>* b) { b->at(1) = 'A'; }, "signature"},
        {"info header of 20 bytes",
         [](std::vector<uint8_t>* b) { set_u32(b, BMP_INFO_SIZE, 20); }, "20 bytes"},
        {"info header of 66 bytes",
         [](std::vector<uint8_t>* b) { set_u32(b, BMP_INFO_SIZE, 66); }, "66 bytes"},
        // Bit depths other than 24 are decoded now; one no BMP has is still refused.
        {"bit depth 30", [](std::vector<uint8_t>* b) { set_u16(b, BMP_BITS, 30); }, "30 bits"},
        // RLE and bit fields are decoded now; embedded JPEG and PNG are not.
        {"JPEG inside", [](std::vector<uint8_t>* b) { set_u32(b, BMP_COMPRESSION, BMP_BI_JPEG); }, "JPEG"},
        {"PNG inside", [](std::vector<uint8_t>* b) { set_u32(b, BMP_COMPRESSION, BMP_BI_PNG); }, "PNG"},
        {"unknown compression",
         [](std::vector<uint8_t>* b) { set_u32(b, BMP_COMPRESSION, 9); }, "unknown"},
        {"RLE8 on 24 bits", [](std::vector<uint8_t>* b) { set_u32(b, BMP_COMPRESSION, BMP_BI_RLE8); },
         "needs 8 bits"},
        {"bit fields on 24 bits", [](std::vector<uint8_t>* b) { set_u32(b, BMP_COMPRESSION, BMP_BI_BITFIELDS); },
         "16 or 32 bits"},
        {"zero width", [](std::vector<uint8_t>* b) { set_u32(b, BMP_WIDTH, 0); }, "no area"},
        {"negative width", [](std::vector<uint8_t>* b) { set_u32(b, BMP_WIDTH, static_cast<uint32_t>(-256)); },
         "no area"},
        {"zero height", [](std::vector<uint8_t>* b) { set_u32(b, BMP_HEIGHT, 0); }, "no area"},
        {"width past 32768", [](std::vector<uint8_t>* b) { set_u32(b, BMP_WIDTH, 32769); },
         "larger than 32768"},
        {"top-down height past 32768",
         [](std::vector<uint8_t>* b) { set_u32(b, BMP_HEIGHT, static_cast<uint32_t>(-40000)); },
         "larger than 32768"},
        {"2 GiB of pixels",
         [](std::vector<uint8_t>* b) {
             set_u32(b, BMP_WIDTH, 32768);
             set_u32(b, BMP_HEIGHT, 16384);
         },
         "2 GiB"},
        {"most negative height",
         [](std::vector<uint8_t>* b) { set_u32(b, BMP_HEIGHT, 0x80000000u); },
         "larger than 32768"},
        {"pixel offset past the end",
         [](std::vector<uint8_t>* b) {
             set_u32(b, BMP_PIXEL_OFFSET, static_cast<uint32_t>(b->size() + 1));
         },
         "past the end", true},
        {"pixel offset inside the headers",
         [](std::vector<uint8_t>* b) { set_u32(b, BMP_PIXEL_OFFSET, 30); }, "inside the headers", true},
        {"height promising far more rows than the file holds",
         [](std::vector<uint8_t>* b) { set_u32(b, BMP_HEIGHT, 600); }, "promises", true},
        {"file of 53 bytes", [](std::vector<uint8_t>* b) { b->resize(53); }, "54-byte"},
        {"file of 10 bytes", [](std::vector<uint8_t>* b) { b->resize(10); }, "too short"},
        {"empty file", [](std::vector<uint8_t>* b) { b->clear(); }, "0 bytes"},
    };
    const std::vector<uint8_t> good = make_bmp24(256, 256, sample_rgb(256, 256));
    for (const refusal_case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = good;
        c.spoil(&bytes);
        expect_refused_before_allocating(bytes, c.reason);
        bmp_picture picture;
        std::string reason;
        EXPECT_EQ(read_bmp_picture(bytes.data(), bytes.size(), &picture, &reason), c.extent);
        EXPECT_EQ(reason.find(c.reason) != std::string::npos, !c.extent) << reason;
    }
}

TEST(AssetInfoTexture, WritesTheDecodedPictureTopRowFirstAndItsSizeOnStdout)
{
    REQUIRE_TESTDATA();
    // One real file of each family the decoder has a row reader for.
    const struct {
        const char* name;
        const char* kind;
    } cases[] = {
        {"rgb24pal", "24 bits per pixel, uncompressed, 40-byte info header, bottom-up"},
        {"pal8topdown", "8 bits per pixel, uncompressed, 252-colour palette"},
        {"pal4rle", "4 bits per pixel, RLE4"},
        {"rgb16-565", "16 bits per pixel, bit fields 5-6-5"},
        {"pal8os2", "12-byte OS/2 1.x core header"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string ppm = test_support::temp_path(std::string(c.name) + ".ppm");
        const test_support::run_result r =
            test_support::run_program({ASSET_INFO, "texture",
                         test_support::testdata_path(std::string("bmp/good/") + c.name + ".bmp"), "--ppm", ppm});
        EXPECT_EQ(r.code(), 0) << r.err;
        EXPECT_EQ(r.out, "127x64\n");
        EXPECT_NE(r.err.find(c.kind), std::string::npos) << r.err;
        const std::optional<test_support::rgb_image> got = test_support::read_ppm(ppm);
        const std::optional<test_support::rgb_image> want =
            test_support::read_png(test_support::testdata_path(std::string("bmp/reference/") + c.name + ".png"));
        ASSERT_TRUE(got);
        ASSERT_TRUE(want);
        EXPECT_EQ(test_support::first_difference(*got, *want), "");
    }
}

// The refusal checks above would pass vacuously if the pixel buffer were
// taken where the allocation watch cannot see it.
TEST(BmpDecode, AllocationWatchSeesThePixelBufferAtEverySize)
{
    for (int32_t side : {16, 1024}) {
        const std::vector<uint8_t> bytes = make_bmp24(side, side, sample_rgb(side, side));
        bmp_image image;
        std::string reason;
        reset_largest_allocation();
        ASSERT_TRUE(decode_bytes(bytes, &image, &reason)) << reason;
        EXPECT_GE(largest_allocation(), static_cast<size_t>(side) * side * 4) << side;
    }
}

TEST(AssetInfoTexture, RefusedFileExitsOneWithTheReasonOnStderrOnly)
{
    REQUIRE_TESTDATA();
    const std::string ppm = test_support::temp_path("refused.ppm");
    const test_support::run_result r = test_support::run_program(
        {ASSET_INFO, "texture", test_support::testdata_path("bmp/bad/reallybig.bmp"), "--ppm", ppm});
    EXPECT_EQ(r.code(), 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("larger than 32768"), std::string::npos) << r.err;
    EXPECT_FALSE(std::ifstream(ppm).good());
}

}  // namespace
