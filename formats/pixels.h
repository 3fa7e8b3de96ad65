// Memory for decoded pixels, apart from the decoder that fills it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

namespace formats {

// Not cleared when it is made, since the decoder writes every byte; a large
// block asks for huge pages where the system has them: on a fresh 64 MiB
// picture the page faults otherwise cost more than decoding.
void* allocate_pixels(size_t bytes);
void free_pixels(void* block, size_t bytes);

template <class T>
struct pixel_allocator {
    using value_type = T;
    pixel_allocator() = default;
    template <class U>
    pixel_allocator(const pixel_allocator<U>&) {}
    T* allocate(size_t n) { return static_cast<T*>(allocate_pixels(n * sizeof(T))); }
    void deallocate(T* p, size_t n) { free_pixels(p, n * sizeof(T)); }
    // Growing the buffer leaves the new elements as they are.
    template <class U>
    void construct(U* p) { ::new (static_cast<void*>(p)) U; }
    template <class U, class V>
    void construct(U* p, V&& v) { ::new (static_cast<void*>(p)) U(static_cast<V&&>(v)); }
    template <class U>
    bool operator==(const pixel_allocator<U>&) const { return true; }
    template <class U>
    bool operator!=(const pixel_allocator<U>&) const { return false; }
};

using pixel_buffer = std::vector<uint8_t, pixel_allocator<uint8_t>>;

}  // namespace formats
