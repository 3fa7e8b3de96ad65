// How both readers report: a reason when they refuse a file, and notes on
// what was wrong with a file they read anyway. The readers record; their
// callers print.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <vector>

#if defined(__GNUC__)
#define FORMATS_PRINTF(format_arg, first_arg) \
    __attribute__((format(printf, format_arg, first_arg)))
#else
#define FORMATS_PRINTF(format_arg, first_arg)
#endif

namespace formats {

struct load_note {
    int64_t offset;  // the byte of the file the note is about; -1 for the file as a whole
    std::string text;
};

// printf into a string, for reasons and notes, of any length; where printf
// fails, the format itself.
std::string format_text(const char* format, ...) FORMATS_PRINTF(1, 2);
std::string vformat_text(const char* format, va_list args);

// The notes' texts joined by "; ", the way one line of stderr shows them.
std::string join_notes(const std::vector<load_note>& notes);

}  // namespace formats
