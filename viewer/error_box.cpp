#include "error_box.h"

#include <cstdio>
#include <string>

// Defined once per platform: the box itself, blocking until dismissed. The
// desktop boxes show the caption and text alone; a page, whose visitor may
// have no console open, shows the detail too.
void show_platform_box(const char* caption, const char* text, const char* detail);

namespace {

// The Windows code page's bytes as UTF-8: ASCII and the Latin-1 upper half
// map to themselves; the few printable bytes of 0x80..0x9F become '?'.
std::string windows_code_page_to_utf8(const char* text)
{
    std::string utf8;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        if (*p < 0x80) {
            utf8 += static_cast<char>(*p);
        } else if (*p < 0xA0) {
            utf8 += '?';
        } else {
            utf8 += static_cast<char>(0xC0 | (*p >> 6));
            utf8 += static_cast<char>(0x80 | (*p & 0x3F));
        }
    }
    return utf8;
}

}  // namespace

void show_error_box(const char* caption, const char* text, const char* detail)
{
    // The console keeps the message when no one is there to read the box.
    std::fprintf(stderr, "%s: %s (%s)\n", caption, windows_code_page_to_utf8(text).c_str(),
                 detail);
    std::fflush(stderr);
    show_platform_box(caption, text, detail);
}
