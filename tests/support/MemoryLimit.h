#pragma once
// Running out of memory on purpose: while a MemoryLimit lives, any single request to
// operator new of more than its bytes fails with std::bad_alloc in the thread that made
// it, as it would on a machine whose memory is spent. Every test program replaces the
// global operator new for this (MemoryLimit.cpp); without a limit it is plain malloc.
#include <cstddef>
#include <string>

namespace morvik::test {

// A JPEG whose metadata reading asks for more than kReadingLimit bytes at once, though
// each of its sections fits under it: its EXIF sub-directory holds a thousand stored
// entries, and the tag list outgrows the limit in the middle of that directory's walk.
std::string JpegOutgrowingMemory();
constexpr std::size_t kReadingLimit = 32 * 1024;

class MemoryLimit {
public:
    explicit MemoryLimit(std::size_t largestRequest);
    ~MemoryLimit();
    MemoryLimit(const MemoryLimit&) = delete;
    MemoryLimit& operator=(const MemoryLimit&) = delete;

private:
    std::size_t previous_;
};

}  // namespace morvik::test
