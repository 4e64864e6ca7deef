#include "platform/MemoryStatus.h"

#include <algorithm>
#include <condition_variable>
#include <fstream>
#include <limits>
#include <mutex>
#include <sstream>
#include <string>

namespace morvik {

namespace {

// The first number in a file, or nullopt ("max", missing, unreadable).
std::optional<uint64_t> NumberIn(const std::string& path)
{
    std::ifstream in(path);
    uint64_t value = 0;
    if (in >> value)
        return value;
    return std::nullopt;
}

// The value of key in a "key value" listing such as memory.stat.
uint64_t StatValue(const std::string& path, const std::string& key)
{
    std::ifstream in(path);
    std::string name;
    uint64_t value = 0;
    while (in >> name >> value)
        if (name == key)
            return value;
    return 0;
}

// The process's group path under one hierarchy of /proc/self/cgroup: "0::/a/b" for the
// unified one (controller ""), "4:memory:/a/b" for the memory one.
std::string GroupPath(const std::string& root, const std::string& controller)
{
    std::ifstream in(root + "/proc/self/cgroup");
    std::string line;
    while (std::getline(in, line)) {
        const size_t a = line.find(':'), b = a == std::string::npos ? a : line.find(':', a + 1);
        if (b == std::string::npos)
            continue;
        const std::string controllers = line.substr(a + 1, b - a - 1);
        if (controllers == controller || ("," + controllers + ",").find("," + controller + ",") != std::string::npos)
            return line.substr(b + 1);
    }
    return {};
}

// What the group at dir has left of its limit, where it has one.
std::optional<uint64_t> LeftInGroup(const std::string& dir, const char* limitFile, const char* usageFile,
                                    const char* cacheKey)
{
    const auto limit = NumberIn(dir + limitFile);
    const auto usage = NumberIn(dir + usageFile);
    if (!limit || !usage || *limit >= (uint64_t(1) << 60))  // no limit set reads as a huge number
        return std::nullopt;
    const uint64_t cache = StatValue(dir + "/memory.stat", cacheKey);
    const uint64_t used = *usage > cache ? *usage - cache : 0;
    return *limit > used ? *limit - used : 0;
}

std::mutex reservationsLock;
std::condition_variable reservationReleased;
uint64_t reservedBytes = 0;

}  // namespace

MemoryStatus ReadMemoryStatus()
{
    MemoryStatus status;
    std::ifstream in("/proc/meminfo");
    std::string line;
    uint64_t totalKb = 0, availableKb = 0;
    bool haveAvailable = false;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string key;
        uint64_t kb = 0;
        fields >> key >> kb;
        if (key == "MemTotal:")
            totalKb = kb;
        else if (key == "MemAvailable:") {
            availableKb = kb;
            haveAvailable = true;
        }
    }
    status.TotalPhysBytes = totalKb * 1024;
    if (totalKb > 0 && haveAvailable && availableKb <= totalKb)
        status.MemoryLoadPercent = static_cast<int>((totalKb - availableKb) * 100 / totalKb);
    return status;
}

std::optional<uint64_t> MemoryLeftInControlGroups(const std::string& root)
{
    // The group is looked for at its own path and, in a namespace that shows it as the
    // root, at the mount point itself.
    std::optional<uint64_t> left;
    auto consider = [&left](std::optional<uint64_t> value) {
        if (value)
            left = std::min(left.value_or(*value), *value);
    };
    const std::string mount = root + "/sys/fs/cgroup";
    const std::string unified = GroupPath(root, "");
    for (const std::string& dir : {mount + unified, mount})
        consider(LeftInGroup(dir, "/memory.max", "/memory.current", "inactive_file"));
    const std::string memory = GroupPath(root, "memory");
    for (const std::string& dir : {mount + "/memory" + memory, mount + "/memory"})
        consider(LeftInGroup(dir, "/memory.limit_in_bytes", "/memory.usage_in_bytes", "total_inactive_file"));
    return left;
}

uint64_t AvailableMemoryBytes()
{
    const MemoryStatus status = ReadMemoryStatus();
    uint64_t available = status.TotalPhysBytes / 100 * uint64_t(100 - status.MemoryLoadPercent);
    if (const auto left = MemoryLeftInControlGroups())
        available = available == 0 ? *left : std::min(available, *left);
    return available;
}

MemoryReservation& MemoryReservation::operator=(MemoryReservation&& other) noexcept
{
    if (this != &other) {
        Release();
        bytes_ = other.bytes_;
        other.bytes_ = 0;
    }
    return *this;
}

void MemoryReservation::Release() noexcept
{
    if (bytes_ == 0)
        return;
    {
        const std::lock_guard lock(reservationsLock);
        reservedBytes -= bytes_;
        bytes_ = 0;
    }
    reservationReleased.notify_all();
}

std::optional<MemoryReservation> ReserveMemory(uint64_t bytes)
{
    std::unique_lock lock(reservationsLock);
    for (;;) {
        // Memory reserved may not be taken yet, so it is counted beside what the system
        // reports available: a reservation never overcommits, at worst it waits longer.
        const uint64_t available = AvailableMemoryBytes();
        if (available == 0 || reservedBytes + bytes <= available) {
            reservedBytes += bytes;
            return MemoryReservation(bytes);
        }
        if (reservedBytes == 0)
            return std::nullopt;
        reservationReleased.wait(lock);
    }
}

}  // namespace morvik
