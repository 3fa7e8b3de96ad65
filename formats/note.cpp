#include "note.h"

#include <cstdio>

namespace formats {

std::string vformat_text(const char* format, va_list args)
{
    va_list again;
    va_copy(again, args);
    char text[256];
    const int n = std::vsnprintf(text, sizeof text, format, args);
    std::string out;
    if (n >= 0 && static_cast<size_t>(n) < sizeof text) {
        out.assign(text, static_cast<size_t>(n));
    } else if (n > 0) {
        out.resize(static_cast<size_t>(n));
        std::vsnprintf(&out[0], out.size() + 1, format, again);
    } else {
        // A wide character the locale cannot spell: a reason that says less beats none.
        out = format;
    }
    va_end(again);
    return out;
}

std::string format_text(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string out = vformat_text(format, args);
    va_end(args);
    return out;
}

std::string join_notes(const std::vector<load_note>& notes)
{
    std::string joined;
    for (const load_note& note : notes) {
        if (!joined.empty())
            joined += "; ";
        joined += note.text;
    }
    return joined;
}

}  // namespace formats
