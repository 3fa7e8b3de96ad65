// The texture files a 3DS model's materials name: the map file name (chunk
// 0xA300) of each material's texture map (0xA200, in a material 0xAFFF of the
// editor chunk), in file order. A reader of its own beside the flat walk,
// which skips materials: this one follows the chunk tree, each chunk inside
// its parent's end, and reads nothing else.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace formats {

// Names are kept as stored (the bytes up to their NUL, at most this many),
// each once, at most MAX_TEXTURE_NAMES of them.
constexpr size_t MAX_TEXTURE_NAME = 255;
constexpr size_t MAX_TEXTURE_NAMES = 64;

std::vector<std::string> read_3ds_texture_names(const void* data, size_t size);
// An open file, read from its start.
std::vector<std::string> read_3ds_texture_names_file(FILE* file);

}  // namespace formats
