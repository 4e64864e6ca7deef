#include "metadata/notes/IptcRecord.h"

#include "metadata/directory/ByteSource.h"
#include "platform/Convert.h"

#include <algorithm>
#include <array>
#include <unordered_set>

namespace morvik {

namespace {

constexpr std::array<IptcDatasetRow, 49> kDatasets = {{
    {2, 0, "SKIP", "Record Version", 64},
    {2, 3, "ObjectType", "Object Type Ref", 67},
    {2, 4, "ObjectAttr", "Object Attribute Ref", 67},
    {2, 5, "ObjectName", "Object name", 64},
    {2, 7, "EditStatus", "Edit Status", 64},
    {2, 8, "EditorialUpdate", "Editorial Update", 2},
    {2, 10, "Urgency", "Urgency", 1},
    {2, 12, "SubRef", "Subject Reference", 236},
    {2, 15, "Category", "Category", 3},
    {2, 20, "SuppCategory", "Supplemental category", 32},
    {2, 22, "FixtureID", "Fixture ID", 32},
    {2, 25, "Keywords", "Keywords", 64},
    {2, 26, "ContentLocCode", "Content Location Code", 3},
    {2, 27, "ContentLocName", "Content Location Name", 64},
    {2, 30, "ReleaseDate", "Release Date", 8},
    {2, 35, "ReleaseTime", "Release Time", 11},
    {2, 37, "ExpireDate", "Expiration Date", 8},
    {2, 38, "ExpireTime", "Expiration Time", 11},
    {2, 40, "SpecialInstru", "Special Instructions", 256},
    {2, 42, "ActionAdvised", "Action Advised", 2},
    {2, 45, "RefService", "Reference Service", 10},
    {2, 47, "RefDate", "Reference Date", 8},
    {2, 50, "RefNumber", "Reference Number", 8},
    {2, 55, "DateCreated", "Date created", 8},
    {2, 60, "TimeCreated", "Time created", 11},
    {2, 62, "DigitizeDate", "Digital Creation Date", 8},
    {2, 63, "DigitizeTime", "Digital Creation Time", 11},
    {2, 65, "OriginatingProgram", "Originating Program", 32},
    {2, 70, "ProgramVersion", "Program version", 10},
    {2, 75, "ObjectCycle", "Object Cycle", 1},
    {2, 80, "ByLine", "ByLine", 32},
    {2, 85, "ByLineTitle", "ByLine Title", 32},
    {2, 90, "City", "City", 32},
    {2, 92, "SubLocation", "Sublocation", 32},
    {2, 95, "State", "Province/State", 32},
    {2, 100, "LocationCode", "Country/Primary Location Code", 3},
    {2, 101, "LocationName", "Country/Primary Location Name", 64},
    {2, 103, "TransmissionRef", "Original Transmission Reference", 32},
    {2, 105, "ImageHeadline", "Image headline", 256},
    {2, 110, "ImageCredit", "Image credit", 32},
    {2, 115, "Source", "Source", 32},
    {2, 116, "Copyright", "Copyright Notice", 128},
    {2, 118, "Contact", "Contact", 128},
    {2, 120, "ImageCaption", "Image caption", 2000},
    {2, 122, "ImageCaptionWriter", "Image caption writer", 32},
    {2, 130, "ImageType", "Image type", 2},
    {2, 131, "Orientation", "Image Orientation", 1},
    {2, 135, "LangID", "Language ID", 3},
    {8, 10, "Subfile", "Subfile", 2},
}};

constexpr std::array<uint16_t, 2> kListDatasets = {20, 25};

constexpr std::string_view kSignature = "Photoshop 3.0";
constexpr uint8_t kTagMarker = 0x1C;
constexpr int32_t kCustomSize = 64;
constexpr int32_t kGrowth = 25;

TagEntry EntryFromRow(const IptcDatasetRow& row)
{
    TagEntry e;
    e.RecordNo = row.RecordNo;
    e.TagNo = row.DatasetNo;
    e.TagName = SharedText::Static(row.Name);
    e.DisplayName = SharedText::Static(row.Description);
    e.ByteCount = row.Size;
    return e;
}

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Lower case of a Windows-1251 byte: ASCII, the Russian alphabet and the other Cyrillic
// letters of the code page, so that "Море" and "МОРЕ" count as the same keyword.
unsigned char Cp1251Lower(unsigned char c)
{
    if (c >= 'A' && c <= 'Z')
        return static_cast<unsigned char>(c + 32);
    if (c >= 0xC0 && c <= 0xDF)
        return static_cast<unsigned char>(c + 32);
    switch (c) {
    case 0x80: return 0x90;  // Ђ
    case 0x81: return 0x83;  // Ѓ
    case 0x8A: return 0x9A;  // Љ
    case 0x8C: return 0x9C;  // Њ
    case 0x8D: return 0x9D;  // Ќ
    case 0x8E: return 0x9E;  // Ћ
    case 0x8F: return 0x9F;  // Џ
    case 0xA1: return 0xA2;  // Ў
    case 0xA3: return 0xBC;  // Ј
    case 0xA5: return 0xB4;  // Ґ
    case 0xA8: return 0xB8;  // Ё
    case 0xAA: return 0xBA;  // Є
    case 0xAF: return 0xBF;  // Ї
    case 0xB2: return 0xB3;  // І
    case 0xBD: return 0xBE;  // Ѕ
    default: return c;
    }
}

// A text in lower case by Cp1251Lower: two texts are the same but for case when their
// folded forms are equal.
std::string Cp1251Folded(std::string_view text)
{
    std::string folded(text);
    for (char& c : folded)
        c = static_cast<char>(Cp1251Lower(static_cast<unsigned char>(c)));
    return folded;
}

// The first table row for this record and dataset number, or nullptr.
const IptcDatasetRow* RowFor(int recordNo, int datasetNo)
{
    for (const auto& row : kDatasets)
        if (row.RecordNo == recordNo && row.DatasetNo == datasetNo)
            return &row;
    return nullptr;
}

}  // namespace

std::span<const IptcDatasetRow> IptcDatasetTable() { return kDatasets; }

bool IsIptcListDataset(int datasetNo)
{
    for (uint16_t d : kListDatasets)
        if (d == datasetNo)
            return true;
    return false;
}

std::vector<std::string> ReadCommaList(std::string_view text)
{
    std::vector<std::string> items;
    size_t p = 0;
    const size_t n = text.size();
    auto skipBlanks = [&] {
        while (p < n && IsBlankOrControl(text[p]))
            ++p;
    };
    skipBlanks();
    while (p < n) {
        std::string item;
        if (text[p] == '"') {
            ++p;
            while (p < n) {
                if (text[p] == '"') {
                    if (p + 1 < n && text[p + 1] == '"') {
                        item += '"';
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item += text[p++];
            }
        } else {
            while (p < n && !IsBlankOrControl(text[p]) && text[p] != ',')
                item += text[p++];
        }
        items.push_back(std::move(item));
        skipBlanks();
        if (p < n && text[p] == ',') {
            if (p + 1 == n)
                items.emplace_back();  // a trailing comma stands for an empty last item
            ++p;
            skipBlanks();
        }
    }
    return items;
}

std::string WriteCommaList(const std::vector<std::string>& items)
{
    if (items.size() == 1 && items[0].empty())
        return "\"\"";
    std::string out;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            out += ',';
        const std::string& s = items[i];
        bool quote = false;
        for (char c : s)
            if (IsBlankOrControl(c) || c == '"' || c == ',') {
                quote = true;
                break;
            }
        if (!quote) {
            out += s;
            continue;
        }
        out += '"';
        for (char c : s) {
            if (c == '"')
                out += '"';
            out += c;
        }
        out += '"';
    }
    return out;
}

IptcRecord::IptcRecord() = default;
IptcRecord::~IptcRecord() = default;

int IptcRecord::IndexOfName(const std::string& name) const
{
    for (int32_t i = 0; i < count_; ++i)
        if (AsciiEqualNoCase(entries_[static_cast<size_t>(i)].TagName, name))
            return i;
    return -1;
}

int IptcRecord::SetValue(const std::string& name, const std::string& value)
{
    const int i = IndexOfName(name);
    if (i >= 0 && i < count_) {
        if (!value.empty())
            entries_[static_cast<size_t>(i)].ValueText = value;
        return i;
    }
    const int row = DefinitionIndex(name);
    if (row < 0)
        return -1;
    TagEntry entry = EntryFromRow(kDatasets[static_cast<size_t>(row)]);
    entry.ValueText = value;
    return AppendEntry(entry);
}

int IptcRecord::MergeValue(const std::string& name, const std::string& value)
{
    const int i = IndexOfName(name);
    if (i >= 0 && i < count_) {
        if (!value.empty()) {
            auto& text = entries_[static_cast<size_t>(i)].ValueText;
            text = MergeList(text, value);
        }
        return i;
    }
    return SetValue(name, MergeList(std::string(), value));
}

std::string IptcRecord::GetValue(const std::string& name, const std::string& defaultValue) const
{
    const int i = IndexOfName(name);
    if (i >= 0 && i < count_)
        return entries_[static_cast<size_t>(i)].ValueText;
    return defaultValue;
}

TagEntry IptcRecord::EntryAt(int index) const
{
    if (index < 0 || index >= count_)
        return {};
    return entries_[static_cast<size_t>(index)];
}

int IptcRecord::DefinitionIndex(const std::string& name)
{
    for (size_t i = 0; i < kDatasets.size(); ++i)
        if (AsciiEqualNoCase(kDatasets[i].Name, name))
            return static_cast<int>(i);
    return -1;
}

int IptcRecord::AppendEntry(const TagEntry& entry)
{
    if (entry.TagNo != 0) {
        if (count_ >= Capacity() - 1)
            entries_.resize(entries_.size() + kGrowth);
        entries_[static_cast<size_t>(count_)] = entry;
        ++count_;
    }
    return count_ - 1;
}

void IptcRecord::ParseResource(std::string_view bytes)
{
    Clear();
    // Each parse works on its own copy, so readers on other threads never share a buffer.
    const std::string buffer(bytes);
    const ByteSource src(buffer);
    const int64_t length = src.Length();

    const size_t found = buffer.find(kSignature);
    const int64_t signature = found == std::string::npos ? 0 : static_cast<int64_t>(found) + 1;

    // The datasets start at the first 0x1C 2 or 0x1C 8 pair after the signature.
    // Resource blocks before the datasets can be long (thumbnails): the marker bytes are
    // found with memchr rather than by a checked read of every byte.
    int64_t marker = length + 1;
    int64_t from = signature + static_cast<int64_t>(kSignature.size());
    while (from <= length) {
        const size_t at = buffer.find(static_cast<char>(kTagMarker), static_cast<size_t>(from < 1 ? 1 : from) - 1);
        if (at == std::string::npos)
            break;
        const int64_t i = static_cast<int64_t>(at) + 1;
        if (src.Holds(i + 1, 1)) {
            const uint8_t record = src.Byte(i + 1);
            if (record == 2 || record == 8) {
                marker = i;
                break;
            }
        }
        from = i + 1;
    }

    // The occurrences of a list dataset after its first, gathered as they come and merged
    // into its entry once at the end: merging each into the comma list on its own would
    // read and compare the whole list again every time.
    struct GatheredList {
        std::string Name;
        std::vector<std::string> Items;
    };
    std::vector<GatheredList> gathered;  // one per list dataset met

    int64_t q = marker + 1;
    while (q < length - 2 && src.Holds(q, 4)) {
        const uint8_t record = src.Byte(q);
        const uint8_t dataset = src.Byte(q + 1);
        const int64_t valueLength = int64_t{src.Byte(q + 2)} * 256 + src.Byte(q + 3);
        const std::string value = src.Clip(q + 4, valueLength);

        TagEntry entry;
        if (record == 2 || record == 8) {
            const IptcDatasetRow* row = RowFor(record, dataset);
            if (row != nullptr && std::string_view(row->Name) != "SKIP") {
                entry = EntryFromRow(*row);
            } else {
                entry.TagName = "Custom_" + std::to_string(dataset);
                entry.DisplayName = entry.TagName;
                entry.TagNo = dataset;
                entry.RecordNo = record;
                entry.ByteCount = kCustomSize;
            }
            entry.ValueText = value;
        }
        // Past the value and the next dataset's marker byte, which is not checked.
        q = q + 4 + valueLength + 1;

        if (entry.TagNo <= 255 && IsIptcListDataset(entry.TagNo)) {
            auto list = std::find_if(gathered.begin(), gathered.end(),
                                     [&](const GatheredList& g) { return g.Name == entry.TagName.View(); });
            if (list == gathered.end()) {
                MergeValue(entry.TagName.Str(), entry.ValueText);  // the entry, where its first one stands
                gathered.push_back({entry.TagName.Str(), {}});
            } else {
                for (std::string& item : ReadCommaList(entry.ValueText))
                    list->Items.push_back(std::move(item));
            }
        } else {
            AppendEntry(entry);
        }
    }
    for (const GatheredList& list : gathered)
        if (!list.Items.empty())
            MergeValue(list.Name, WriteCommaList(list.Items));
}

void IptcRecord::Clear()
{
    count_ = 0;
    for (auto& slot : entries_)
        slot = TagEntry{};
}

std::string IptcRecord::MergeList(const std::string& existing, const std::string& newItems)
{
    std::vector<std::string> items = ReadCommaList(existing);
    // The items present, case-folded: each new item is looked up once, not compared with
    // every item of the list.
    std::unordered_set<std::string> present;
    for (const std::string& item : items)
        present.insert(Cp1251Folded(item));
    for (const std::string& raw : ReadCommaList(newItems)) {
        std::string item(Trim(raw));
        if (present.insert(Cp1251Folded(item)).second)
            items.push_back(std::move(item));
    }
    return WriteCommaList(items);
}

}  // namespace morvik
