#pragma once
// For the hostile-input and fault tests: the test JPEGs of TestJpeg.h and a snapshot of a
// folder's files with their times.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/TestJpeg.h"

#include <sys/stat.h>

namespace morvik::test {

// Every entry of a folder tree (relative path) with its bytes and modification time, so a
// test can show that nothing outside the output folder changed.
struct FileState {
    std::string Bytes;
    long long MTimeNs = 0;
    bool operator==(const FileState&) const = default;
};

inline std::map<std::string, FileState> Snapshot(const std::filesystem::path& root, const std::string& skip = {})
{
    std::map<std::string, FileState> files;
    for (auto it = std::filesystem::recursive_directory_iterator(root); it != std::filesystem::end(it); ++it) {
        const std::string rel = std::filesystem::relative(it->path(), root).string();
        if (!skip.empty() && rel == skip) {
            it.disable_recursion_pending();
            continue;
        }
        struct stat st {};
        FileState state;
        if (::lstat(it->path().c_str(), &st) == 0)
            state.MTimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
        if (S_ISREG(st.st_mode)) {
            std::FILE* f = std::fopen(it->path().c_str(), "rb");
            if (f) {
                char buf[65536];
                size_t n;
                while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
                    state.Bytes.append(buf, n);
                std::fclose(f);
            }
        }
        files[rel] = std::move(state);
    }
    return files;
}

}  // namespace morvik::test
