// The 3DS walk into the viewer's record, the viewer's loading lines and the
// normaliser, on files made by our writer (well formed and deliberately
// broken) and on the shared real-world models.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "formats/texture_names.h"
#include "formats/writer.h"
#include "model.h"
#include "support/files.h"
#include "support/process.h"

namespace {

using namespace formats;

Model model;

// The silent walk over bytes in memory into the record, as load_3ds_model
// fills it from a file.
walk_report load_bytes(const std::vector<uint8_t>& bytes)
{
    model.vertex_count = 0;
    model.face_count = 0;
    mesh_sink sink = model_sink(&model);
    walk_report report;
    read_3ds(bytes.data(), bytes.size(), &sink, &report);
    model.vertex_count = sink.vertex_count;
    model.face_count = sink.face_count;
    return report;
}

// The notes as one text, "offset N: TEXT" a line.
std::string notes_of(const walk_report& report)
{
    std::string text;
    for (const load_note& n : report.notes)
        text += "offset " + std::to_string(n.offset) + ": " + n.text + "\n";
    return text;
}

// A file the printing functions write to, read back whole.
struct output_file {
    FILE* file = std::tmpfile();
    ~output_file() { std::fclose(file); }
    std::string text()
    {
        std::fflush(file);
        std::rewind(file);
        std::string all;
        char chunk[4096];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
            all.append(chunk, n);
        return all;
    }
};

struct printed {
    bool opened;
    std::string lines;  // what the viewer prints on stdout
    std::string notes;  // and on stderr
    walk_report report;
};

// load_3ds_model on a file (or on one holding `bytes`), its lines and notes
// written to files of our own.
printed load_printing(const std::string& path)
{
    output_file lines, notes;
    printed p;
    p.opened = load_3ds_model(&model, path.c_str(), &p.report, lines.file, notes.file);
    p.lines = lines.text();
    p.notes = notes.text();
    return p;
}

printed load_printing(const std::vector<uint8_t>& bytes)
{
    const std::string path = test_support::temp_path("model.3ds");
    EXPECT_TRUE(write_file(path, bytes));
    return load_printing(path);
}

std::string normalize_output()
{
    output_file line;
    normalize_model(&model, line.file);
    return line.text();
}

mesh_object grid_object(const std::string& name, int vertex_count, float x0)
{
    mesh_object o;
    o.name = name;
    for (int i = 0; i < vertex_count; ++i) {
        o.vertices.push_back({x0 + static_cast<float>(i), 1.0f, -1.0f});
        o.uvs.push_back({0.25f * static_cast<float>(i % 4), 0.5f});
    }
    for (int i = 0; i + 2 < vertex_count; i += 3)
        o.faces.push_back({static_cast<uint16_t>(i), static_cast<uint16_t>(i + 1),
                           static_cast<uint16_t>(i + 2)});
    return o;
}

}  // namespace

// ---- well-formed files --------------------------------------------------

TEST(ModelReader, SecondObjectIsAppendedAtTheVertexBase)
{
    mesh_object first = grid_object("first", 6, 0.0f);
    mesh_object second = grid_object("second", 3, 10.0f);
    second.uvs = {{0.5f, 1.0f}, {0.75f, 0.0f}, {1.0f, 0.25f}};
    const walk_report r = load_bytes(make_3ds({first, second}));

    EXPECT_EQ(model.vertex_count, 9);
    EXPECT_EQ(model.face_count, 3);
    EXPECT_FLOAT_EQ(model.vertices[6].x, 10.0f);  // the second mesh follows the first
    // Its triangle's corners are raised by the first mesh's 6 vertices.
    EXPECT_EQ(model.faces[2].a, 6);
    EXPECT_EQ(model.faces[2].b, 7);
    EXPECT_EQ(model.faces[2].c, 8);
    // Its mapping coordinates land at its own vertices' indices.
    EXPECT_FLOAT_EQ(model.texcoords[6].u, 0.5f);
    EXPECT_FLOAT_EQ(model.texcoords[8].v, 0.25f);
    EXPECT_STREQ(model.name, "second");
    EXPECT_EQ(r.texcoords.stored, 9u);
    EXPECT_EQ(r.note_count, 0u) << "a well-formed file needs no notes: " << notes_of(r);
}

TEST(ModelReader, PrintsOneLinePerMappingCoordinateInFileOrder)
{
    mesh_object o = grid_object("m", 3, 0.0f);
    o.uvs = {{0.5f, 1.0f}, {-0.125f, 2.5f}, {1e6f, -0.0f}};
    const printed r = load_printing(make_3ds({o}));
    EXPECT_EQ(r.lines,
              "Koordynaty: 0.500000, 1.000000\n"
              "Koordynaty: -0.125000, 2.500000\n"
              "Koordynaty: 1000000.000000, -0.000000\n");
}

TEST(ModelReader, ShortMappingListLeavesTheRestAsItWas)
{
    std::memset(model.texcoords, 0, sizeof model.texcoords);
    mesh_object o = grid_object("m", 6, 0.0f);
    o.uvs = {{0.25f, 0.75f}, {0.5f, 0.5f}};
    load_bytes(make_3ds({o}));
    EXPECT_FLOAT_EQ(model.texcoords[1].u, 0.5f);
    EXPECT_EQ(model.texcoords[2].u, 0.0f);
    EXPECT_EQ(model.texcoords[5].v, 0.0f);
}

TEST(ModelReader, UnknownChunksAreSkippedByTheirLength)
{
    byte_writer w;
    begin_chunk(&w, CHUNK_MAIN);
    begin_chunk(&w, CHUNK_KEYFRAMER);  // keyframer data, with bytes that look like a vertex list
    put_chunk_header(&w, CHUNK_VERTICES, 18);
    put_u16(&w, 1);
    put_f32(&w, 99.0f);
    put_f32(&w, 99.0f);
    put_f32(&w, 99.0f);
    end_chunk(&w);
    begin_chunk(&w, CHUNK_EDITOR);
    begin_chunk(&w, CHUNK_OBJECT);
    put_bytes(&w, "box", 4);
    begin_chunk(&w, CHUNK_MESH);
    put_vertex_list(&w, {{1, 2, 3}});
    end_chunk(&w);
    end_chunk(&w);
    end_chunk(&w);
    end_chunk(&w);
    const walk_report r = load_bytes(w.bytes);
    EXPECT_EQ(model.vertex_count, 1);
    EXPECT_FLOAT_EQ(model.vertices[0].x, 1.0f);
    EXPECT_EQ(notes_of(r), "");
}

TEST(ModelReader, MissingFileLeavesAnEmptyModelAndSaysNothing)
{
    load_bytes(make_3ds({grid_object("keep", 3, 0.0f)}));
    const printed r = load_printing(test_support::temp_path("no-such.3ds"));
    EXPECT_FALSE(r.opened);
    EXPECT_EQ(r.lines, "");
    EXPECT_EQ(r.notes, "");
    EXPECT_EQ(model.vertex_count, 0);
    EXPECT_EQ(model.face_count, 0);
    EXPECT_STREQ(model.name, "keep") << "the name is not cleared";
}

// ---- capacity -----------------------------------------------------------

TEST(ModelReader, VertexListPastCapacityIsCutAndTheNextChunkStillRead)
{
    mesh_object big = grid_object("big", 9995, 0.0f);
    big.faces.clear();
    mesh_object over = grid_object("over", 12, 0.0f);  // only 5 of these fit
    over.faces = {{0, 1, 2}, {3, 4, 6}};                // the second has a corner not stored
    mesh_object after = grid_object("after", 0, 0.0f);
    const walk_report r = load_bytes(make_3ds({big, over, after}));

    EXPECT_EQ(model.vertex_count, MODEL_CAPACITY);
    EXPECT_EQ(model.face_count, 1);
    EXPECT_EQ(model.faces[0].a, 9995);
    // Mapping entries at the base are stored up to the capacity only.
    EXPECT_EQ(r.texcoords.stored, 9995u + 5u);
    EXPECT_EQ(r.texcoords.read, 9995u + 12u);
    // The object after the overflow was still found where it stands.
    EXPECT_STREQ(model.name, "after");
    EXPECT_NE(notes_of(r).find("capacity"), std::string::npos) << notes_of(r);
}

TEST(ModelReader, FaceCountNeverPassesCapacity)
{
    mesh_object o = grid_object("faces", 3, 0.0f);
    o.faces.assign(MODEL_CAPACITY + 7, mesh_face{0, 1, 2});
    mesh_object after = grid_object("after", 0, 0.0f);
    const walk_report r = load_bytes(make_3ds({o, after}));
    EXPECT_EQ(model.face_count, MODEL_CAPACITY);
    EXPECT_STREQ(model.name, "after");
    EXPECT_NE(notes_of(r).find("7 not stored"), std::string::npos) << notes_of(r);
}

// Lists many times longer than one read of the file: every record lands at
// its own index, a dropped triangle is reported at its own offset, and the
// capacity cut falls on the right record.
TEST(ModelReader, LongListsKeepEveryRecordInItsPlace)
{
    const auto u16 = [](int v) { return static_cast<uint16_t>(v); };
    mesh_object first, second, after;
    first.name = "first";
    second.name = "second";
    after.name = "after";
    for (int i = 0; i < 6000; ++i) {
        first.vertices.push_back({static_cast<float>(i), static_cast<float>(-i), 0.5f * i});
        first.uvs.push_back({i / 8.0f, -i / 16.0f});
        first.faces.push_back({u16(i), u16(i * 7 % 6000), u16(i * 13 % 6000)});
    }
    for (int i = 0; i < 4000; ++i) {
        second.vertices.push_back({10000.0f + i, 1.0f, 2.0f});
        second.uvs.push_back({0.25f * i, 3.0f});
    }
    // Record 3000 points past the mesh and is dropped; records from 4001 on
    // pass the capacity of 10000 triangles.
    for (int i = 0; i < 4004; ++i)
        second.faces.push_back(i == 3000 ? mesh_face{0, 4000, 1}
                                         : mesh_face{u16(i % 4000), u16((i + 1) % 4000),
                                                     u16((i + 2) % 4000)});
    const walk_report r = load_bytes(make_3ds({first, second, after}));

    ASSERT_EQ(model.vertex_count, 10000);
    ASSERT_EQ(model.face_count, MODEL_CAPACITY);
    for (int i = 0; i < 6000; ++i) {
        ASSERT_EQ(model.vertices[i].x, static_cast<float>(i)) << i;
        ASSERT_EQ(model.vertices[i].y, static_cast<float>(-i)) << i;
        ASSERT_EQ(model.vertices[i].z, 0.5f * i) << i;
        ASSERT_EQ(model.texcoords[i].u, i / 8.0f) << i;
        ASSERT_EQ(model.texcoords[i].v, -i / 16.0f) << i;
        ASSERT_EQ(model.faces[i].a, i) << i;
        ASSERT_EQ(model.faces[i].b, i * 7 % 6000) << i;
        ASSERT_EQ(model.faces[i].c, i * 13 % 6000) << i;
    }
    for (int i = 0; i < 4000; ++i) {
        ASSERT_EQ(model.vertices[6000 + i].x, 10000.0f + i) << i;
        ASSERT_EQ(model.texcoords[6000 + i].u, 0.25f * i) << i;
        const int record = i < 3000 ? i : i + 1;  // the stored after the dropped one
        ASSERT_EQ(model.faces[6000 + i].a, 6000 + record % 4000) << i;
        ASSERT_EQ(model.faces[6000 + i].c, 6000 + (record + 2) % 4000) << i;
    }
    EXPECT_EQ(r.texcoords.stored, 10000u);
    EXPECT_STREQ(model.name, "after") << "the walk goes on after the cut list";

    // The dropped triangle is noted at its own record: "1 triangle(s) of the
    // face list at offset <list> ..."
    ASSERT_EQ(r.notes.size(), 2u) << notes_of(r);
    const std::string dropped = "1 triangle(s) of the face list at offset ";
    ASSERT_EQ(r.notes[0].text.compare(0, dropped.size(), dropped), 0) << notes_of(r);
    const long list_offset = std::stol(r.notes[0].text.substr(dropped.size()));
    EXPECT_EQ(r.notes[0].offset, list_offset + 6 + 2 + 3000 * 8);
    EXPECT_EQ(r.notes[1].text, "face list passes the capacity of 10000 triangles; 3 not stored");
}

// ---- malformed files ----------------------------------------------------

TEST(ModelReader, ChunkLengthBelowSixEndsTheWalk)
{
    for (uint32_t length : {0u, 5u}) {
        byte_writer w;
        put_chunk_header(&w, CHUNK_MAIN, 100);
        put_chunk_header(&w, 0x1234, length);  // a skip of length - 6 would stand still or go back
        put_chunk_header(&w, CHUNK_VERTICES, 20);
        put_u16(&w, 1);
        put_f32(&w, 1.0f);
        put_f32(&w, 2.0f);
        put_f32(&w, 3.0f);
        const walk_report r = load_bytes(w.bytes);
        EXPECT_EQ(model.vertex_count, 0) << "length " << length;
        ASSERT_EQ(r.notes.size(), 1u) << notes_of(r);
        EXPECT_EQ(r.notes[0].offset, 6);
    }
}

TEST(ModelReader, ListCutShortKeepsItsCompleteRecords)
{
    // A vertex list of 3 records, the file ending inside or before the third.
    for (size_t partial : {0u, 5u, 11u}) {
        byte_writer w;
        put_chunk_header(&w, CHUNK_VERTICES, 6 + 2 + 36);
        put_u16(&w, 3);
        for (int i = 0; i < 3; ++i) {
            put_f32(&w, static_cast<float>(i + 1));
            put_f32(&w, 0.0f);
            put_f32(&w, 0.0f);
        }
        w.bytes.resize(w.bytes.size() - 12 + partial);
        const walk_report r = load_bytes(w.bytes);
        EXPECT_EQ(model.vertex_count, 2) << partial;
        EXPECT_FLOAT_EQ(model.vertices[1].x, 2.0f);
        EXPECT_NE(notes_of(r).find("2 of 3"), std::string::npos) << notes_of(r);
    }
    // A face list ending inside its second record.
    byte_writer faces;
    put_vertex_list(&faces, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    put_chunk_header(&faces, CHUNK_FACES, 6 + 2 + 16);
    put_u16(&faces, 2);
    for (uint16_t v : {0, 1, 2, 7, 0, 2})
        put_u16(&faces, v);
    walk_report r = load_bytes(faces.bytes);
    EXPECT_EQ(model.face_count, 1);
    EXPECT_NE(notes_of(r).find("1 of 2"), std::string::npos) << notes_of(r);
    // A mapping list ending inside its third record keeps only the two whole ones.
    byte_writer uvs;
    put_vertex_list(&uvs, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    put_chunk_header(&uvs, CHUNK_MAPPING, 6 + 2 + 24);
    put_u16(&uvs, 3);
    for (float f : {0.5f, 0.25f, 1.0f, 0.0f, 0.75f})
        put_f32(&uvs, f);
    std::memset(model.texcoords, 0, sizeof model.texcoords);
    r = load_bytes(uvs.bytes);
    EXPECT_EQ(r.texcoords.stored, 2u);
    EXPECT_FLOAT_EQ(model.texcoords[1].u, 1.0f);
    EXPECT_EQ(model.texcoords[2].u, 0.0f);
}

TEST(ModelReader, CountCutOffOrHeaderCutOffEndsTheWalkCleanly)
{
    byte_writer w;
    put_vertex_list(&w, {{1, 1, 1}});
    put_chunk_header(&w, CHUNK_FACES, 8);
    put_u8(&w, 1);  // half a count
    walk_report r = load_bytes(w.bytes);
    EXPECT_EQ(model.vertex_count, 1);
    EXPECT_NE(notes_of(r).find("count"), std::string::npos) << notes_of(r);

    byte_writer tail;
    put_vertex_list(&tail, {{1, 1, 1}});
    put_u16(&tail, CHUNK_MAIN);  // three bytes of a header
    put_u8(&tail, 9);
    r = load_bytes(tail.bytes);
    EXPECT_EQ(model.vertex_count, 1);
    ASSERT_EQ(r.notes.size(), 1u) << notes_of(r);
    EXPECT_EQ(r.notes[0].offset, 20);
}

TEST(ModelReader, SkipPastTheEndOfTheFileIsReported)
{
    byte_writer w;
    put_vertex_list(&w, {{1, 1, 1}});
    put_chunk_header(&w, CHUNK_MATERIAL, 1000);
    const walk_report r = load_bytes(w.bytes);
    EXPECT_EQ(model.vertex_count, 1);
    EXPECT_NE(notes_of(r).find("0xAFFF"), std::string::npos) << notes_of(r);
}

TEST(ModelReader, ObjectNamesOfNineteenTwentyAndTwentyFiveBytes)
{
    const std::string n19(19, 'a'), n20(20, 'b'), n25(25, 'c');
    // 19: stored with its NUL in all 20 bytes.
    walk_report r = load_bytes(make_3ds({grid_object(n19, 3, 0.0f)}));
    EXPECT_EQ(std::string(model.name, 20), n19 + '\0');
    EXPECT_EQ(model.vertex_count, 3);
    EXPECT_EQ(notes_of(r), "");
    // 20 and 25: the first 20 bytes kept, the rest up to the NUL skipped, so
    // the mesh after the name is still read where it stands.
    for (const std::string& name : {n20, n25}) {
        r = load_bytes(make_3ds({grid_object(name, 3, 0.0f)}));
        EXPECT_EQ(std::string(model.name, 20), name.substr(0, 20));
        EXPECT_EQ(model.vertex_count, 3) << name.size();
        EXPECT_EQ(model.face_count, 1);
        EXPECT_NE(notes_of(r).find(std::to_string(name.size()) + " bytes"), std::string::npos)
            << notes_of(r);
    }
}

TEST(ModelReader, NameRunningIntoTheEndOfTheFileStopsTheWalk)
{
    byte_writer w;
    put_chunk_header(&w, CHUNK_OBJECT, 100);
    put_bytes(&w, "unterminated", 12);
    const walk_report r = load_bytes(w.bytes);
    EXPECT_NE(notes_of(r).find("name"), std::string::npos) << notes_of(r);
}

TEST(ModelReader, TriangleWithACornerPastTheStoredVerticesIsDropped)
{
    mesh_object first = grid_object("first", 3, 0.0f);
    mesh_object second = grid_object("second", 3, 5.0f);
    // Corner 3 of the second mesh is vertex 6, one past the six stored.
    second.faces = {{0, 1, 3}, {2, 1, 0}, {0, 65535, 1}};
    const walk_report r = load_bytes(make_3ds({first, second}));
    EXPECT_EQ(model.vertex_count, 6);
    ASSERT_EQ(model.face_count, 2) << "one good face of each mesh";
    EXPECT_EQ(model.faces[1].a, 5);
    EXPECT_EQ(model.faces[1].c, 3);
    EXPECT_NE(notes_of(r).find("2 triangle(s)"), std::string::npos) << notes_of(r);
}

TEST(ModelReader, ReportCountsEachListKindAndHoldsTheNotesItPrinted)
{
    mesh_object first = grid_object("first", 3, 0.0f);
    mesh_object second = grid_object("second", 4, 5.0f);
    // Corner 7 of the second mesh is past the 7 stored vertices; the file
    // ends inside the third record.
    second.faces = {{0, 1, 7}, {0, 1, 2}, {1, 2, 3}};
    std::vector<uint8_t> bytes = make_3ds({first, second});
    bytes.resize(bytes.size() - 4);
    const std::string path = test_support::temp_path("report.3ds");
    ASSERT_TRUE(write_file(path, bytes));
    const printed p = load_printing(path);
    ASSERT_TRUE(p.opened);
    const walk_report& report = p.report;
    EXPECT_EQ(report.vertices.read, 7u);
    EXPECT_EQ(report.vertices.stored, 7u);
    EXPECT_EQ(report.faces.read, 3u) << "one of the first mesh, two whole ones of the second";
    EXPECT_EQ(report.faces.stored, 2u);
    EXPECT_EQ(report.texcoords.read, 7u);
    size_t lines = 0;
    for (char c : p.lines)
        lines += c == '\n';
    EXPECT_EQ(report.texcoords.stored, lines);
    ASSERT_EQ(report.notes.size(), 2u) << p.notes;
    EXPECT_NE(report.notes[0].text.find("1 triangle(s)"), std::string::npos);
    EXPECT_NE(report.notes[1].text.find("2 of 3 records"), std::string::npos);
    std::string expected;
    for (const load_note& n : report.notes)
        expected += path + ": offset " + std::to_string(n.offset) + ": " + n.text + "\n";
    EXPECT_EQ(p.notes, expected);
}

// What a sink hears, in the order it hears it.
struct heard {
    std::vector<std::string> events;
    static void mapping(void* user, int32_t first, int32_t count)
    {
        static_cast<heard*>(user)->events.push_back("mapping " + std::to_string(first) + " " +
                                                    std::to_string(count));
    }
    static void note(void* user, const load_note& n)
    {
        static_cast<heard*>(user)->events.push_back("note " + n.text.substr(0, 13));
    }
};

walk_report walk_heard(const std::vector<uint8_t>& bytes, heard* h)
{
    model.vertex_count = 0;
    model.face_count = 0;
    mesh_sink sink = model_sink(&model);
    sink.user = h;
    sink.mapping_stored = heard::mapping;
    sink.noted = heard::note;
    walk_report report;
    read_3ds(bytes.data(), bytes.size(), &sink, &report);
    return report;
}

// The viewer prints each list's lines and each note as it hears of them, so
// stdout and stderr keep their order when they share a file.
TEST(ModelReader, SinkHearsEachMappingListAndEachNoteInFileOrder)
{
    mesh_object first = grid_object("first", 3, -2.0f);
    mesh_object second = grid_object(std::string(25, 'n'), 4, 5.0f);
    second.uvs.resize(2);
    second.faces = {{0, 1, 9}};
    heard h;
    const walk_report r = walk_heard(make_3ds({first, second}), &h);
    EXPECT_EQ(h.events, (std::vector<std::string>{"mapping 0 3", "note object name o",
                                                  "mapping 3 2", "note 1 triangle(s)"}));
    // The bounds of the vertices as read, origin or not.
    EXPECT_EQ(r.bounds.min[0], -2.0f);
    EXPECT_EQ(r.bounds.max[0], 8.0f);
    EXPECT_EQ(r.bounds.min[1], 1.0f);
    EXPECT_EQ(r.bounds.max[2], -1.0f);
}

TEST(ModelReader, ReportKeepsTheFirstNotesOfAHostileFileWhileTheSinkHearsThemAll)
{
    byte_writer w;
    put_vertex_list(&w, {{0, 0, 0}});
    for (int i = 0; i < 1000; ++i)
        put_face_list(&w, {{0, 0, 1}});
    heard h;
    const walk_report r = walk_heard(w.bytes, &h);
    EXPECT_EQ(h.events.size(), 1000u);
    EXPECT_EQ(r.note_count, 1000u);
    ASSERT_EQ(r.notes.size(), KEPT_NOTES);
    EXPECT_EQ(r.notes.back().offset, 20 + static_cast<int64_t>(KEPT_NOTES - 1) * 16 + 8);
}

// ---- the texture files a model names ----------------------------------------

std::vector<std::string> names_in(const std::vector<uint8_t>& bytes)
{
    return read_3ds_texture_names(bytes.data(), bytes.size());
}

TEST(TextureNames, EachMaterialsMapNameInFileOrderEachOnce)
{
    const mesh_object box = grid_object("box", 3, 0.0f);
    EXPECT_EQ(names_in(make_3ds({box})), std::vector<std::string>{});
    EXPECT_EQ(names_in(make_3ds({box}, {"WOOD.BMP", "maps\\Stone.jpg", "WOOD.BMP"})),
              (std::vector<std::string>{"WOOD.BMP", "maps\\Stone.jpg"}));

    // A map name outside a texture map, or a texture map outside a material,
    // is not a material's texture; a name runs to its NUL or its chunk's end.
    byte_writer w;
    begin_chunk(&w, CHUNK_MAIN);
    begin_chunk(&w, CHUNK_EDITOR);
    begin_chunk(&w, CHUNK_MAP_NAME);
    put_bytes(&w, "LOOSE.BMP", 10);
    end_chunk(&w);
    begin_chunk(&w, CHUNK_TEXTURE_MAP);
    begin_chunk(&w, CHUNK_MAP_NAME);
    put_bytes(&w, "NOMATERIAL.BMP", 15);
    end_chunk(&w);
    end_chunk(&w);
    begin_chunk(&w, CHUNK_MATERIAL);
    begin_chunk(&w, CHUNK_TEXTURE_MAP);
    begin_chunk(&w, CHUNK_MAP_NAME);
    put_bytes(&w, "CUT", 3);
    end_chunk(&w);
    end_chunk(&w);
    end_chunk(&w);
    end_chunk(&w);
    end_chunk(&w);
    EXPECT_EQ(names_in(w.bytes), std::vector<std::string>{"CUT"});

    // A material chunk claiming more than its parent holds stays inside it,
    // and a file cut inside a name keeps what was there.
    std::vector<uint8_t> bytes = make_3ds({box}, {"FIRST.BMP"});
    std::vector<uint8_t> cut = make_3ds({}, {"SECOND.BMP"});
    cut.resize(cut.size() - 5);
    EXPECT_EQ(names_in(cut), std::vector<std::string>{"SECOND"});
    byte_writer liar;
    begin_chunk(&liar, CHUNK_MAIN);
    begin_chunk(&liar, CHUNK_EDITOR);
    put_chunk_header(&liar, CHUNK_MATERIAL, 0xFFFFFF00u);
    put_material(&liar, "INSIDE.BMP");
    end_chunk(&liar);
    end_chunk(&liar);
    put_material(&liar, "OUTSIDE.BMP");
    EXPECT_EQ(names_in(liar.bytes), std::vector<std::string>{});
    EXPECT_EQ(names_in(bytes), std::vector<std::string>{"FIRST.BMP"});
}

TEST(TextureNames, SharedModelsNameTheFilesTheirMaterialsUse)
{
    REQUIRE_TESTDATA();
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"test1.3ds", {"IMAGE1.JPG", "CWALL02.JPG", "IMAGE2.JPG"}},
        {"cube_with_diffuse_texture.3DS", {"TEST.PNG"}},
        {"cubes_with_alpha.3DS", {"BERETTA_.JPG"}},
        {"fels.3ds", {}},
        {"empty.3ds", {}},
    };
    for (const auto& [file, names] : cases) {
        FILE* f = std::fopen(test_support::testdata_path(std::string("3ds/") + file).c_str(), "rb");
        ASSERT_NE(f, nullptr) << file;
        EXPECT_EQ(read_3ds_texture_names_file(f), names) << file;
        std::fclose(f);
    }
}

// ---- normalisation ------------------------------------------------------

struct normalize_case {
    const char* what;
    std::vector<mesh_vertex> vertices;
    const char* line;
    mesh_vertex expect_min;
    mesh_vertex expect_max;
};

TEST(Normalize, CentresTheBoxThatHoldsTheOriginAndScalesItToTen)
{
    const normalize_case cases[] = {
        {"x from 2 to 4: the box from 0 is centred, not the model",
         {{2, 0, 0}, {4, 0, 0}},
         "offesty: 0.000000 4.000000 4.000000\n",
         {0, 0, 0},
         {5, 0, 0}},
        {"mixed signs on every axis",
         {{-1, -1, -2}, {3, 1, 2}},
         "offesty: -1.000000 3.000000 2.000000\n",
         {-5, -2.5f, -5},
         {5, 2.5f, 5}},
        {"all at the origin: no scaling",
         {{0, 0, 0}, {0, 0, 0}},
         "offesty: 0.000000 0.000000 0.000000\n",
         {0, 0, 0},
         {0, 0, 0}},
        {"one vertex below the origin: the box runs up to 0",
         {{-8, -2, 0}},
         "offesty: -8.000000 0.000000 -8.000000\n",
         {-5, -1.25f, 0},
         {-5, -1.25f, 0}},
    };
    for (const normalize_case& c : cases) {
        model.vertex_count = static_cast<int32_t>(c.vertices.size());
        for (size_t i = 0; i < c.vertices.size(); ++i)
            model.vertices[i] = {c.vertices[i].x, c.vertices[i].y, c.vertices[i].z};
        EXPECT_EQ(normalize_output(), c.line) << c.what;
        mesh_vertex lo = {1e9f, 1e9f, 1e9f}, hi = {-1e9f, -1e9f, -1e9f};
        for (int32_t i = 0; i < model.vertex_count; ++i) {
            const model_vertex& v = model.vertices[i];
            lo = {std::min(lo.x, v.x), std::min(lo.y, v.y), std::min(lo.z, v.z)};
            hi = {std::max(hi.x, v.x), std::max(hi.y, v.y), std::max(hi.z, v.z)};
        }
        EXPECT_FLOAT_EQ(lo.x, c.expect_min.x) << c.what;
        EXPECT_FLOAT_EQ(lo.y, c.expect_min.y) << c.what;
        EXPECT_FLOAT_EQ(lo.z, c.expect_min.z) << c.what;
        EXPECT_FLOAT_EQ(hi.x, c.expect_max.x) << c.what;
        EXPECT_FLOAT_EQ(hi.y, c.expect_max.y) << c.what;
        EXPECT_FLOAT_EQ(hi.z, c.expect_max.z) << c.what;
    }
}

TEST(Normalize, EmptyModelPrintsZerosAndTouchesNothing)
{
    model.vertex_count = 0;
    model.vertices[0] = {7, 7, 7};
    EXPECT_EQ(normalize_output(), "offesty: 0.000000 0.000000 0.000000\n");
    EXPECT_FLOAT_EQ(model.vertices[0].x, 7.0f);
}

TEST(Normalize, UsesSinglePrecisionWithTheScaleRoundedToFloat)
{
    // 10 / 3 rounds differently in float and double; the result must be the
    // float product with the float scale.
    model.vertex_count = 1;
    model.vertices[0] = {3.0f, 1.0f, 0.0f};
    fit_model(&model);
    const float scale = 10.0f / 3.0f;
    EXPECT_EQ(model.vertices[0].x, (3.0f - 1.5f) * scale);
    EXPECT_EQ(model.vertices[0].y, (1.0f - 0.5f) * scale);
}

// ---- the shared real-world models ----------------------------------------

struct shared_model {
    const char* file;
    int vertices;
    int faces;
    int texcoords;
    const char* line;  // empty: the data's table gives no line
};

const shared_model shared_models[] = {
    {"CameraRollAnim.3ds", 26, 12, 26, "offesty: -24.786327 45.868946 21.082619\n"},
    {"CameraRollAnimWithChildObject.3ds", 52, 24, 52, "offesty: -54.889870 45.868946 -9.020924\n"},
    {"RotatingCube.3DS", 26, 12, 26, "offesty: -46.092499 8.761116 -37.331383\n"},
    {"TargetCameraAnim.3ds", 26, 12, 26, ""},
    {"cube_with_diffuse_texture.3DS", 32, 12, 32, "offesty: -50.000004 0.000008 -49.999996\n"},
    {"cubes_with_alpha.3DS", 130, 60, 130, "offesty: -856.310974 98.810463 -757.500488\n"},
    {"fels.3ds", 386, 768, 0, "offesty: -2.221913 1.282885 -0.939029\n"},
    {"test1.3ds", 288, 108, 288, "offesty: -10.343208 9.850850 -0.492358\n"},
    {"empty.3ds", 0, 0, 0, "offesty: 0.000000 0.000000 0.000000\n"},
};

TEST(SharedModels, CountsAndNormalisationLineMatchTheTable)
{
    REQUIRE_TESTDATA();
    for (const shared_model& m : shared_models) {
        const std::string path = test_support::testdata_path("3ds/") + m.file;
        model_report report;
        ASSERT_TRUE(load_3ds_model(&model, path.c_str(), &report, nullptr, nullptr)) << path;
        EXPECT_EQ(notes_of(report), "") << m.file;
        EXPECT_EQ(model.vertex_count, m.vertices) << m.file;
        EXPECT_EQ(model.face_count, m.faces) << m.file;
        EXPECT_EQ(report.texcoords.stored, static_cast<uint32_t>(m.texcoords)) << m.file;
        for (int32_t i = 0; i < model.face_count; ++i) {
            ASSERT_LT(model.faces[i].a, model.vertex_count) << m.file;
            ASSERT_LT(model.faces[i].b, model.vertex_count) << m.file;
            ASSERT_LT(model.faces[i].c, model.vertex_count) << m.file;
        }
        const std::string line = normalize_output();
        if (*m.line) {
            EXPECT_EQ(line, m.line) << m.file;
        }
    }
}

TEST(SharedModels, AssetInfoPrintsExactlyTheViewersLines)
{
    REQUIRE_TESTDATA();
    for (const shared_model& m : shared_models) {
        const std::string path = test_support::testdata_path("3ds/") + m.file;
        std::string expected = load_printing(path).lines;
        expected += normalize_output();

        const test_support::run_result r = test_support::run_program({ASSET_INFO, "model", path});
        EXPECT_EQ(r.code(), 0) << m.file;
        EXPECT_EQ(r.out, expected) << m.file;
        EXPECT_NE(r.err.find("vertices: " + std::to_string(m.vertices) + "\n"), std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find("faces: " + std::to_string(m.faces) + "\n"), std::string::npos);
        EXPECT_NE(r.err.find("texture coordinates: " + std::to_string(m.texcoords) + "\n"),
                  std::string::npos)
            << r.err;
    }
}

TEST(SharedModels, AssetInfoCountsMappingCoordinatesWhateverTheirBits)
{
    // All bits set is a NaN a file may hold like any other value.
    const uint32_t all_ones = 0xFFFFFFFFu;
    float nan_bits;
    std::memcpy(&nan_bits, &all_ones, 4);
    mesh_object o = grid_object("nan", 3, 0.0f);
    o.uvs = {{nan_bits, nan_bits}, {0.5f, 0.5f}, {nan_bits, 0.0f}};
    const std::string path = test_support::temp_path("nan-bits.3ds");
    ASSERT_TRUE(write_file(path, make_3ds({o})));
    const test_support::run_result r = test_support::run_program({ASSET_INFO, "model", path});
    EXPECT_EQ(r.code(), 0);
    EXPECT_NE(r.err.find("texture coordinates: 3\n"), std::string::npos) << r.err;
}

TEST(SharedModels, AssetInfoOnAMissingFileFailsButPrintsTheViewersLine)
{
    const test_support::run_result r = test_support::run_program({ASSET_INFO, "model", test_support::temp_path("absent.3ds")});
    EXPECT_EQ(r.code(), 1);
    EXPECT_EQ(r.out, "offesty: 0.000000 0.000000 0.000000\n");
    EXPECT_NE(r.err.find("cannot open"), std::string::npos);
}

// ---- the printed lines ----------------------------------------------------

TEST(ModelReader, MappingLinesAreByteForByteWhatPrintfMakes)
{
    std::vector<float> values = {0.0f, -0.0f, 1.0f, -1.0f, 0.5f, 1e-7f, -1e-7f, 5e-7f, 4.9999997e-7f,
                                 0.0078125f, 0.0234375f, 2.5e-6f, 123456.789f, 16777216.0f,
                                 3.4028235e38f, -3.4028235e38f, 1.17549435e-38f, 1e-45f,
                                 INFINITY, -INFINITY, NAN, -NAN};
    // And every exponent, with pseudo-random mantissas.
    uint32_t state = 12345;
    while (values.size() < 9000) {
        state = state * 1664525u + 1013904223u;
        float f;
        std::memcpy(&f, &state, 4);
        values.push_back(f);
    }
    mesh_object o;
    o.name = "numbers";
    std::string expected;
    for (size_t i = 0; i + 1 < values.size(); i += 2) {
        o.vertices.push_back({0, 0, 0});
        o.uvs.push_back({values[i], values[i + 1]});
        char line[200];
        std::snprintf(line, sizeof line, "Koordynaty: %f, %f\n", static_cast<double>(values[i]),
                      static_cast<double>(values[i + 1]));
        expected += line;
    }
    EXPECT_EQ(load_printing(make_3ds({o})).lines, expected);
}
