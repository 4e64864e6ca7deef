#pragma once
// File facts in local time, setting a file's modification time, folder enumeration.
// Paths are UTF-8 file-system paths.
#include "platform/DateTime.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace morvik {

struct FileFacts {
    std::string Name;         // the entry's name without its folder
    bool IsDirectory = false;
    int64_t Size = 0;
    TDateTime Modified = 0;   // local time
    TDateTime Created = 0;    // local time: the birth time where the file system keeps one, else Modified
};

// Facts of the entry at path (any kind of entry), or nullopt when there is none.
std::optional<FileFacts> GetFileFacts(const std::string& path);
bool FileExists(const std::string& path);  // an entry that is not a folder
bool DirectoryExists(const std::string& path);

// Entries of a folder (no "." or ".."), in no particular order.
std::vector<FileFacts> ListFolder(const std::string& folder);

// The local time rounded down to the even second, as a packed FAT date keeps it: what
// the file's time reads back as once set. Years outside 1980..2107 give nullopt.
std::optional<DateTimeFields> PackedFileTime(TDateTime local);
// Sets the modification time from a local date-time at two-second resolution, years
// 1980..2107. Returns false when the date is out of range or the call fails.
bool SetFileModifiedTime(const std::string& path, TDateTime local);

// Folder of the running program with a trailing '/'.
std::string ExecutableFolder();

}  // namespace morvik
