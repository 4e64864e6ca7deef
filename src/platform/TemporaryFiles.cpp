#include "platform/TemporaryFiles.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
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

bool LockTemporaryFile(int fd)
{
    int locked;
    do
        locked = ::flock(fd, LOCK_EX);
    while (locked != 0 && errno == EINTR);
    struct stat st {};
    return ::fstat(fd, &st) != 0 || st.st_nlink > 0;
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
            continue;  // a process of that id runs (or is not ours to ask about)
        // Removed under its lock, so that a writer that made it a moment ago and waits
        // for the lock sees it gone.
        const int fd = ::openat(::dirfd(dir), e->d_name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
        if (fd < 0)
            continue;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::unlinkat(::dirfd(dir), e->d_name, 0) == 0)
            ++removed;  // else a writer, maybe in another PID namespace, still holds it
        ::close(fd);
    }
    ::closedir(dir);
    return removed;
}

}  // namespace morvik
