#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>

namespace morvik {

namespace {

std::optional<FileFacts> FactsFromStatx(const struct statx& sx, const std::string& name)
{
    FileFacts f;
    f.Name = name;
    f.IsDirectory = S_ISDIR(sx.stx_mode);
    f.Size = static_cast<int64_t>(sx.stx_size);
    timespec m{static_cast<time_t>(sx.stx_mtime.tv_sec), static_cast<long>(sx.stx_mtime.tv_nsec)};
    f.Modified = DateTimeFromLocalTimespec(m);
    if (sx.stx_mask & STATX_BTIME) {
        timespec b{static_cast<time_t>(sx.stx_btime.tv_sec), static_cast<long>(sx.stx_btime.tv_nsec)};
        f.Created = DateTimeFromLocalTimespec(b);
    } else {
        f.Created = f.Modified;
    }
    return f;
}

std::string BaseName(const std::string& path)
{
    auto pos = path.find_last_of('/');
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

}  // namespace

std::optional<FileFacts> GetFileFacts(const std::string& path)
{
    struct statx sx {};
    if (path.empty() ||
        statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
        return std::nullopt;
    return FactsFromStatx(sx, BaseName(path));
}

bool FileExists(const std::string& path)
{
    auto f = GetFileFacts(path);
    return f && !f->IsDirectory;
}

bool DirectoryExists(const std::string& path)
{
    auto f = GetFileFacts(path);
    return f && f->IsDirectory;
}

std::vector<FileFacts> ListFolder(const std::string& folder)
{
    std::vector<FileFacts> out;
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return out;
    const int dfd = dirfd(dir);
    while (dirent* e = readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        struct statx sx {};
        if (statx(dfd, e->d_name, 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
            continue;
        if (auto f = FactsFromStatx(sx, e->d_name))
            out.push_back(*f);
    }
    closedir(dir);
    return out;
}

std::optional<DateTimeFields> PackedFileTime(TDateTime local)
{
    DateTimeFields f = DecodeDateTime(local);
    if (f.Year < 1980 || f.Year > 2107)
        return std::nullopt;
    f.Second -= f.Second % 2;
    f.MilliSecond = 0;
    return f;
}

bool SetFileModifiedTime(const std::string& path, TDateTime local)
{
    auto fields = PackedFileTime(local);
    if (!fields)
        return false;
    auto t = LocalDateTimeToUnix(*fields);
    if (!t)
        return false;
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;  // keep the access time
    times[1].tv_sec = *t;
    times[1].tv_nsec = 0;
    return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

std::string ExecutableFolder()
{
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return "./";
    std::string path(buf, static_cast<size_t>(n));
    auto pos = path.find_last_of('/');
    return pos == std::string::npos ? "./" : path.substr(0, pos + 1);
}

}  // namespace morvik
