// Replays the fuzzers' regression corpus (fuzz/regressions/) through the
// real loaders in the normal build: every input there once crashed, hung or
// broke an invariant of a reader, and each is named below with what it caught.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "bmp.h"
#include "model.h"

namespace {

namespace fs = std::filesystem;

Model model;

const std::string regressions = SZABLON_REGRESSIONS;

// A load of one tiny file takes microseconds; a second means it hung.
const auto TIME_LIMIT = std::chrono::seconds(1);

struct model_regression {
    const char* file;
    const char* caught;
    int32_t vertices;  // what the walk keeps
    int32_t faces;
};

const model_regression model_regressions[] = {
    {"chunk-length-zero.3ds", "a chunk length of 0 made the walk read the same header for ever", 0, 0},
    {"chunk-length-sign-bit.3ds", "a length with the sign bit set, seeked as a signed number, ran the walk backwards", 3, 0},
    {"vertex-count-without-records.3ds", "a vertex count with no records behind it was added to vertex_count whole", 0, 0},
    {"face-count-without-records.3ds", "a face count with no records behind it was added to face_count whole", 3, 0},
    {"face-corner-past-vertices.3ds", "a triangle corner past the stored vertices was kept for drawing", 3, 1},
    {"face-corner-past-vertex-base.3ds", "a mesh without vertices based its triangles past the stored ones", 3, 0},
    {"name-without-nul-in-20-bytes.3ds", "the rest of a long object name was read as the next chunk header", 3, 0},
    {"list-cut-by-end-of-file.3ds", "a list cut short by the end of the file was counted whole", 2, 0},
};

struct texture_regression {
    const char* file;
    const char* caught;
    int32_t width;  // 0: the decoder must refuse the file
    int32_t height;
};

const texture_regression texture_regressions[] = {
    {"height-int-min.bmp", "negating a height of -2^31 overflowed", 0, 0},
    {"area-reaches-2gib.bmp", "width x height x 4 reaching 2^31 overflowed the signed buffer size", 0, 0},
    {"side-past-32768.bmp", "a side past the decoder's limit was allocated", 0, 0},
    {"tiny-file-huge-header.bmp", "a 66-byte file made a 400 MB allocation", 0, 0},
    {"pixel-offset-past-end.bmp", "a pixel-data offset past the end of the file was seeked to", 0, 0},
    {"pixel-offset-inside-header.bmp", "header bytes were read as pixels", 0, 0},
    {"shorter-than-header.bmp", "a file shorter than its header was decoded from missing fields", 0, 0},
    {"negative-width.bmp", "a negative width went into the buffer size", 0, 0},
    {"zero-height.bmp", "an image with no area reached the upload", 0, 0},
    {"pixel-data-ends-early.bmp", "rows past the end of the file were read from nothing", 3, 4},
    {"rle-4kib-stream-fills-64mib.bmp",
     "a 4 KiB stream of end-of-line codes was given a 64 MiB buffer to fill, hanging the fuzzer", 0, 0},
};

std::set<std::string> files_in(const std::string& folder)
{
    std::set<std::string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(regressions + "/" + folder))
        names.insert(e.path().filename().string());
    return names;
}

template <typename Table>
std::set<std::string> names_in(const Table& table)
{
    std::set<std::string> names;
    for (const auto& r : table)
        names.insert(r.file);
    return names;
}

}  // namespace

// A reproducer added without a line here would be replayed by nobody.
TEST(FuzzRegressions, EveryCorpusFileIsNamedAndEveryNameHasItsFile)
{
    EXPECT_EQ(files_in("3ds"), names_in(model_regressions));
    EXPECT_EQ(files_in("bmp"), names_in(texture_regressions));
}

TEST(FuzzRegressions, ModelReaderKeepsItsInvariantsOnEveryReproducer)
{
    for (const model_regression& r : model_regressions) {
        SCOPED_TRACE(std::string(r.file) + ": caught " + r.caught);
        const std::string path = regressions + "/3ds/" + r.file;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const auto start = std::chrono::steady_clock::now();
        const bool opened = load_3ds_model(&model, path.c_str());
        normalize_model(&model);
        const auto took = std::chrono::steady_clock::now() - start;
        testing::internal::GetCapturedStdout();
        const std::string notes = testing::internal::GetCapturedStderr();

        ASSERT_TRUE(opened);
        EXPECT_LT(took, TIME_LIMIT);
        EXPECT_EQ(model.vertex_count, r.vertices);
        EXPECT_EQ(model.face_count, r.faces);
        for (int32_t i = 0; i < model.face_count; ++i) {
            const model_face& f = model.faces[i];
            EXPECT_TRUE(f.a >= 0 && f.a < model.vertex_count && f.b >= 0 &&
                        f.b < model.vertex_count && f.c >= 0 && f.c < model.vertex_count)
                << "triangle " << i << " = " << f.a << ", " << f.b << ", " << f.c;
        }
        // Every one of these files is malformed, and the reader must say where.
        EXPECT_NE(notes.find("offset"), std::string::npos) << notes;
    }
}

TEST(FuzzRegressions, TextureDecoderRefusesWithAReasonOrDecodesWholeBuffers)
{
    for (const texture_regression& r : texture_regressions) {
        SCOPED_TRACE(std::string(r.file) + ": caught " + r.caught);
        const std::string path = regressions + "/bmp/" + r.file;
        bmp_image image;
        std::string reason;
        const auto start = std::chrono::steady_clock::now();
        const bool decoded = decode_bmp_file(path.c_str(), &image, &reason);
        EXPECT_LT(std::chrono::steady_clock::now() - start, TIME_LIMIT);

        if (r.width == 0) {
            EXPECT_FALSE(decoded);
            EXPECT_FALSE(reason.empty());
            continue;
        }
        ASSERT_TRUE(decoded) << reason;
        EXPECT_EQ(image.width, r.width);
        EXPECT_EQ(image.height, r.height);
        EXPECT_EQ(image.rgba.size(), static_cast<size_t>(image.width) * image.height * 4);
    }
}

// The one reproducer that decodes: what is in the file is kept, what is not is black.
TEST(FuzzRegressions, PixelDataEndingEarlyKeepsTheRowsPresentAndSaysSo)
{
    bmp_image image;
    std::string reason;
    const std::string path = regressions + "/bmp/pixel-data-ends-early.bmp";
    ASSERT_TRUE(decode_bmp_file(path.c_str(), &image, &reason)) << reason;
    ASSERT_EQ(image.rgba.size(), 3u * 4u * 4u);
    // The first row in the file is the picture's bottom row: bytes 1, 2, 3 are blue, green, red.
    EXPECT_EQ(image.rgba[0], 3);
    EXPECT_EQ(image.rgba[1], 2);
    EXPECT_EQ(image.rgba[2], 1);
    EXPECT_EQ(image.rgba[3], 255);
    const size_t top_row = 3u * 3u * 4u;
    for (size_t i = top_row; i < image.rgba.size(); ++i)
        EXPECT_EQ(image.rgba[i], 0) << "byte " << i << " of the top row, past the file's end";
    EXPECT_FALSE(image.notes.empty());
}
