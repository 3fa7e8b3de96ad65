// Inside the BMP decoder: what its header reader (bmp.cpp) hands its pixel
// decoders (bmp_rows.cpp). Nothing outside the decoder includes this.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "bmp.h"
#include "format_bmp.h"
#include "cursor.h"
#include "note.h"

namespace formats {

enum pixel_layout { PIXELS_INDEXED, PIXELS_BGR24, PIXELS_MASKED, PIXELS_RLE8, PIXELS_RLE4 };

struct bmp_channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;          // 0: the masks give this channel nothing, it reads 0
    uint8_t level[256]{};  // the 8-bit value of each raw value, for channels of 8 bits or less
};

// What the headers say, checked before any pixel is read.
struct bmp_header {
    uint32_t file_size_field = 0;
    uint32_t pixel_offset = 0;
    uint32_t info_size = 0;
    int32_t width = 0;
    int32_t height = 0;  // negative for a picture stored top row first
    int32_t rows = 0;    // the height's magnitude
    uint16_t planes = 0;
    uint16_t bits = 0;
    uint32_t compression = BMP_BI_RGB;
    uint32_t image_size = 0;
    int32_t x_density = 0;
    int32_t y_density = 0;
    uint32_t colours_used = 0;
    uint32_t header_masks[3] = {0, 0, 0};  // present in Windows headers of 52 bytes or more

    pixel_layout layout = PIXELS_BGR24;
    uint32_t mask_bytes = 0;  // masks stored between the header and the colour table
    bmp_channel red, green, blue;
    int palette_size = 0;
    uint8_t palette[256][3]{};  // red, green, blue
};

// Every note of the decoder is about the file as a whole.
inline void add_note(std::vector<load_note>* notes, std::string text)
{
    notes->push_back({-1, std::move(text)});
}

// Uncompressed rows with their 4-byte stride; rows missing at the file's end
// stay zero.
void decode_plain_rows(cursor* c, const bmp_header& h, bmp_image* image,
                       std::vector<load_note>* notes);

// RLE8 and RLE4 streams, bottom row first. Pixels the stream skips are black;
// a malformed stream keeps what was decoded before the fault.
void decode_rle_stream(cursor* c, const bmp_header& h, bmp_image* image,
                       std::vector<load_note>* notes);

}  // namespace formats
