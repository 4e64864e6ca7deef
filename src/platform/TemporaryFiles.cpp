#include "platform/TemporaryFiles.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <string_view>
#include <sys/types.h>
#include <unistd.h>

namespace morvik {

namespace {

constexpr std::string_view kPrefix = ".morvik-";
constexpr std::string_view kSuffix = ".tmp";

// The process id in a temporary file's name, or 0 when the name is not one of ours.
pid_t WriterOf(std::string_view name)
{
    if (name.size() <= kPrefix.size() + kSuffix.size() || name.substr(0, kPrefix.size()) != kPrefix ||
        name.substr(name.size() - kSuffix.size()) != kSuffix)
        return 0;
    long long pid = 0;
    size_t i = kPrefix.size();
    for (; i < name.size() && name[i] >= '0' && name[i] <= '9' && pid < 1'000'000'000; ++i)
        pid = pid * 10 + (name[i] - '0');
    if (i == kPrefix.size() || i >= name.size() || name[i] != '-')
        return 0;
    return static_cast<pid_t>(pid);
}

}  // namespace

std::string TemporaryFileName(const std::string& folder, const std::string& tag)
{
    return folder + std::string(kPrefix) + std::to_string(::getpid()) + "-" + tag + std::string(kSuffix);
}

int RemoveStaleTemporaryFiles(const std::string& folder)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return 0;
    int removed = 0;
    while (const dirent* e = ::readdir(dir)) {
        const pid_t pid = WriterOf(e->d_name);
        if (pid <= 0 || pid == ::getpid())
            continue;
        if (::kill(pid, 0) == 0 || errno != ESRCH)
            continue;  // the writer still runs (or is not ours to ask about)
        const std::string path = (folder.empty() || folder.back() == '/' ? folder : folder + "/") + e->d_name;
        if (::unlink(path.c_str()) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

}  // namespace morvik
