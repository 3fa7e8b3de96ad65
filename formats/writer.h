// Writers for 3DS, BMP, TGA and PPM files, beside their readers: the demo
// assets are made with them, the tests build well-formed and broken files on
// them, and the tools and tests save pictures as PPM.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "format_3ds.h"
#include "format_bmp.h"
#include "format_tga.h"

namespace formats {

// ---- bytes -------------------------------------------------------------

struct byte_writer {
    std::vector<uint8_t> bytes;
    std::vector<size_t> open_chunks;  // offsets of 3DS chunk headers awaiting their length
};

void put_u8(byte_writer* w, uint8_t v);
void put_u16(byte_writer* w, uint16_t v);
void put_u32(byte_writer* w, uint32_t v);
void put_i32(byte_writer* w, int32_t v);
void put_f32(byte_writer* w, float v);
void put_bytes(byte_writer* w, const void* data, size_t n);
void patch_u32(byte_writer* w, size_t offset, uint32_t v);

bool write_file(const std::string& path, const std::vector<uint8_t>& bytes);

// ---- 3DS ---------------------------------------------------------------

// A chunk's length is patched in when it is ended, so chunks nest freely.
void begin_chunk(byte_writer* w, uint16_t id);
void end_chunk(byte_writer* w);
// A header with its length given: for a body that is not in `w` (a hole in
// a sparse file), or a length that lies.
void put_chunk_header(byte_writer* w, uint16_t id, uint32_t length);

struct mesh_face {
    uint16_t a, b, c;  // corners, relative to the mesh's own vertices
};

// Whole lists, each its own chunk with its 2-byte count.
void put_vertex_list(byte_writer* w, const std::vector<mesh_vertex>& vertices);
void put_face_list(byte_writer* w, const std::vector<mesh_face>& faces);
void put_mapping_list(byte_writer* w, const std::vector<mesh_uv>& uvs);

struct mesh_object {
    std::string name;
    std::vector<mesh_vertex> vertices;
    std::vector<mesh_face> faces;
    std::vector<mesh_uv> uvs;  // empty: no mapping list
};

// A material whose texture map names the file `texture`.
void put_material(byte_writer* w, const std::string& texture);

// A complete file: main chunk, editor chunk, a material for each texture
// named, one object block per mesh.
std::vector<uint8_t> make_3ds(const std::vector<mesh_object>& objects,
                              const std::vector<std::string>& textures = {});

// ---- BMP ---------------------------------------------------------------

// A BMP file of any kind, its fields written as given, so a file may also
// lie about itself.
struct bmp_spec {
    int32_t width = 0;
    int32_t height = 0;             // as stored: negative for a top-down file
    uint16_t planes = 1;
    uint16_t bits = 24;
    uint32_t compression = BMP_BI_RGB;
    uint32_t info_size = BMP_INFO_HEADER;  // 12 writes an OS/2 core header with 16-bit sizes
    uint32_t colours_used = 0;      // the header's palette count
    std::vector<uint32_t> palette;  // 0xRRGGBB; 3 bytes each after a 12-byte header, else 4
    // Red, green, blue (and alpha) masks: inside a header of 52 bytes or more
    // as far as it has room, otherwise right after the header.
    std::vector<uint32_t> masks;
    std::vector<uint8_t> pixels;    // the pixel data exactly as stored
};

std::vector<uint8_t> make_bmp(const bmp_spec& spec);

// Packs one value per pixel into rows of `bits`-bit pixels, each row padded
// to 4 bytes, in the order given. A value is a colour index (1 to 8 bits), a
// pixel word (16 or 32 bits) or 0xRRGGBB (24 bits).
std::vector<uint8_t> pack_bmp_rows(int32_t width, int32_t rows, uint16_t bits,
                                   const std::vector<uint32_t>& values);

// The common kind, uncompressed 24-bit, from a picture.
struct bmp24_options {
    bool top_down = false;        // store the top row first (negative height)
    uint32_t info_size = 40;      // 40, 52, 56, 108 or 124; the extra bytes are zero
    uint32_t palette_entries = 0; // an unused colour table between headers and pixels
    bool pad_rows = true;         // false writes rows without their 4-byte padding
};

// `rgb` holds width * height pixels, 3 bytes each (red, green, blue), the
// picture's bottom row first.
std::vector<uint8_t> make_bmp24(int32_t width, int32_t height, const std::vector<uint8_t>& rgb,
                                const bmp24_options& options = bmp24_options{});

// ---- TGA ---------------------------------------------------------------

struct tga_options {
    uint8_t image_type = TGA_TRUE_COLOUR;  // any tga_image_type, RLE or not
    uint8_t bits = 24;            // per pixel: 15, 16, 24, 32; 8 for grey and colour indices
    bool top_left = false;        // store the top row first
    bool right_to_left = false;   // store each row from its right end
    std::string image_id;         // up to 255 bytes, between the header and the colour map
    // A colour map of `map_bits`-bit entries (15, 16, 24, 32) made from
    // `map_rgba` (4 bytes an entry), the first standing for index `map_first`.
    // Written whenever it has entries, also before pixels that ignore it.
    std::vector<uint8_t> map_rgba;
    uint16_t map_first = 0;
    uint8_t map_bits = 24;
};

// `pixels` holds width * height pixels, the picture's bottom row first: for
// true colour 4 bytes each (red, green, blue, alpha), for grey and colour
// indices 1 byte each. At 15 and 16 bits each channel is rounded to 5 bits,
// and at 16 the attribute bit is set where alpha is 128 or more. RLE packets
// run on across row ends, as many writers' do.
// What the header cannot state is refused with an empty vector (no TGA is
// empty): a side outside 0 to 65535, an image ID over 255 bytes, a colour map
// over 65535 entries.
std::vector<uint8_t> make_tga(int32_t width, int32_t height, const std::vector<uint8_t>& pixels,
                              const tga_options& options = tga_options{});

// ---- PPM ---------------------------------------------------------------

// A binary PPM (P6, 8 bits a channel), top row first. The picture's top row
// starts at `top_row` and each next row `row_step` bytes on (negative for a
// picture kept bottom row first); a pixel's red, green and blue are its first
// three bytes, and the next pixel starts `pixel_step` bytes on.
std::vector<uint8_t> make_ppm(int32_t width, int32_t height, const uint8_t* top_row,
                              ptrdiff_t row_step, int pixel_step = 3);

}  // namespace formats
