#pragma once
// TagEntry: one record for a row of a built-in tag table, an entry of a tag list
// (EXIF, maker note, IPTC) and the result of a lookup.
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

namespace morvik {

class ExifDirectory;

// What a renderer may do besides returning its text. A renderer of a record (Canon's
// settings) lists the record's fields as lines: it marks its result as a block of lines,
// and adds each field as a named entry to the directory being decoded, when there is one.
struct RenderContext {
    ExifDirectory* NamedEntries = nullptr;  // not owned; none: the fields are not kept
    bool MultiLine = false;
};

// Tag-specific rewriting of a rendered value text.
using TagRenderer = std::string (*)(const std::string& text, RenderContext& context);

// A renderer that needs nothing but the text, as a table's TagRenderer.
template <std::string (*Render)(const std::string&)>
std::string PlainRenderer(const std::string& text, RenderContext&)
{
    return Render(text);
}

// An immutable text that costs no allocation to copy: either a view of text that lives as
// long as the program (the built-in tables) or a string shared by all copies. Entries are
// copied freely (a row becomes an entry, an entry goes into the tag list, a lookup returns
// one), while their names and value lists never change once made.
class SharedText {
public:
    SharedText() = default;
    explicit SharedText(std::string text) { *this = std::move(text); }

    // A text in storage that outlives every entry (string literals, constexpr tables).
    static SharedText Static(std::string_view text)
    {
        SharedText t;
        t.view_ = text;
        return t;
    }

    SharedText& operator=(std::string text)
    {
        if (text.empty()) {
            owner_.reset();
            view_ = {};
        } else {
            owner_ = std::make_shared<const std::string>(std::move(text));
            view_ = *owner_;
        }
        return *this;
    }
    SharedText& operator=(std::string_view text) { return *this = std::string(text); }
    SharedText& operator=(const char* text) { return *this = std::string(text); }

    operator std::string_view() const { return view_; }
    std::string_view View() const { return view_; }
    std::string Str() const { return std::string(view_); }
    const char* data() const { return view_.data(); }
    size_t size() const { return view_.size(); }
    bool empty() const { return view_.empty(); }

    friend bool operator==(const SharedText& a, std::string_view b) { return a.view_ == b; }
    friend std::ostream& operator<<(std::ostream& os, const SharedText& t) { return os << t.view_; }

private:
    std::string_view view_;
    std::shared_ptr<const std::string> owner_;  // null for static text
};

// The TIFF field types, by the number an entry stores.
enum TiffFieldType : uint16_t {
    FieldTypeByte = 1,
    FieldTypeAscii = 2,
    FieldTypeShort = 3,
    FieldTypeLong = 4,
    FieldTypeRational = 5,
    FieldTypeSByte = 6,
    FieldTypeUndefined = 7,
    FieldTypeSShort = 8,
    FieldTypeSLong = 9,
    FieldTypeSRational = 10,
    FieldTypeFloat = 11,
    FieldTypeDouble = 12,
};

// What a tag-list entry came from (its Kind).
enum TagKind : int32_t {
    TagKindDirectory = 0,  // a table row, an entry of an EXIF or GPS directory, an IPTC dataset
    TagKindMaker = 1,      // an entry of a maker note, or a named entry a maker record added
};

struct TagEntry {
    TagKind Kind = TagKindDirectory;
    uint16_t FieldType = 0;    // a TiffFieldType; 0 in table rows
    uint16_t RecordNo = 0;     // IPTC record number (2 or 8); 0 elsewhere
    uint16_t TagNo = 0;        // 0: no tag (sentinel row, empty entry, failed lookup)
    SharedText TagName;
    SharedText DisplayName;
    SharedText ValueNames;     // "1:Normal,3:Rotated 180°,..."
    std::string ValueText;
    std::string RawBytes;      // in the file's byte order
    int32_t ValuePos = 0;      // 1-based position of the value in the EXIF block
    SharedText Template;
    int32_t ByteCount = 0;     // length of RawBytes; IPTC: the dataset's maximum length
    TagRenderer Renderer = nullptr;
};

// A row of a built-in table as constexpr data; EntryFromRow turns it into a TagEntry.
struct TagRow {
    uint16_t TagNo;
    const char* TagName;
    const char* DisplayName = "";
    const char* ValueNames = "";
    const char* Template = "";
    TagRenderer Renderer = nullptr;
};

// The entry a table row stands for; its texts point at the row's, nothing is copied.
inline TagEntry EntryFromRow(const TagRow& row)
{
    TagEntry entry;
    entry.TagNo = row.TagNo;
    entry.TagName = SharedText::Static(row.TagName);
    entry.DisplayName = SharedText::Static(row.DisplayName);
    entry.ValueNames = SharedText::Static(row.ValueNames);
    entry.Template = SharedText::Static(row.Template);
    entry.Renderer = row.Renderer;
    return entry;
}

// Element sizes of the TIFF field types 0..12; a type above 12 has size 0.
int FieldTypeSize(int fieldType);

}  // namespace morvik
