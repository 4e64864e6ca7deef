#include "platform/MemoryStatus.h"

#include <fstream>
#include <sstream>
#include <string>

namespace morvik {

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

}  // namespace morvik
