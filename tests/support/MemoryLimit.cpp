#include "support/MemoryLimit.h"

#include "support/ExifBuilder.h"

#include <cstdlib>
#include <limits>
#include <new>

namespace {

thread_local std::size_t tLargestRequest = std::numeric_limits<std::size_t>::max();

void* Allocate(std::size_t size)
{
    if (size > tLargestRequest)
        throw std::bad_alloc();
    for (;;) {
        if (void* p = std::malloc(size == 0 ? 1 : size))
            return p;
        const std::new_handler handler = std::get_new_handler();
        if (!handler)
            throw std::bad_alloc();
        handler();
    }
}

}  // namespace

namespace morvik::test {

MemoryLimit::MemoryLimit(std::size_t largestRequest) : previous_(tLargestRequest)
{
    tLargestRequest = largestRequest;
}

MemoryLimit::~MemoryLimit() { tLargestRequest = previous_; }

std::string JpegOutgrowingMemory()
{
    ExifBuilder b;
    const int exif = b.AddIfd();
    b.Ascii(0, 0x010F, "Crowded camera maker").Pointer(0, 0x8769, exif);
    const uint32_t shared = b.ValueOffset(0, 0);
    for (int i = 0; i < 1000; ++i)
        b.RawEntry(exif, 0x010E, 2, 21, shared);  // ImageDescription, all one value
    return MakeJpeg({b.App1()});
}

}  // namespace morvik::test

// The replaceable global allocation functions that are not over-aligned, all through malloc
// and free so that every pair matches (a sanitizer's own operator new would not match free).
void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
