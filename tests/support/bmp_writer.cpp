#include "support/bmp_writer.h"

#include <algorithm>

#include "formats/writer.h"

namespace test_support {

using namespace formats;

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

}  // namespace test_support
