#include "texture_names.h"

#include <algorithm>

#include "cursor.h"
#include "format_3ds.h"

namespace formats {

namespace {

// The chunks on the way to a name, outermost first; the last holds it.
constexpr uint16_t PATH[] = {CHUNK_MAIN, CHUNK_EDITOR, CHUNK_MATERIAL, CHUNK_TEXTURE_MAP,
                             CHUNK_MAP_NAME};
constexpr int DEPTH = sizeof PATH / sizeof PATH[0];

void read_name(cursor* c, int64_t end, std::vector<std::string>* names)
{
    std::string name;
    uint8_t b;
    while (cursor_pos(c) < end && read_u8(c, &b) && b != 0 && name.size() < MAX_TEXTURE_NAME)
        name += static_cast<char>(b);
    if (!name.empty() && names->size() < MAX_TEXTURE_NAMES &&
        std::find(names->begin(), names->end(), name) == names->end())
        names->push_back(name);
}

// The chunks from here to `end` (which the caller has checked lies within
// the file), at `depth` on the path.
void read_chunks(cursor* c, int64_t end, int depth, std::vector<std::string>* names)
{
    while (end - cursor_pos(c) >= static_cast<int64_t>(CHUNK_HEADER_SIZE)) {
        const int64_t start = cursor_pos(c);
        uint8_t head[CHUNK_HEADER_SIZE];
        if (!read_bytes(c, head, sizeof head))
            return;  // the file shrank under us: `end` is where it ended before
        const uint16_t id = u16_at(head);
        const uint32_t length = u32_at(head + 2);
        // A shorter length would stand still; a longer one may not leave its parent.
        if (length < CHUNK_HEADER_SIZE)
            return;
        const int64_t chunk_end = std::min(start + static_cast<int64_t>(length), end);
        if (id == PATH[depth]) {
            if (depth + 1 == DEPTH)
                read_name(c, chunk_end, names);
            else
                read_chunks(c, chunk_end, depth + 1, names);
        }
        if (!seek_to(c, static_cast<uint64_t>(chunk_end)))
            return;
    }
}

std::vector<std::string> read_names(cursor* c)
{
    std::vector<std::string> names;
    read_chunks(c, c->size, 0, &names);
    return names;
}

}  // namespace

std::vector<std::string> read_3ds_texture_names(const void* data, size_t size)
{
    cursor c;
    cursor_over_memory(&c, data, size);
    return read_names(&c);
}

std::vector<std::string> read_3ds_texture_names_file(FILE* file)
{
    return read_over_file(file, read_names);
}

}  // namespace formats
