#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace morvik {

struct MemoryStatus {
    uint64_t TotalPhysBytes = 0;
    int MemoryLoadPercent = 0;  // share of physical memory in use, 0..100
};

// Read from /proc/meminfo (MemTotal, MemAvailable).
MemoryStatus ReadMemoryStatus();

// The memory this process may still take: what the system has available and, when the
// process runs in a control group with a memory limit (a container, a systemd slice),
// what that group has left of its limit, whichever is less. Memory the group holds only
// as file cache that may be dropped counts as left. 0 when nothing can be read.
uint64_t AvailableMemoryBytes();

// The least that the control groups of this process have left of their memory limits,
// under either hierarchy (cgroup v2's memory.max, v1's memory.limit_in_bytes), file cache
// that may be dropped counted as left; nullopt when no group has a limit. The files are
// read under `root` ("" for the system's own: /proc/self/cgroup and /sys/fs/cgroup).
std::optional<uint64_t> MemoryLeftInControlGroups(const std::string& root = "");

// Memory for pictures in flight, shared by every thread of the process. A reservation is
// granted while the reservations held, its own included, fit in the memory available; it
// waits while others hold what it needs, and is refused (nullopt) only when it would not
// fit with none of them held. Without a reading of the memory every reservation is granted.
class MemoryReservation {
public:
    MemoryReservation() = default;
    MemoryReservation(MemoryReservation&& other) noexcept : bytes_(other.bytes_) { other.bytes_ = 0; }
    MemoryReservation& operator=(MemoryReservation&& other) noexcept;
    ~MemoryReservation() { Release(); }
    MemoryReservation(const MemoryReservation&) = delete;
    MemoryReservation& operator=(const MemoryReservation&) = delete;
    void Release() noexcept;

private:
    friend std::optional<MemoryReservation> ReserveMemory(uint64_t bytes);
    explicit MemoryReservation(uint64_t bytes) : bytes_(bytes) {}
    uint64_t bytes_ = 0;
};
std::optional<MemoryReservation> ReserveMemory(uint64_t bytes);

}  // namespace morvik
