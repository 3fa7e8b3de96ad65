// The 3DS reader prints two of these per mapping coordinate, and formatting
// them was most of its time even with std::to_chars. A float is m × 2^-s with
// m below 2^24, so below 2^23 in magnitude its value times 10^6 is m × 10^6
// (under 2^44) over 2^s: one shift gives the six decimals and the bits shifted
// out decide printf's rounding exactly. Whole numbers from 2^23 up,
// infinities and NaNs are rare here and take a slower path of their own.
// tests/unit/fixed6_test.cpp checks all of it against printf.
#include "fixed6.h"

#include <cstdint>
#include <cstring>

// The digits are packed into a 64-bit word whose first byte goes first.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
#error "write_fixed6 stores its digits for a little-endian machine"
#endif

namespace {

// The six ASCII digits of a fraction below 10^6, first byte first. Its
// first pair comes out as the whole part of fraction × 2^32 / 10^4 (the
// multiplier rounded up errs by under 2^-14 of a unit), and each next pair as
// the whole part of the remainder times 100. Then each pair, in a 16-bit lane
// of its own, is split into tens and ones at once (n × 103 / 1024 is n / 10
// for n below 100).
uint64_t six_digits(uint32_t fraction)
{
    uint64_t y = uint64_t{fraction} * 429497;  // 2^32 / 10^4, rounded up
    const uint64_t a = y >> 32;
    y = (y & 0xFFFFFFFF) * 100;
    const uint64_t b = y >> 32;
    y = (y & 0xFFFFFFFF) * 100;
    const uint64_t c = y >> 32;
    const uint64_t pairs = a | b << 16 | c << 32;
    const uint64_t tens = (pairs * 103) >> 10 & 0x000F000F000FULL;
    const uint64_t ones = pairs - tens * 10;
    return (tens | ones << 8) + 0x303030303030ULL;
}

// A whole number's digits, none for 0.
char* write_digits(char* out, uint32_t whole)
{
    char digits[10];
    int n = 0;
    for (; whole > 0; whole /= 10)
        digits[n++] = static_cast<char>('0' + whole % 10);
    while (n > 0)
        *out++ = digits[--n];
    return out;
}

// Whole numbers from 2^23 up, m × 2^k with m below 2^24 and k up to 104,
// digit for digit as glibc prints them: exact, in base-10^9 limbs (2^128 is
// below 10^45). Not left to the C library, whose printf prints these, and
// infinities and NaNs, differently on other systems (Windows' runtimes round
// past 17 digits and spell a NaN "nan", "-1.#IND00" or "1.#QNAN0").
char* write_whole(char* out, uint32_t mantissa, int k)
{
    constexpr uint32_t BILLION = 1000000000;
    uint32_t limbs[5] = {mantissa};  // least significant first; m < 10^9
    int used = 1;
    while (k > 0) {
        const int step = k < 29 ? k : 29;  // a limb times 2^29 fits 64 bits
        uint64_t carry = 0;
        for (int i = 0; i < used; ++i) {
            const uint64_t v = (uint64_t{limbs[i]} << step) + carry;
            limbs[i] = static_cast<uint32_t>(v % BILLION);
            carry = v / BILLION;
        }
        if (carry > 0)
            limbs[used++] = static_cast<uint32_t>(carry);
        k -= step;
    }
    out = write_digits(out, limbs[used - 1]);
    for (int i = used - 2; i >= 0; --i) {
        uint32_t limb = limbs[i];
        for (int d = 8; d >= 0; --d, limb /= 10)
            out[d] = static_cast<char>('0' + limb % 10);
        out += 9;
    }
    std::memcpy(out, ".000000", 7);
    return out + 7;
}

char* write_large(char* out, uint32_t bits)
{
    *out = '-';
    out += bits >> 31;
    const uint32_t exponent = bits >> 23 & 0xFF;
    const uint32_t mantissa = bits & 0x7FFFFF;
    const char* word = exponent < 255 ? nullptr : mantissa == 0 ? "inf" : "nan";
    if (word) {
        std::memcpy(out, word, 3);
        return out + 3;
    }
    return write_whole(out, mantissa | 0x800000, static_cast<int>(exponent) - 150);
}

}  // namespace

char* write_fixed6(char* out, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const uint32_t exponent = bits >> 23 & 0xFF;
    if (exponent >= 150)  // 2^23 and up, infinities, NaNs
        return write_large(out, bits);
    // value = mantissa × 2^-shift; subnormals have the smallest exponent's scale.
    const uint64_t mantissa = exponent == 0 ? bits & 0x7FFFFF : (bits & 0x7FFFFF) | 0x800000;
    int shift = 150 - static_cast<int>(exponent == 0 ? 1 : exponent);
    // Under 2^44 shifted by 63 rounds to 0, as by any larger shift.
    if (shift > 63)
        shift = 63;

    // printf keeps the sign of anything that rounds to zero, -0 included.
    *out = '-';
    out += bits >> 31;

    // The value in millionths, rounded to nearest, ties to even: adding half
    // less one, plus one more when the truncated result is odd, carries into
    // the kept bits exactly when printf rounds up. No branch: the bits shifted
    // out are as good as random.
    const uint64_t scaled = mantissa * 1000000;
    const uint64_t odd = scaled >> shift & 1;
    const uint64_t millionths = (scaled + (uint64_t{1} << (shift - 1)) - 1 + odd) >> shift;

    // Whole part: at most 2^23, 7 digits; mostly a single one here.
    uint32_t whole = static_cast<uint32_t>(millionths / 1000000);
    const uint64_t fraction = six_digits(static_cast<uint32_t>(millionths % 1000000));
    if (whole < 10) {
        const uint64_t text = ('0' + whole) | uint64_t{'.'} << 8 | fraction << 16;
        std::memcpy(out, &text, 8);
        return out + 8;
    }
    out = write_digits(out, whole);
    *out++ = '.';
    std::memcpy(out, &fraction, 6);
    return out + 6;
}

std::string fixed6(float value)
{
    char text[FIXED6_LONGEST];
    return std::string(text, write_fixed6(text, value));
}
