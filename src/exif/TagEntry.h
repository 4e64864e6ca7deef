#pragma once
// TTagEntry: one record for a row of a built-in tag table, an entry of a tag list
// (EXIF, maker note, IPTC) and the result of a lookup.
#include <cstdint>
#include <string>

namespace morvik {

// Tag-specific rewriting of a rendered value text.
using TagRenderer = std::string (*)(const std::string& text);

struct TTagEntry {
    int32_t Kind = 0;          // 0 table rows and directory entries; 1 maker-note and named entries
    uint16_t FieldType = 0;    // TIFF field type 1..12; 0 in table rows
    uint16_t RecordNo = 0;     // IPTC record number (2 or 8); 0 elsewhere
    uint16_t TagNo = 0;        // 0: no tag (sentinel row, empty entry, failed lookup)
    std::string TagName;
    std::string DisplayName;
    std::string ValueNames;    // "1:Normal,3:Rotated 180°,..."
    std::string ValueText;
    std::string RawBytes;      // in the file's byte order
    int32_t ValuePos = 0;      // 1-based position of the value in the EXIF block
    std::string Template;
    int32_t ByteCount = 0;     // length of RawBytes; IPTC: the dataset's maximum length
    TagRenderer Renderer = nullptr;
};

// A row of a built-in table as constexpr data; RowEntry turns it into a TTagEntry.
struct TagRow {
    uint16_t TagNo;
    const char* TagName;
    const char* DisplayName = "";
    const char* ValueNames = "";
    const char* Template = "";
    TagRenderer Renderer = nullptr;
};

// Element sizes of the TIFF field types 0..12; a type above 12 has size 0.
int FieldTypeSize(int fieldType);

}  // namespace morvik
