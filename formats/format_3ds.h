// The 3DS file's facts, in one place for the reader, the writer, the fuzz
// seeds and the tests: chunk ids and the records they hold.
//
// A chunk is a 6-byte header (16-bit id, 32-bit length counting the header)
// and a body; every number is little-endian.
#pragma once

#include <cstdint>

namespace formats {

// Chunk ids.
constexpr uint16_t CHUNK_VERSION = 0x0002;     // file version, a 32-bit number
constexpr uint16_t CHUNK_MAIN = 0x4D4D;        // the whole file
constexpr uint16_t CHUNK_EDITOR = 0x3D3D;      // the scene
constexpr uint16_t CHUNK_OBJECT = 0x4000;      // a NUL-ended name, then the object's chunks
constexpr uint16_t CHUNK_MESH = 0x4100;        // a triangle mesh's lists
constexpr uint16_t CHUNK_VERTICES = 0x4110;    // 16-bit count, then vertex records
constexpr uint16_t CHUNK_FACES = 0x4120;       // 16-bit count, then face records
constexpr uint16_t CHUNK_MAPPING = 0x4140;     // 16-bit count, then mapping records
constexpr uint16_t CHUNK_LOCAL_AXES = 0x4160;  // the mesh's own axes
constexpr uint16_t CHUNK_MATERIAL = 0xAFFF;    // a material, which the flat walk skips
constexpr uint16_t CHUNK_TEXTURE_MAP = 0xA200; // a material's texture map
constexpr uint16_t CHUNK_MAP_NAME = 0xA300;    // a map's NUL-ended file name
constexpr uint16_t CHUNK_KEYFRAMER = 0xB000;   // animation, which the flat walk skips

// Sizes in bytes.
constexpr uint32_t CHUNK_HEADER_SIZE = 6;  // id, length
constexpr uint32_t LIST_COUNT_SIZE = 2;    // the count before a list's records
constexpr uint32_t VERTEX_RECORD = 12;     // float x, y, z
constexpr uint32_t FACE_RECORD = 8;        // 16-bit a, b, c, flags
constexpr uint32_t TEXCOORD_RECORD = 8;    // float u, v

// The records as numbers.
struct mesh_vertex {
    float x, y, z;
};
struct mesh_uv {
    float u, v;
};

}  // namespace formats
