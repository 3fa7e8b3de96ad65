#include "rgba_rows.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <tmmintrin.h>
#define RGBA_SHUFFLE 1
#endif

namespace formats {

namespace {

// The hot loops for the common kinds. The compiler does not vectorise this
// 3-to-4 byte spread for the baseline x86-64 target (it stores a byte at a
// time), so where the processor has SSSE3 one byte shuffle does four pixels;
// the plain loops do the rest and run everywhere else.
void bgr24_bytes(const uint8_t* __restrict in, uint8_t* __restrict out, size_t from,
                 size_t count)
{
    for (size_t x = from; x < count; ++x) {
        out[4 * x] = in[3 * x + 2];
        out[4 * x + 1] = in[3 * x + 1];
        out[4 * x + 2] = in[3 * x];
        out[4 * x + 3] = 255;
    }
}

void bgra32_bytes(const uint8_t* __restrict in, uint8_t* __restrict out, size_t from,
                  size_t count)
{
    for (size_t x = from; x < count; ++x) {
        out[4 * x] = in[4 * x + 2];
        out[4 * x + 1] = in[4 * x + 1];
        out[4 * x + 2] = in[4 * x];
        out[4 * x + 3] = in[4 * x + 3];
    }
}

#if defined(RGBA_SHUFFLE)
__attribute__((target("ssse3"))) void bgr24_ssse3(const uint8_t* __restrict in,
                                                  uint8_t* __restrict out, size_t count)
{
    // Output byte i takes input byte order[i]; -1 gives 0, which the alpha fills.
    const __m128i order = _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1);
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    size_t x = 0;
    // Each step loads 16 bytes and uses 12: it stops while all 16 lie in the input.
    for (; x + 6 <= count; x += 4) {
        const __m128i bgr = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 3 * x));
        const __m128i rgba = _mm_or_si128(_mm_shuffle_epi8(bgr, order), alpha);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * x), rgba);
    }
    bgr24_bytes(in, out, x, count);
}

__attribute__((target("ssse3"))) void bgra32_ssse3(const uint8_t* __restrict in,
                                                   uint8_t* __restrict out, size_t count)
{
    const __m128i order = _mm_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
    size_t x = 0;
    for (; x + 4 <= count; x += 4) {
        const __m128i bgra = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 4 * x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * x), _mm_shuffle_epi8(bgra, order));
    }
    bgra32_bytes(in, out, x, count);
}

const bool has_ssse3 = __builtin_cpu_supports("ssse3");
#endif

}  // namespace

void rgba_from_bgr24(const uint8_t* in, uint8_t* out, size_t count)
{
#if defined(RGBA_SHUFFLE)
    if (has_ssse3)
        return bgr24_ssse3(in, out, count);
#endif
    bgr24_bytes(in, out, 0, count);
}

void rgba_from_bgra32(const uint8_t* in, uint8_t* out, size_t count)
{
#if defined(RGBA_SHUFFLE)
    if (has_ssse3)
        return bgra32_ssse3(in, out, count);
#endif
    bgra32_bytes(in, out, 0, count);
}

}  // namespace formats
