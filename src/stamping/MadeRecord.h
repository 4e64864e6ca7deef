#pragma once
// What the batch has made in an output folder, so that a rerun after an interrupted run
// can pass over the photos already done. Each output is recorded as it is published, one
// line appended to a small hidden file in the output folder: the source's name, size and
// modification time, and the output's name. The outputs themselves stay as they are.
//
// The record is a help, never a condition: a record that cannot be read is empty, one
// that cannot be written leaves that output unrecorded (the next rerun makes it again).
// Lines are appended with one write each, so two runs at once never mix their lines.
#include "platform/FileSystem.h"  // FileFacts

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <tuple>

namespace morvik {

constexpr const char* kMadeRecordName = ".morvik-made";

// A source as the record knows it: a file changed since (another size or time) is
// another photo.
struct TSourceIdentity {
    std::string Name;
    int64_t Size = 0;
    int64_t ModifiedNs = 0;  // modification time in nanoseconds since the epoch
    auto operator<=>(const TSourceIdentity&) const = default;
};

// The identity of a source by its facts, named by its entry's name.
TSourceIdentity SourceIdentity(const FileFacts& facts);

class TMadeRecord {
public:
    // Reads the record of outputFolder; absent or unreadable, it is empty.
    explicit TMadeRecord(std::string outputFolder);
    // The output made earlier from that source while it is still in the folder.
    std::optional<std::string> OutputOf(const TSourceIdentity& source) const;
    // Records an output just published (its name in the folder).
    void Add(const TSourceIdentity& source, const std::string& outputName);

private:
    std::string folder_;
    std::map<TSourceIdentity, std::string> made_;
};

}  // namespace morvik
