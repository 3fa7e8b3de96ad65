#include "writer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace formats {

void put_u8(byte_writer* w, uint8_t v)
{
    w->bytes.push_back(v);
}

void put_u16(byte_writer* w, uint16_t v)
{
    put_u8(w, static_cast<uint8_t>(v));
    put_u8(w, static_cast<uint8_t>(v >> 8));
}

void put_u32(byte_writer* w, uint32_t v)
{
    put_u16(w, static_cast<uint16_t>(v));
    put_u16(w, static_cast<uint16_t>(v >> 16));
}

void put_i32(byte_writer* w, int32_t v)
{
    put_u32(w, static_cast<uint32_t>(v));
}

void put_f32(byte_writer* w, float v)
{
    uint32_t u;
    std::memcpy(&u, &v, 4);
    put_u32(w, u);
}

void put_bytes(byte_writer* w, const void* data, size_t n)
{
    const uint8_t* p = static_cast<const uint8_t*>(data);
    w->bytes.insert(w->bytes.end(), p, p + n);
}

void patch_u32(byte_writer* w, size_t offset, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        w->bytes.at(offset + i) = static_cast<uint8_t>(v >> (8 * i));
}

bool write_file(const std::string& path, const std::vector<uint8_t>& bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    // An empty vector may have no storage to point at.
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

void begin_chunk(byte_writer* w, uint16_t id)
{
    w->open_chunks.push_back(w->bytes.size());
    put_chunk_header(w, id, 0);
}

void end_chunk(byte_writer* w)
{
    const size_t start = w->open_chunks.back();
    w->open_chunks.pop_back();
    patch_u32(w, start + 2, static_cast<uint32_t>(w->bytes.size() - start));
}

void put_chunk_header(byte_writer* w, uint16_t id, uint32_t length)
{
    put_u16(w, id);
    put_u32(w, length);
}

void put_vertex_list(byte_writer* w, const std::vector<mesh_vertex>& vertices)
{
    begin_chunk(w, CHUNK_VERTICES);
    put_u16(w, static_cast<uint16_t>(vertices.size()));
    for (const mesh_vertex& v : vertices) {
        put_f32(w, v.x);
        put_f32(w, v.y);
        put_f32(w, v.z);
    }
    end_chunk(w);
}

void put_face_list(byte_writer* w, const std::vector<mesh_face>& faces)
{
    begin_chunk(w, CHUNK_FACES);
    put_u16(w, static_cast<uint16_t>(faces.size()));
    for (const mesh_face& f : faces) {
        put_u16(w, f.a);
        put_u16(w, f.b);
        put_u16(w, f.c);
        put_u16(w, 7);  // edge flags, as modelling programs write them
    }
    end_chunk(w);
}

void put_mapping_list(byte_writer* w, const std::vector<mesh_uv>& uvs)
{
    begin_chunk(w, CHUNK_MAPPING);
    put_u16(w, static_cast<uint16_t>(uvs.size()));
    for (const mesh_uv& t : uvs) {
        put_f32(w, t.u);
        put_f32(w, t.v);
    }
    end_chunk(w);
}

void put_material(byte_writer* w, const std::string& texture)
{
    begin_chunk(w, CHUNK_MATERIAL);
    begin_chunk(w, CHUNK_TEXTURE_MAP);
    put_chunk_header(w, 0x0030, 8);  // the map's strength, a 16-bit percentage
    put_u16(w, 100);
    begin_chunk(w, CHUNK_MAP_NAME);
    put_bytes(w, texture.c_str(), texture.size() + 1);
    end_chunk(w);
    end_chunk(w);
    end_chunk(w);
}

std::vector<uint8_t> make_3ds(const std::vector<mesh_object>& objects,
                              const std::vector<std::string>& textures)
{
    byte_writer w;
    begin_chunk(&w, CHUNK_MAIN);
    begin_chunk(&w, CHUNK_VERSION);  // which readers skip
    put_u32(&w, 3);
    end_chunk(&w);
    begin_chunk(&w, CHUNK_EDITOR);
    for (const std::string& texture : textures)
        put_material(&w, texture);
    for (const mesh_object& o : objects) {
        begin_chunk(&w, CHUNK_OBJECT);
        put_bytes(&w, o.name.c_str(), o.name.size() + 1);
        begin_chunk(&w, CHUNK_MESH);
        put_vertex_list(&w, o.vertices);
        if (!o.uvs.empty())
            put_mapping_list(&w, o.uvs);
        put_face_list(&w, o.faces);
        end_chunk(&w);
        end_chunk(&w);
    }
    end_chunk(&w);
    end_chunk(&w);
    return w.bytes;
}

std::vector<uint8_t> make_bmp(const bmp_spec& spec)
{
    const bool core = spec.info_size == BMP_OS2_CORE_HEADER;
    const size_t masks_inside =
        spec.info_size >= BMP_INFO_RGB_MASKS
            ? std::min<size_t>(spec.masks.size(), (spec.info_size - BMP_INFO_HEADER) / 4)
            : 0;
    const size_t masks_after = spec.masks.size() - masks_inside;
    const uint32_t entry_size = core ? BMP_CORE_ENTRY_SIZE : BMP_ENTRY_SIZE;
    const uint32_t offset = BMP_FILE_HEADER_SIZE + spec.info_size +
                            4 * static_cast<uint32_t>(masks_after) +
                            entry_size * static_cast<uint32_t>(spec.palette.size());
    const uint32_t file_size = offset + static_cast<uint32_t>(spec.pixels.size());

    byte_writer w;
    put_u8(&w, 'B');
    put_u8(&w, 'M');
    put_u32(&w, file_size);
    put_u32(&w, 0);
    put_u32(&w, offset);
    put_u32(&w, spec.info_size);
    if (core) {
        put_u16(&w, static_cast<uint16_t>(spec.width));
        put_u16(&w, static_cast<uint16_t>(spec.height));
        put_u16(&w, spec.planes);
        put_u16(&w, spec.bits);
    } else {
        put_i32(&w, spec.width);
        put_i32(&w, spec.height);
        put_u16(&w, spec.planes);
        put_u16(&w, spec.bits);
        put_u32(&w, spec.compression);
        put_u32(&w, static_cast<uint32_t>(spec.pixels.size()));
        put_u32(&w, 2835);  // 72 dpi
        put_u32(&w, 2835);
        put_u32(&w, spec.colours_used);
        put_u32(&w, 0);
        for (size_t i = 0; i < masks_inside; ++i)
            put_u32(&w, spec.masks[i]);
    }
    // Whatever else a longer header holds stays zero.
    w.bytes.resize(BMP_FILE_HEADER_SIZE + spec.info_size, 0);
    for (size_t i = masks_inside; i < spec.masks.size(); ++i)
        put_u32(&w, spec.masks[i]);
    for (uint32_t rgb : spec.palette) {
        put_u8(&w, static_cast<uint8_t>(rgb));
        put_u8(&w, static_cast<uint8_t>(rgb >> 8));
        put_u8(&w, static_cast<uint8_t>(rgb >> 16));
        if (!core)
            put_u8(&w, 0);
    }
    put_bytes(&w, spec.pixels.data(), spec.pixels.size());
    return w.bytes;
}

std::vector<uint8_t> pack_bmp_rows(int32_t width, int32_t rows, uint16_t bits,
                                   const std::vector<uint32_t>& values)
{
    const size_t stride = static_cast<size_t>(bmp_row_stride(width, bits));
    std::vector<uint8_t> out(stride * static_cast<size_t>(rows), 0);
    for (int32_t r = 0; r < rows; ++r) {
        uint8_t* row = out.data() + stride * static_cast<size_t>(r);
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t v = values.at(static_cast<size_t>(r) * width + x);
            if (bits < 8) {
                // The leftmost pixel sits in the byte's highest bits.
                const size_t bit = static_cast<size_t>(x) * bits;
                const int shift = 8 - bits - static_cast<int>(bit % 8);
                row[bit / 8] |= static_cast<uint8_t>((v & ((1u << bits) - 1)) << shift);
            } else if (bits == 24) {
                row[3 * x] = static_cast<uint8_t>(v);
                row[3 * x + 1] = static_cast<uint8_t>(v >> 8);
                row[3 * x + 2] = static_cast<uint8_t>(v >> 16);
            } else {
                const int bytes = bits / 8;
                for (int i = 0; i < bytes; ++i)
                    row[bytes * x + i] = static_cast<uint8_t>(v >> (8 * i));
            }
        }
    }
    return out;
}

std::vector<uint8_t> make_bmp24(int32_t width, int32_t height, const std::vector<uint8_t>& rgb,
                                const bmp24_options& options)
{
    bmp_spec spec;
    spec.width = width;
    spec.height = options.top_down ? -height : height;
    spec.info_size = options.info_size;
    spec.colours_used = options.palette_entries;
    spec.palette.assign(options.palette_entries, 0x808080);  // grey, and unused

    const size_t row_bytes = static_cast<size_t>(width) * 3;
    const size_t stride =
        options.pad_rows ? static_cast<size_t>(bmp_row_stride(width, 24)) : row_bytes;
    spec.pixels.assign(stride * static_cast<size_t>(height), 0);
    for (int32_t row = 0; row < height; ++row) {
        const int32_t source_row = options.top_down ? height - 1 - row : row;
        const uint8_t* p = rgb.data() + static_cast<size_t>(source_row) * row_bytes;
        uint8_t* q = spec.pixels.data() + static_cast<size_t>(row) * stride;
        for (int32_t x = 0; x < width; ++x) {
            q[3 * x] = p[3 * x + 2];
            q[3 * x + 1] = p[3 * x + 1];
            q[3 * x + 2] = p[3 * x];
        }
    }
    return make_bmp(spec);
}

namespace {

// One pixel or colour map entry as a TGA file stores it.
void store_tga_pixel(const uint8_t* pixel, int bits, uint8_t* out)
{
    if (bits == 8) {
        out[0] = pixel[0];
    } else if (bits == 15 || bits == 16) {
        const auto five = [](uint8_t v) { return static_cast<unsigned>((v * 31 + 127) / 255); };
        unsigned v = five(pixel[0]) << 10 | five(pixel[1]) << 5 | five(pixel[2]);
        if (bits == 16 && pixel[3] >= 128)
            v |= 0x8000;
        out[0] = static_cast<uint8_t>(v);
        out[1] = static_cast<uint8_t>(v >> 8);
    } else {
        out[0] = pixel[2];
        out[1] = pixel[1];
        out[2] = pixel[0];
        if (bits == 32)
            out[3] = pixel[3];
    }
}

}  // namespace

std::vector<uint8_t> make_tga(int32_t width, int32_t height, const std::vector<uint8_t>& pixels,
                              const tga_options& options)
{
    const uint8_t plain_type = options.image_type & ~TGA_RLE_BIT;
    const bool one_byte = plain_type == TGA_MAPPED || plain_type == TGA_GREY;
    const size_t in_size = one_byte ? 1 : 4;
    const size_t out_size = static_cast<size_t>(tga_pixel_bytes(options.bits));
    const size_t map_entries = options.map_rgba.size() / 4;
    const uint8_t alpha_bits = options.bits == 32 ? 8 : options.bits == 16 ? 1 : 0;
    // Written whole or not at all: a cut field would describe another file.
    if (static_cast<uint32_t>(width) > 0xFFFF || static_cast<uint32_t>(height) > 0xFFFF ||
        options.image_id.size() > 0xFF || map_entries > 0xFFFF)
        return {};

    byte_writer w;
    put_u8(&w, static_cast<uint8_t>(options.image_id.size()));
    put_u8(&w, map_entries > 0 ? 1 : 0);
    put_u8(&w, options.image_type);
    put_u16(&w, options.map_first);
    put_u16(&w, static_cast<uint16_t>(map_entries));
    put_u8(&w, map_entries > 0 ? options.map_bits : 0);
    put_u16(&w, 0);  // the screen origin
    put_u16(&w, 0);
    put_u16(&w, static_cast<uint16_t>(width));
    put_u16(&w, static_cast<uint16_t>(height));
    put_u8(&w, options.bits);
    put_u8(&w, static_cast<uint8_t>(alpha_bits | (options.right_to_left ? TGA_RIGHT_TO_LEFT : 0) |
                                    (options.top_left ? TGA_TOP_LEFT : 0)));
    put_bytes(&w, options.image_id.data(), options.image_id.size());
    for (size_t i = 0; i < map_entries; ++i) {
        uint8_t entry[4];
        store_tga_pixel(&options.map_rgba[4 * i], options.map_bits, entry);
        put_bytes(&w, entry, static_cast<size_t>(tga_pixel_bytes(options.map_bits)));
    }

    // The pixels as stored, in the order stored.
    std::vector<uint8_t> stored;
    for (int32_t k = 0; k < height; ++k) {
        const int32_t row = options.top_left ? height - 1 - k : k;
        for (int32_t i = 0; i < width; ++i) {
            const int32_t x = options.right_to_left ? width - 1 - i : i;
            uint8_t out[4];
            store_tga_pixel(&pixels[(static_cast<size_t>(row) * width + x) * in_size],
                            options.bits, out);
            stored.insert(stored.end(), out, out + out_size);
        }
    }
    if (!(options.image_type & TGA_RLE_BIT)) {
        put_bytes(&w, stored.data(), stored.size());
        return w.bytes;
    }
    const size_t count = stored.size() / out_size;
    const auto same = [&](size_t a, size_t b) {
        return b < count && std::memcmp(&stored[a * out_size], &stored[b * out_size], out_size) == 0;
    };
    for (size_t i = 0; i < count;) {
        size_t n = 1;
        if (same(i, i + 1)) {
            while (n < TGA_PACKET_MAX && same(i, i + n))
                ++n;
            put_u8(&w, static_cast<uint8_t>(TGA_RUN_PACKET | (n - 1)));
            put_bytes(&w, &stored[i * out_size], out_size);
        } else {
            // Up to where a run of two begins.
            while (n < TGA_PACKET_MAX && i + n < count && !same(i + n, i + n + 1))
                ++n;
            put_u8(&w, static_cast<uint8_t>(n - 1));
            put_bytes(&w, &stored[i * out_size], n * out_size);
        }
        i += n;
    }
    return w.bytes;
}

std::vector<uint8_t> make_ppm(int32_t width, int32_t height, const uint8_t* top_row,
                              ptrdiff_t row_step, int pixel_step)
{
    const std::string header =
        "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    std::vector<uint8_t> bytes(header.begin(), header.end());
    bytes.reserve(header.size() + static_cast<size_t>(width) * height * 3);
    for (int32_t row = 0; row < height; ++row) {
        const uint8_t* p = top_row + row * row_step;
        for (int32_t x = 0; x < width; ++x, p += pixel_step)
            bytes.insert(bytes.end(), p, p + 3);
    }
    return bytes;
}

}  // namespace formats
