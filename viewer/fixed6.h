// printf("%f") of a float (converted to double) without printf: the same
// bytes, six decimals, rounded to nearest with ties to even.
#pragma once

#include <cstddef>

// The longest text: "-" and the 39 digits of the largest float, "." and six.
constexpr size_t FIXED6_LONGEST = 47;

// Writes the text at `out` (no NUL; room for FIXED6_LONGEST bytes) and
// returns the end.
char* write_fixed6(char* out, float value);
