#pragma once
// IptcRecord: the IPTC datasets of a JPEG file's first APP13 section ("Photoshop 3.0"
// resource block), one tag record per dataset, named after a fixed table of known
// datasets and looked up by name.
#include "metadata/directory/TagEntry.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace morvik {

// One row of the dataset table.
struct IptcDatasetRow {
    uint16_t RecordNo;
    uint16_t DatasetNo;
    const char* Name;
    const char* Description;
    int32_t Size;
};

// The 49 known datasets, searched in this order.
std::span<const IptcDatasetRow> IptcDatasetTable();

// Datasets that may repeat and are gathered into one comma-list entry (whatever the record).
bool IsIptcListDataset(int datasetNo);

// Comma lists: items joined by ","; an item with a blank, a control character, a double
// quote or a comma is double-quoted with inner quotes doubled; a lone empty item is "".
std::vector<std::string> ReadCommaList(std::string_view text);
std::string WriteCommaList(const std::vector<std::string>& items);

class IptcRecord {
public:
    IptcRecord();
    ~IptcRecord();
    IptcRecord(const IptcRecord&) = delete;
    IptcRecord& operator=(const IptcRecord&) = delete;

    // Lookups by name (ASCII case ignored) all go through IndexOfName.
    int IndexOfName(const std::string& name) const;
    // The entry of that name takes the value (an empty value keeps the one it has), or a
    // new entry of the table's dataset of that name is appended: its index, or -1 for a
    // name the table does not know.
    int SetValue(const std::string& name, const std::string& value);
    // The same, the value's comma-list items merged into the entry's list (MergeList).
    int MergeValue(const std::string& name, const std::string& value);
    std::string GetValue(const std::string& name, const std::string& defaultValue) const;

    int32_t Count() const { return count_; }
    int32_t Capacity() const { return static_cast<int32_t>(entries_.size()); }

    // A copy of the entry at the index; the empty entry for an index outside 0 .. Count-1.
    TagEntry EntryAt(int index) const;
    // Row index 0..48 of the first table row of that name (ASCII case ignored), or -1.
    static int DefinitionIndex(const std::string& name);
    // Appends an entry (dataset number 0: nothing stored); the index of the last entry.
    int AppendEntry(const TagEntry& entry);
    // Reads the datasets of an APP13 section's bytes, replacing what the reader held.
    void ParseResource(std::string_view bytes);
    void Clear();

    // The existing comma list with the new items that are not in it yet (case ignored).
    static std::string MergeList(const std::string& existing, const std::string& newItems);

private:
    int32_t count_ = 0;
    std::vector<TagEntry> entries_;  // the allocated slots; 0 .. count_-1 in use
};

}  // namespace morvik
