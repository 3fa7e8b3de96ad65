// Replays the fuzzers' regression corpus (fuzz/regressions/) through the
// real readers in the normal build: every input there once crashed, hung or
// broke an invariant of a reader, and each is named below with what it
// caught. Then the readers' two entries, bytes in memory and an open file,
// on the same inputs, and on a file that gives out while it is read.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "formats/bmp.h"
#include "formats/cursor.h"
#include "formats/read_3ds.h"
#include "formats/tga.h"
#include "formats/texture_names.h"
#include "formats/writer.h"
#include "support/files.h"

#if defined(__unix__)
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using namespace formats;

// A record like the viewer's, for the walk to fill.
constexpr int32_t CAPACITY = 10000;
struct mesh_arrays {
    mesh_vertex vertices[CAPACITY];
    mesh_triangle faces[CAPACITY];
    mesh_uv texcoords[CAPACITY];
    char name[20];
    std::vector<int32_t> mapped;  // first and count of each mapping list, as heard

    mesh_sink sink()
    {
        mesh_sink s = sink_over(vertices, faces, texcoords, CAPACITY, name, sizeof name);
        s.user = this;
        s.mapping_stored = [](void* user, int32_t first, int32_t count) {
            static_cast<mesh_arrays*>(user)->mapped.insert(
                static_cast<mesh_arrays*>(user)->mapped.end(), {first, count});
        };
        return s;
    }
};

mesh_arrays from_memory, from_file;

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

// Found by fuzzing the TGA decoder with its size bounds taken out: what each bound keeps out.
const texture_regression tga_regressions[] = {
    {"rle-header-alone-asks-59mb.tga", "without the RLE bound, an 18-byte header took a 59 MB buffer", 0, 0},
    {"grey-header-alone-asks-25mb.tga", "without the bound on raw rows, an 18-byte header took a 25 MB buffer", 0, 0},
};

bool decode_bytes(const std::string& bytes, bmp_image* image, std::string* reason)
{
    return decode_bmp(bytes.data(), bytes.size(), image, reason);
}

bool decode_bytes(const std::string& bytes, tga_image* image, std::string* reason)
{
    return decode_tga(bytes.data(), bytes.size(), image, reason);
}

bool decode_file(FILE* file, bmp_image* image, std::string* reason)
{
    return decode_bmp_file(file, image, reason);
}

bool decode_file(FILE* file, tga_image* image, std::string* reason)
{
    return decode_tga_file(file, image, reason);
}

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
    EXPECT_EQ(files_in("tga"), names_in(tga_regressions));
}

TEST(FuzzRegressions, ModelReaderKeepsItsInvariantsOnEveryReproducer)
{
    for (const model_regression& r : model_regressions) {
        SCOPED_TRACE(std::string(r.file) + ": caught " + r.caught);
        const std::string bytes = test_support::read_file(regressions + "/3ds/" + r.file);
        mesh_sink sink = from_memory.sink();
        walk_report report;
        const auto start = std::chrono::steady_clock::now();
        read_3ds(bytes.data(), bytes.size(), &sink, &report);
        EXPECT_LT(std::chrono::steady_clock::now() - start, TIME_LIMIT);

        EXPECT_EQ(sink.vertex_count, r.vertices);
        EXPECT_EQ(sink.face_count, r.faces);
        for (int32_t i = 0; i < sink.face_count; ++i) {
            const mesh_triangle& f = sink.faces[i];
            EXPECT_TRUE(f.a >= 0 && f.a < sink.vertex_count && f.b >= 0 &&
                        f.b < sink.vertex_count && f.c >= 0 && f.c < sink.vertex_count)
                << "triangle " << i << " = " << f.a << ", " << f.b << ", " << f.c;
        }
        // Every one of these files is malformed, and the reader must say so.
        EXPECT_FALSE(report.notes.empty());
    }
}

namespace {

template <class Image, size_t N>
void expect_refused_or_whole(const char* folder, const texture_regression (&table)[N])
{
    for (const texture_regression& r : table) {
        SCOPED_TRACE(std::string(r.file) + ": caught " + r.caught);
        const std::string bytes = test_support::read_file(regressions + "/" + folder + "/" + r.file);
        Image image;
        std::string reason;
        const auto start = std::chrono::steady_clock::now();
        const bool decoded = decode_bytes(bytes, &image, &reason);
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

}  // namespace

TEST(FuzzRegressions, TextureDecodersRefuseWithAReasonOrDecodeWholeBuffers)
{
    expect_refused_or_whole<bmp_image>("bmp", texture_regressions);
    expect_refused_or_whole<tga_image>("tga", tga_regressions);
}

// The one reproducer that decodes: what is in the file is kept, what is not is black.
TEST(FuzzRegressions, PixelDataEndingEarlyKeepsTheRowsPresentAndSaysSo)
{
    bmp_image image;
    std::string reason;
    const std::string path = regressions + "/bmp/pixel-data-ends-early.bmp";
    ASSERT_TRUE(decode_bmp_path(path.c_str(), &image, &reason)) << reason;
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

// ---- memory and file: one cursor, the same results ------------------------

namespace {

// Expects the walk over `bytes` in memory and over the file at `path` (which
// holds them) to fill the same records and report the same.
void expect_same_walk(const std::string& bytes, FILE* f)
{
    mesh_sink memory = from_memory.sink();
    mesh_sink file = from_file.sink();
    from_memory.mapped.clear();
    from_file.mapped.clear();
    std::memset(from_memory.name, 0, sizeof from_memory.name);
    std::memset(from_file.name, 0, sizeof from_file.name);
    // Coordinates no list stored keep what the last walk left.
    std::memset(from_memory.texcoords, 0, sizeof from_memory.texcoords);
    std::memset(from_file.texcoords, 0, sizeof from_file.texcoords);
    walk_report in_memory, in_file;
    read_3ds(bytes.data(), bytes.size(), &memory, &in_memory);
    read_3ds_file(f, &file, &in_file);
    EXPECT_EQ(read_3ds_texture_names(bytes.data(), bytes.size()), read_3ds_texture_names_file(f));

    ASSERT_EQ(memory.vertex_count, file.vertex_count);
    ASSERT_EQ(memory.face_count, file.face_count);
    const auto n = [](int32_t count) { return static_cast<size_t>(count); };
    EXPECT_EQ(std::memcmp(from_memory.vertices, from_file.vertices,
                          n(memory.vertex_count) * sizeof(mesh_vertex)), 0);
    EXPECT_EQ(std::memcmp(from_memory.faces, from_file.faces,
                          n(memory.face_count) * sizeof(mesh_triangle)), 0);
    EXPECT_EQ(std::memcmp(from_memory.texcoords, from_file.texcoords,
                          n(memory.vertex_count) * sizeof(mesh_uv)), 0);
    EXPECT_EQ(std::memcmp(from_memory.name, from_file.name, sizeof from_memory.name), 0);
    EXPECT_EQ(from_memory.mapped, from_file.mapped);
    EXPECT_EQ(in_memory.vertices.read, in_file.vertices.read);
    EXPECT_EQ(in_memory.faces.read, in_file.faces.read);
    EXPECT_EQ(in_memory.texcoords.stored, in_file.texcoords.stored);
    EXPECT_EQ(std::memcmp(&in_memory.bounds, &in_file.bounds, sizeof in_file.bounds), 0);
    ASSERT_EQ(in_memory.note_count, in_file.note_count);
    for (size_t i = 0; i < in_memory.notes.size(); ++i) {
        EXPECT_EQ(in_memory.notes[i].offset, in_file.notes[i].offset);
        EXPECT_EQ(in_memory.notes[i].text, in_file.notes[i].text);
    }
}

template <class Image>
void expect_same_picture(const std::string& bytes, FILE* f)
{
    Image in_memory, in_file;
    std::string memory_reason, file_reason;
    const bool memory_ok = decode_bytes(bytes, &in_memory, &memory_reason);
    const bool file_ok = decode_file(f, &in_file, &file_reason);
    ASSERT_EQ(memory_ok, file_ok) << memory_reason << " / " << file_reason;
    EXPECT_EQ(memory_reason, file_reason);
    EXPECT_EQ(in_memory.width, in_file.width);
    EXPECT_EQ(in_memory.height, in_file.height);
    EXPECT_EQ(in_memory.kind, in_file.kind);
    EXPECT_TRUE(in_memory.rgba == in_file.rgba);
    ASSERT_EQ(in_memory.notes.size(), in_file.notes.size());
    for (size_t i = 0; i < in_memory.notes.size(); ++i)
        EXPECT_EQ(in_memory.notes[i].text, in_file.notes[i].text);
}

// The reader for `name`'s kind on `bytes` in memory and on `f`.
void expect_same_from_memory_and(FILE* f, const std::string& bytes, const std::string& name)
{
    std::string lower = name;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string suffix = lower.size() > 4 ? lower.substr(lower.size() - 4) : "";
    if (suffix == ".3ds")
        expect_same_walk(bytes, f);
    else if (suffix == ".tga")
        expect_same_picture<tga_image>(bytes, f);
    else
        expect_same_picture<bmp_image>(bytes, f);
}

void expect_same_from_memory_and_file(const std::string& path)
{
    SCOPED_TRACE(path);
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    expect_same_from_memory_and(f, test_support::read_file(path), path);
    std::fclose(f);
}

// Files larger than a file's window, whose records, rows and RLE packets
// straddle its edges.
std::vector<std::pair<std::string, std::vector<uint8_t>>> window_files()
{
    std::vector<mesh_object> objects(3);
    for (int o = 0; o < 3; ++o) {
        objects[o].name = "part" + std::to_string(o);
        for (int i = 0; i < 3000; ++i) {
            objects[o].vertices.push_back({0.5f * i, -1.0f * o, 0.25f * i});
            objects[o].uvs.push_back({i / 3000.0f, o / 3.0f});
            objects[o].faces.push_back({static_cast<uint16_t>(i), static_cast<uint16_t>((i + 1) % 3000),
                                        static_cast<uint16_t>(i == 1500 ? 3000 : (i + 7) % 3000)});
        }
    }
    const std::vector<uint8_t> model = make_3ds(objects, {"WOOD.BMP", "maps\\Stone.jpg"});
    // A chunk header across the end of the first window.
    byte_writer header;
    put_vertex_list(&header, std::vector<mesh_vertex>(1000, mesh_vertex{1, 2, 3}));
    put_chunk_header(&header, CHUNK_LOCAL_AXES,
                     static_cast<uint32_t>(CURSOR_WINDOW - 3 - header.bytes.size()));
    header.bytes.resize(CURSOR_WINDOW - 3);
    put_mapping_list(&header, std::vector<mesh_uv>(1000, mesh_uv{0.5f, 0.25f}));
    std::vector<uint8_t> rgb(300 * 200 * 3);
    for (size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = static_cast<uint8_t>(i * 13);
    const std::vector<uint8_t> picture = make_bmp24(300, 200, rgb);
    // A few rows that start past the first window, after a grey colour table.
    bmp24_options gap;
    gap.palette_entries = 5000;
    const std::vector<uint8_t> gap_rgb(rgb.begin(), rgb.begin() + 30 * 20 * 3);
    std::vector<uint8_t> rgba(300 * 200 * 4);
    for (size_t i = 0; i < rgba.size(); ++i)
        rgba[i] = static_cast<uint8_t>(i % 4000 < 2000 ? i % 4 : i * 13);
    tga_options rle;
    rle.image_type = TGA_RLE_TRUE_COLOUR;
    rle.bits = 32;
    return {{"model.3ds", model}, {"header.3ds", header.bytes}, {"picture.bmp", picture},
            {"gap.bmp", make_bmp24(30, 20, gap_rgb, gap)},
            {"packets.tga", make_tga(300, 200, rgba, rle)}, {"rows.tga", make_tga(300, 200, rgba)}};
}

}  // namespace

// A file's window holds a few kilobytes: records and rows that straddle its
// edge, and files cut at every byte near it, must read as they do in memory.
TEST(MemoryAndFile, GiveTheSameResultOnTheCorpusAndAcrossTheFilesWindow)
{
    for (const char* kind : {"3ds", "bmp", "tga"})
        for (const fs::directory_entry& e : fs::directory_iterator(regressions + "/" + kind))
            expect_same_from_memory_and_file(e.path().string());

    for (const auto& [name, whole] : window_files()) {
        for (size_t cut : {size_t{0}, size_t{3}, size_t{40}, CURSOR_WINDOW - 1, CURSOR_WINDOW,
                           CURSOR_WINDOW + 1, CURSOR_WINDOW + 5, 3 * CURSOR_WINDOW + 2,
                           whole.size() - 1, whole.size()}) {
            if (cut > whole.size())
                continue;
            const std::string path = test_support::temp_path(std::to_string(cut) + "-" + name);
            ASSERT_TRUE(write_file(path, std::vector<uint8_t>(whole.begin(), whole.begin() + cut)));
            expect_same_from_memory_and_file(path);
        }
    }
}

// ---- what no file on disk does: a file that gives out while it is read ----

#if defined(__GLIBC__)
namespace {

// A stream over `bytes` that states their whole length, as a file does when
// it is measured, but gives out at byte `gives_out`: there its reads find the
// end, as in a file that has shrunk since; or, `failing`, its reads fail and
// so do seeks past that byte, as in a stream that must read its way there.
struct giving_out {
    std::string bytes;
    size_t gives_out;
    bool failing;
    size_t at = 0;
};

FILE* open_giving_out(giving_out* stream)
{
    cookie_io_functions_t io{};
    io.read = [](void* cookie, char* buffer, size_t size) -> ssize_t {
        giving_out* s = static_cast<giving_out*>(cookie);
        if (s->at >= s->gives_out)
            return s->failing ? -1 : 0;
        const size_t n = std::min(size, s->gives_out - s->at);
        std::memcpy(buffer, s->bytes.data() + s->at, n);
        s->at += n;
        return static_cast<ssize_t>(n);
    };
    io.seek = [](void* cookie, off64_t* offset, int whence) -> int {
        giving_out* s = static_cast<giving_out*>(cookie);
        const off64_t base = whence == SEEK_SET   ? 0
                             : whence == SEEK_CUR ? static_cast<off64_t>(s->at)
                                                  : static_cast<off64_t>(s->bytes.size());
        const off64_t to = base + *offset;
        // Its length is known without reading it, as a zip entry's is.
        const bool past =
            to > static_cast<off64_t>(s->gives_out) && to != static_cast<off64_t>(s->at);
        if (to < 0 || (s->failing && whence != SEEK_END && past))
            return -1;
        s->at = static_cast<size_t>(to);
        *offset = to;
        return 0;
    };
    FILE* f = fopencookie(stream, "rb", io);
    // Unbuffered, so that each seek reaches the stream as the reader asked it.
    if (f)
        std::setvbuf(f, nullptr, _IONBF, 0);
    return f;
}

// What a reader kept of a file that gave out after its first window: only
// what the whole file holds, each record, pixel or name where it belongs,
// nothing made up, and for the walk a note that it stopped.
void expect_kept_only_what_it_read(FILE* f, const std::string& bytes, const std::string& name)
{
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".3ds") == 0) {
        mesh_sink whole = from_memory.sink();
        mesh_sink part = from_file.sink();
        walk_report whole_report, part_report;
        read_3ds(bytes.data(), bytes.size(), &whole, &whole_report);
        read_3ds_file(f, &part, &part_report);
        ASSERT_LE(part.vertex_count, whole.vertex_count);
        ASSERT_LE(part.face_count, whole.face_count);
        EXPECT_EQ(std::memcmp(from_memory.vertices, from_file.vertices,
                              static_cast<size_t>(part.vertex_count) * sizeof(mesh_vertex)), 0);
        EXPECT_EQ(std::memcmp(from_memory.faces, from_file.faces,
                              static_cast<size_t>(part.face_count) * sizeof(mesh_triangle)), 0);
        // A list the file cut is counted as far as it was read, and said to stop.
        EXPECT_EQ(part_report.vertices.read, part_report.vertices.stored);
        EXPECT_EQ(part_report.texcoords.read, part_report.texcoords.stored);
        ASSERT_FALSE(part_report.notes.empty());
        EXPECT_NE(part_report.notes.back().text.find("stopping"), std::string::npos)
            << part_report.notes.back().text;
        // The materials stand in the first window.
        EXPECT_EQ(read_3ds_texture_names_file(f),
                  read_3ds_texture_names(bytes.data(), bytes.size()));
        return;
    }
    const auto compare = [&](const auto& whole, const auto& part) {
        ASSERT_EQ(part.width, whole.width);
        ASSERT_EQ(part.height, whole.height);
        ASSERT_EQ(part.rgba.size(), whole.rgba.size());
        for (size_t i = 0; i < whole.rgba.size(); i += 4) {
            const bool same = std::equal(&whole.rgba[i], &whole.rgba[i] + 4, &part.rgba[i]);
            const bool black = (part.rgba[i] | part.rgba[i + 1] | part.rgba[i + 2]) == 0;
            ASSERT_TRUE(same || black) << "pixel " << i / 4;
        }
    };
    std::string reason;
    if (name.compare(name.size() - 4, 4, ".tga") == 0) {
        tga_image whole, part;
        ASSERT_TRUE(decode_bytes(bytes, &whole, &reason)) << reason;
        ASSERT_TRUE(decode_tga_file(f, &part, &reason)) << reason;
        compare(whole, part);
    } else {
        bmp_image whole, part;
        ASSERT_TRUE(decode_bytes(bytes, &whole, &reason)) << reason;
        ASSERT_TRUE(decode_bmp_file(f, &part, &reason)) << reason;
        compare(whole, part);
    }
}

}  // namespace
#endif

TEST(MemoryAndFile, AFileThatGivesOutWhileItIsReadKeepsOnlyWhatItGave)
{
#if !defined(__GLIBC__)
    GTEST_SKIP() << "the stream that gives out is made with glibc's fopencookie";
#else
    for (const auto& [name, whole] : window_files()) {
        const std::string bytes(whole.begin(), whole.end());
        for (const bool failing : {false, true}) {
            for (size_t at : {size_t{3}, size_t{17}, size_t{40}, size_t{100}, CURSOR_WINDOW - 1,
                              CURSOR_WINDOW, CURSOR_WINDOW + 5, 3 * CURSOR_WINDOW + 2}) {
                if (at >= bytes.size())
                    continue;
                SCOPED_TRACE(name + (failing ? " failing" : " shrunk") + " at byte " +
                             std::to_string(at));
                giving_out stream{bytes, at, failing};
                FILE* f = open_giving_out(&stream);
                ASSERT_NE(f, nullptr);
                // Within the first window the first read finds where the file
                // ends, and it reads as a file of that length.
                if (at < CURSOR_WINDOW)
                    expect_same_from_memory_and(f, bytes.substr(0, at), name);
                else
                    expect_kept_only_what_it_read(f, bytes, name);
                std::fclose(f);
            }
        }
    }
#endif
}

#if defined(__unix__)
TEST(MemoryAndFile, APipeReadsAsEmpty)
{
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    const std::vector<uint8_t> picture = make_bmp24(2, 2, std::vector<uint8_t>(12, 7));
    ASSERT_EQ(write(ends[1], picture.data(), picture.size()), static_cast<ssize_t>(picture.size()));
    close(ends[1]);
    FILE* f = fdopen(ends[0], "rb");
    ASSERT_NE(f, nullptr);
    bmp_image image;
    std::string reason;
    EXPECT_FALSE(decode_bmp_file(f, &image, &reason));
    EXPECT_EQ(reason, "file is 0 bytes, too short for a BMP header");
    std::fclose(f);
}
#endif

// Reasons of any length are whole, and a format printf cannot spell still
// says something.
TEST(Reasons, AreWholeAtAnyLengthAndNeverEmpty)
{
    const std::string long_name(300, 'x');
    EXPECT_EQ(format_text("cannot open %s: %d", long_name.c_str(), 7),
              "cannot open " + long_name + ": 7");
    // U+0100 has no spelling in the C locale the tests run in.
    EXPECT_EQ(format_text("name %lc", static_cast<wint_t>(0x100)), "name %lc");
}

TEST(MemoryAndFile, GiveTheSameResultOnTheSharedFiles)
{
    REQUIRE_TESTDATA();
    for (const char* folder : {"3ds", "bmp/good", "bmp/bad"})
        for (const fs::directory_entry& e : fs::directory_iterator(test_support::testdata_path(folder)))
            expect_same_from_memory_and_file(e.path().string());
}
