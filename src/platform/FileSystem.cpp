#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Exceptions.h"
#include "platform/TemporaryFiles.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <cerrno>
#include <cstdio>  // renameat2
#include <climits>
#include <cstring>

namespace morvik {

namespace {

std::optional<FileFacts> FactsFromStatx(const struct statx& sx, const std::string& name)
{
    FileFacts f;
    f.Name = name;
    f.IsDirectory = S_ISDIR(sx.stx_mode);
    f.IsRegular = S_ISREG(sx.stx_mode);
    f.Size = static_cast<int64_t>(sx.stx_size);
    f.ModifiedNs = static_cast<int64_t>(sx.stx_mtime.tv_sec) * 1'000'000'000 + sx.stx_mtime.tv_nsec;
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

std::optional<FileFacts> GetOpenFileFacts(int fd, const std::string& path)
{
    struct statx sx {};
    if (fd < 0 || statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
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

int CreateFolder(const std::string& path)
{
    return ::mkdir(path.c_str(), 0777) == 0 ? 0 : errno;
}

size_t MaxNameLength(const std::string& folder)
{
    const long max = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    return max > 0 ? static_cast<size_t>(max) : NAME_MAX;
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

TDateTime TwoSecondFloor(TDateTime local)
{
    DateTimeFields f = DecodeDateTime(local);
    f.Second -= f.Second % 2;
    return TryEncodeDateTime(f.Year, f.Month, f.Day, f.Hour, f.Minute, f.Second, 0).value_or(local);
}

std::optional<DateTimeFields> PackedFileTime(TDateTime local)
{
    DateTimeFields f = DecodeDateTime(TwoSecondFloor(local));
    if (f.Year < 1980 || f.Year > 2107)
        return std::nullopt;
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

std::string SystemErrorText(int error)
{
    return error == kNotRegularFile ? "Not a regular file" : std::strerror(error);
}

std::string CannotOpenMessage(const std::string& name, int error)
{
    return "Cannot open file \"" + name + "\". " + SystemErrorText(error);
}

std::string CannotCreateMessage(const std::string& name, int error)
{
    return CannotCreateMessage(name, std::string_view(SystemErrorText(error)));
}

std::string CannotCreateMessage(const std::string& name, std::string_view reason)
{
    return "Cannot create file \"" + name + "\". " + std::string(reason);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        Close();
        fd_ = other.Release();
    }
    return *this;
}

int FileDescriptor::Release() noexcept
{
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

int FileDescriptor::Close() noexcept
{
    return fd_ >= 0 ? ::close(Release()) : 0;
}

FileDescriptor OpenForReading(const std::string& path, bool noAtime)
{
    // Opened without blocking, so that a pipe with no writer cannot hold us; anything but
    // a regular file or a folder (a pipe, a device such as /dev/zero, a socket) is refused.
    constexpr int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
    FileDescriptor file;
    if (noAtime) {
        // O_NOATIME is refused (EPERM) for a file we do not own: open it plainly then.
        file = FileDescriptor(::open(path.c_str(), flags | O_NOATIME));
        if (!file && errno != EPERM)
            return file;
    }
    if (!file)
        file = FileDescriptor(::open(path.c_str(), flags));
    if (!file)
        return file;
    struct stat st {};
    if (::fstat(file.Get(), &st) != 0)
        return FileDescriptor();
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
        file.Close();
        errno = kNotRegularFile;
        return file;
    }
    const int status = ::fcntl(file.Get(), F_GETFL);
    if (status >= 0)
        ::fcntl(file.Get(), F_SETFL, status & ~O_NONBLOCK);  // reads of the file block as usual
    return file;
}

long ReadSome(int fd, char* to, size_t count)
{
    ssize_t n;
    do
        n = ::read(fd, to, count);
    while (n < 0 && errno == EINTR);
    return static_cast<long>(n);
}

std::string ReadWholeFile(const std::string& path, size_t maxBytes, bool noAtime)
{
    std::string bytes;
    ReadWholeFile(path, maxBytes, noAtime, bytes);
    return bytes;
}

void ReadWholeFile(const std::string& path, size_t maxBytes, bool noAtime, std::string& bytes)
{
    bytes.clear();
    const FileDescriptor file = OpenForReading(path, noAtime);
    if (!file)
        throw EInOutError(CannotOpenMessage(path, errno));
    struct stat st {};
    if (::fstat(file.Get(), &st) != 0)
        throw EInOutError(CannotOpenMessage(path, errno));
    if (S_ISDIR(st.st_mode))
        throw EInOutError(CannotOpenMessage(path, EISDIR));
    if (st.st_size > 0 && static_cast<uint64_t>(st.st_size) > maxBytes)
        throw EInOutError(CannotOpenMessage(path, EFBIG));
    // The size the file has now is read straight into place; what comes after it (a file
    // that grew, or one without a size such as a pipe) is appended piece by piece, so the
    // usual file is read into one allocation of its own size.
    ReserveForReuse(bytes, static_cast<size_t>(std::max<off_t>(st.st_size, 0)));
    bytes.resize(static_cast<size_t>(std::max<off_t>(st.st_size, 0)));
    size_t done = 0;
    while (done < bytes.size()) {
        const long got = ReadSome(file.Get(), bytes.data() + done, bytes.size() - done);
        if (got < 0)
            throw EInOutError(CannotOpenMessage(path, errno));
        if (got == 0) {
            bytes.resize(done);  // the file shrank
            return;
        }
        done += static_cast<size_t>(got);
    }
    char more[65536];
    for (;;) {
        const long got = ReadSome(file.Get(), more, sizeof more);
        if (got < 0)
            throw EInOutError(CannotOpenMessage(path, errno));
        if (got == 0)
            return;
        if (bytes.size() + static_cast<size_t>(got) > maxBytes)
            throw EInOutError(CannotOpenMessage(path, EFBIG));
        bytes.append(more, static_cast<size_t>(got));
    }
}

namespace {

// A buffer from this size on is laid out for the processor's large pages.
constexpr size_t kLargePageFrom = size_t(1) << 20;
constexpr size_t kLargePage = size_t(2) << 20;
constexpr size_t kPage = 4096;

// The capacity to ask for so that the allocation, with the allocator's own bookkeeping, is a
// whole number of large pages: glibc maps a block this large on its own, and the kernel
// puts a mapping of whole large pages on a large page's boundary.
size_t LargePageCapacity(size_t size)
{
    constexpr size_t kBookkeeping = 64;  // glibc's chunk header and alignment, less than this
    if (size < kLargePageFrom || size > SIZE_MAX - 2 * kLargePage)
        return size;
    const size_t allocation = size + 1 + kBookkeeping;  // the string's terminator too
    return (allocation + kLargePage - 1) / kLargePage * kLargePage - kBookkeeping - 1;
}

// Lets the kernel back the buffer's memory with large pages. Touching fresh memory a small
// page at a time costs a fault for every 4 KiB, which on a virtual machine costs about as
// much as a JPEG's entropy-coded walk over the same bytes; a large page takes one fault
// for 2 MiB. Only advice: where the system refuses it, the buffer works as before. The
// advice may cover the neighbours of a buffer inside the allocator's heap, which it
// harms no more than it helps.
void AdviseLargePages(const char* data, size_t capacity)
{
    if (capacity < kLargePageFrom)
        return;
    const uintptr_t begin = reinterpret_cast<uintptr_t>(data) / kPage * kPage;
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + capacity + kPage - 1) / kPage * kPage;
    if (::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE) != 0)
        return;
    // The allocation has written its first byte already (the string's terminator), so the
    // first large page's range holds a small page, and a range with one takes only small
    // pages: that one range is made a large page now (kernel 6.1 and later).
#ifndef MADV_COLLAPSE
    constexpr int MADV_COLLAPSE = 25;
#endif
    const uintptr_t first = reinterpret_cast<uintptr_t>(data) / kLargePage * kLargePage;
    if (first >= begin && first + kLargePage <= end)
        ::madvise(reinterpret_cast<void*>(first), kLargePage, MADV_COLLAPSE);
}

}  // namespace

void ReserveForReuse(std::string& buffer, size_t size)
{
    const size_t capacity = buffer.capacity();
    if (size <= capacity)
        return;
    const bool used = capacity > std::string().capacity();
    // The old storage goes before the new is taken, so the allocator may hand it out again.
    std::string().swap(buffer);
    buffer.reserve(LargePageCapacity(used ? std::max(size, capacity + capacity / 8) : size));
    AdviseLargePages(buffer.data(), buffer.capacity() + 1);
}

std::string CannotCreateFolderMessage(const std::string& name, int error)
{
    return "Cannot create folder \"" + name + "\". " + std::strerror(error);
}

ReplacingFile::ReplacingFile(const std::string& target) : target_(target)
{
    // The temporary file lies in the target's folder, so the rename stays on one file
    // system, under a short hidden name that no "*.jpg" listing picks up and that a later
    // batch recognises as a leftover should this process be killed before the rename.
    static std::atomic<unsigned> serial{0};
    const size_t slash = target.find_last_of('/');
    folder_ = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    const std::string prefix = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && !file_; ++attempt) {
        temp_ = TemporaryFileName(prefix, std::to_string(serial.fetch_add(1)));
        file_ = FileDescriptor(::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        error = errno;
        if (!file_ && error != EEXIST)
            break;
        // The lock tells a clean-up in another process that this file is being written.
        if (file_ && !LockTemporaryFile(file_.Get()))
            file_.Close();  // removed by a clean-up before we held it: another name
    }
    if (!file_)
        throw EInOutError(CannotCreateMessage(target_, error));
    lock_ = FileDescriptor(::fcntl(file_.Get(), F_DUPFD_CLOEXEC, 0));
}

ReplacingFile::~ReplacingFile()
{
    file_.Close();
    if (!committed_)
        ::unlink(temp_.c_str());
    lock_.Close();
}

void ReplacingFile::Fail(int error) { Fail(target_, error); }

void ReplacingFile::Fail(const std::string& target, int error)
{
    throw EInOutError(CannotCreateMessage(target, error));
}

void ReplacingFile::Commit(std::string_view bytes)
{
    Write(bytes);
    Replace();
}

void ReplacingFile::Write(std::string_view bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(file_.Get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            Fail(n < 0 ? errno : EIO);
        done += static_cast<size_t>(n);
    }
    if (::fsync(file_.Get()) != 0)
        Fail(errno);
    if (file_.Close() != 0)
        Fail(errno);
}

bool ReplacingFile::SetModifiedTime(TDateTime local) { return SetFileModifiedTime(temp_, local); }

void ReplacingFile::Replace()
{
    if (::rename(temp_.c_str(), target_.c_str()) != 0)
        Fail(errno);
    committed_ = true;
    SyncFolder();
}

bool ReplacingFile::PublishNew(const std::string& target)
{
    // renameat2 refuses to replace in one step; a file system without it (some network
    // and FUSE ones) gets a hard link, which refuses an existing name too, and the
    // temporary name is dropped after it.
    if (::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
        const int error = errno;
        if (error == EEXIST)
            return false;
        if (error != EINVAL && error != ENOSYS && error != EOPNOTSUPP)
            Fail(target, error);
        if (::link(temp_.c_str(), target.c_str()) == 0) {
            ::unlink(temp_.c_str());
        } else {
            if (errno == EEXIST)
                return false;
            if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS)
                Fail(target, errno);
            // Neither (a FAT card): the name is checked just before a plain rename, the
            // best such a file system allows.
            struct stat st {};
            if (::lstat(target.c_str(), &st) == 0)
                return false;
            if (::rename(temp_.c_str(), target.c_str()) != 0)
                Fail(target, errno);
        }
    }
    committed_ = true;
    SyncFolder();
    return true;
}

void ReplacingFile::SyncFolder() const
{
    // Make the rename itself durable; a folder that cannot be synced is no failure.
    const FileDescriptor dir(::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir)
        ::fsync(dir.Get());
}

void WriteFileReplacing(const std::string& path, std::string_view bytes)
{
    ReplacingFile(path).Commit(bytes);
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

bool SameFile(const std::string& a, const std::string& b)
{
    namespace fs = std::filesystem;
    std::error_code error;
    if (fs::equivalent(a, b, error))
        return true;
    const fs::path x = fs::weakly_canonical(fs::absolute(a, error), error);
    const fs::path y = fs::weakly_canonical(fs::absolute(b, error), error);
    return !error && x == y;
}

}  // namespace morvik
