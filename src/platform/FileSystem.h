#pragma once
// File facts in local time, setting a file's modification time, folder enumeration.
// Paths are UTF-8 file-system paths.
#include "platform/DateTime.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvik {

struct FileFacts {
    std::string Name;         // the entry's name without its folder
    bool IsDirectory = false;
    bool IsRegular = false;   // a plain file: neither a folder nor a pipe, a device or a socket
    int64_t Size = 0;
    TDateTime Modified = 0;   // local time
    int64_t ModifiedNs = 0;   // the same as the file system keeps it: nanoseconds since 1970 UTC
    TDateTime Created = 0;    // local time: the birth time where the file system keeps one, else Modified
};

// Facts of the entry at path (any kind of entry), or nullopt when there is none.
std::optional<FileFacts> GetFileFacts(const std::string& path);
// Facts of a file already open as fd (path gives only the name): no second path lookup.
std::optional<FileFacts> GetOpenFileFacts(int fd, const std::string& path);
bool FileExists(const std::string& path);  // an entry that is not a folder
bool DirectoryExists(const std::string& path);

// Creates the folder at path: 0, or the system's error number (EEXIST when an entry of
// that name is there already, be it a folder or not).
int CreateFolder(const std::string& path);
// The longest name, in bytes, an entry of the folder may have on its file system.
size_t MaxNameLength(const std::string& folder);

// Entries of a folder (no "." or ".."), in no particular order.
std::vector<FileFacts> ListFolder(const std::string& folder);

// A file's time as the program reads it: the local time rounded down to the even second
// (milliseconds dropped), the resolution of a packed FAT date, in every year alike, so that
// a file dated 1975 reads the same in the report and in the batch. A value outside years
// 1..9999 stays as it is.
TDateTime TwoSecondFloor(TDateTime local);
// The same as fields, within the packed date's years: what the file's time reads back as
// once set. Years outside 1980..2107 give nullopt.
std::optional<DateTimeFields> PackedFileTime(TDateTime local);
// Sets the modification time from a local date-time at two-second resolution, years
// 1980..2107. Returns false when the date is out of range or the call fails.
bool SetFileModifiedTime(const std::string& path, TDateTime local);

// An open file descriptor that is closed with the object: every path that opens a file
// holds it in one of these, so no return or exception leaves it open.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) noexcept : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.Release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    ~FileDescriptor() { Close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int Get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int Release() noexcept;
    // Closes now; the result of close(2), which a writer must look at (0 when none was open).
    int Close() noexcept;

private:
    int fd_ = -1;
};

// Opens path for reading. With noAtime the file's access time stays as it was where the
// system lets us ask for that (a file of another owner is opened without it). An empty
// descriptor, with errno set, when the file cannot be opened; a pipe, a device or a
// socket is not opened at all (errno kNotRegularFile), so no read can block on it.
FileDescriptor OpenForReading(const std::string& path, bool noAtime = false);
// read(2), retried when a signal interrupts it: the count read, 0 at the end, -1 on failure.
long ReadSome(int fd, char* to, size_t count);
// The whole content of the file at path. Raises EInOutError "Cannot open file "<path>".
// <system message>" when it cannot be opened or read, is a folder, or holds more than
// maxBytes bytes.
std::string ReadWholeFile(const std::string& path, size_t maxBytes, bool noAtime);
// The same into `bytes`, whose storage is reused when it is large enough: reading file after
// file into one buffer touches no fresh memory pages.
void ReadWholeFile(const std::string& path, size_t maxBytes, bool noAtime, std::string& bytes);
// Makes room for `size` bytes in an empty buffer that serves file after file: a new one gets
// just that, one that must grow grows by an eighth at least, so that a run of files each a
// little larger than the last does not take fresh memory for every one. A buffer of a
// megabyte or more is rounded up to whole large pages and backed by them where the system
// allows, so that its first use costs a fault for every 2 MiB instead of every 4 KiB.
void ReserveForReuse(std::string& buffer, size_t size);

// A file written under a fresh hidden name beside its target and renamed over the target
// only once it is complete and on disk: a failed or killed write never leaves a partial
// file, and an existing file of that name survives until the new one is whole.
// Failures raise EInOutError "Cannot create file "<target>". <system message>".
//
// A new file may instead be published under a name that must still be free at the moment
// of the rename (PublishNew): two writers that chose the same free name never replace
// each other's file, the later one learns that the name is taken and picks another.
// Whatever is set on the file (its content, its modification time) is set before it gets
// its name, so a kill at any moment leaves either no file or a finished one.
class ReplacingFile {
public:
    explicit ReplacingFile(const std::string& target);  // creates the temporary file
    ~ReplacingFile();                                   // removes it unless committed
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Writes the whole content and puts the file in the target's place.
    void Commit(std::string_view bytes);

    // The steps of Commit one by one. Write puts the whole content on disk and closes the
    // file; SetModifiedTime sets its time as SetFileModifiedTime does (false when it could
    // not); Replace renames it over the target.
    void Write(std::string_view bytes);
    bool SetModifiedTime(TDateTime local);
    void Replace();
    // Gives the written file the name `target` (in the target's folder) unless an entry of
    // that name exists: true when published, false when the name is taken (the file is
    // kept for another try). Other failures raise EInOutError naming `target`.
    bool PublishNew(const std::string& target);

private:
    [[noreturn]] void Fail(int error);
    [[noreturn]] void Fail(const std::string& target, int error);
    void SyncFolder() const;

    std::string target_;
    std::string folder_;
    std::string temp_;
    FileDescriptor file_;
    FileDescriptor lock_;  // holds the writer's lock on the temporary file until it is published
    bool committed_ = false;
};

void WriteFileReplacing(const std::string& path, std::string_view bytes);

// The errno value for an entry that is neither a regular file nor a folder; its text is
// "Not a regular file".
constexpr int kNotRegularFile = 0x10000;
// strerror's text, and ours for kNotRegularFile.
std::string SystemErrorText(int error);

// "Cannot open file "<name>". <system message>" and its twin for creating.
std::string CannotOpenMessage(const std::string& name, int error);
std::string CannotCreateMessage(const std::string& name, int error);
std::string CannotCreateMessage(const std::string& name, std::string_view reason);
// "Cannot create folder "<name>". <system message>".
std::string CannotCreateFolderMessage(const std::string& name, int error);

// Folder of the running program with a trailing '/'.
std::string ExecutableFolder();

// True when two names lead to one file: the same entry, or an existing file by another
// name (a link, "./", "../here"). An output that is its own input is refused by this.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace morvik
