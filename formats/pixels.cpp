#include "pixels.h"

// Huge-page advice is Linux's; elsewhere a large block is only aligned.
#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace formats {

namespace {
constexpr size_t HUGE_PAGE = size_t{2} << 20;
}

// Through operator new like every other allocation, so that whoever watches
// the program's allocations sees the pixels too.
void* allocate_pixels(size_t bytes)
{
    if (bytes < HUGE_PAGE)
        return ::operator new(bytes);
    const size_t whole_pages = (bytes + HUGE_PAGE - 1) / HUGE_PAGE * HUGE_PAGE;
    void* block = ::operator new(whole_pages, std::align_val_t{HUGE_PAGE});
#if defined(MADV_HUGEPAGE)
    madvise(block, whole_pages, MADV_HUGEPAGE);  // only advice: fine if refused
#endif
    return block;
}

void free_pixels(void* block, size_t bytes)
{
    if (bytes < HUGE_PAGE)
        ::operator delete(block);
    else
        ::operator delete(block, std::align_val_t{HUGE_PAGE});
}

}  // namespace formats
