// printf("%f") of a float (converted to double) as glibc prints it, without
// printf: six decimals, rounded to nearest with ties to even, "nan", "-nan",
// "inf" and "-inf". Every build prints these bytes, whatever its C library.
#pragma once

#include <cstddef>
#include <string>

// The longest text: "-" and the 39 digits of the largest float, "." and six.
constexpr size_t FIXED6_LONGEST = 47;

// Writes the text at `out` (no NUL; room for FIXED6_LONGEST bytes) and
// returns the end.
char* write_fixed6(char* out, float value);

// The same text as a string, for lines printed one at a time.
std::string fixed6(float value);
