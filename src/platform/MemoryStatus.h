#pragma once
#include <cstdint>

namespace morvik {

struct MemoryStatus {
    uint64_t TotalPhysBytes = 0;
    int MemoryLoadPercent = 0;  // share of physical memory in use, 0..100
};

// Read from /proc/meminfo (MemTotal, MemAvailable).
MemoryStatus ReadMemoryStatus();

}  // namespace morvik
