#pragma once
// Builds a maker note for tests: an optional header, one directory of 12-byte entries, a
// zero link, then the values that do not fit in an entry, in the order they were added.
// Value offsets are written as (note offset - shift), the inverse of a maker's offset rule.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace morvik::test {

class MakerNoteBuilder {
public:
    explicit MakerNoteBuilder(bool bigEndian, std::string header = {})
        : bigEndian_(bigEndian), header_(std::move(header))
    {
    }

    std::string U16(uint16_t v) const
    {
        return bigEndian_ ? std::string{char(v >> 8), char(v & 0xFF)} : std::string{char(v & 0xFF), char(v >> 8)};
    }
    std::string U32(uint32_t v) const
    {
        std::string out(4, '\0');
        for (int i = 0; i < 4; ++i)
            out[static_cast<size_t>(i)] = char((v >> (bigEndian_ ? 24 - 8 * i : 8 * i)) & 0xFF);
        return out;
    }

    // An entry whose value bytes are given in the note's byte order.
    MakerNoteBuilder& Raw(uint16_t tag, uint16_t type, uint32_t count, std::string value)
    {
        entries_.push_back({tag, type, count, std::move(value), false, 0});
        return *this;
    }
    // An entry whose 4-byte field is given as it stands (an offset pointing anywhere).
    MakerNoteBuilder& Field(uint16_t tag, uint16_t type, uint32_t count, uint32_t field)
    {
        entries_.push_back({tag, type, count, {}, true, field});
        return *this;
    }
    MakerNoteBuilder& Shorts(uint16_t tag, const std::vector<uint16_t>& values)
    {
        std::string bytes;
        for (uint16_t v : values)
            bytes += U16(v);
        return Raw(tag, 3, static_cast<uint32_t>(values.size()), bytes);
    }
    MakerNoteBuilder& Long(uint16_t tag, uint32_t value) { return Raw(tag, 4, 1, U32(value)); }
    // ASCII with its final NUL byte counted.
    MakerNoteBuilder& Ascii(uint16_t tag, const std::string& text)
    {
        return Raw(tag, 2, static_cast<uint32_t>(text.size() + 1), text + '\0');
    }
    MakerNoteBuilder& Undefined(uint16_t tag, const std::string& bytes)
    {
        return Raw(tag, 7, static_cast<uint32_t>(bytes.size()), bytes);
    }
    MakerNoteBuilder& Rationals(uint16_t tag, const std::vector<std::pair<uint32_t, uint32_t>>& values,
                                uint16_t type = 5)
    {
        std::string bytes;
        for (auto [num, den] : values)
            bytes += U32(num) + U32(den);
        return Raw(tag, type, static_cast<uint32_t>(values.size()), bytes);
    }
    // Bytes after the value area, so that the last value does not end the note.
    MakerNoteBuilder& Trailer(std::string bytes)
    {
        trailer_ = std::move(bytes);
        return *this;
    }
    // Leaves out the 4-byte link after the entries.
    MakerNoteBuilder& WithoutLink()
    {
        link_ = false;
        return *this;
    }

    std::string Build(int64_t shift) const
    {
        std::string dir = U16(static_cast<uint16_t>(entries_.size()));
        const size_t valuesAt = header_.size() + 2 + 12 * entries_.size() + (link_ ? 4 : 0);
        std::string values;
        for (const Entry& e : entries_) {
            dir += U16(e.Tag) + U16(e.Type) + U32(e.Count);
            if (e.FieldGiven) {
                dir += U32(e.FieldValue);
            } else if (e.Value.size() <= 4) {
                dir += e.Value + std::string(4 - e.Value.size(), '\0');
            } else {
                dir += U32(static_cast<uint32_t>(static_cast<int64_t>(valuesAt + values.size()) - shift));
                values += e.Value;
            }
        }
        if (link_)
            dir += U32(0);
        return header_ + dir + values + trailer_;
    }

private:
    struct Entry {
        uint16_t Tag;
        uint16_t Type;
        uint32_t Count;
        std::string Value;
        bool FieldGiven;
        uint32_t FieldValue;
    };
    bool bigEndian_;
    std::string header_;
    std::vector<Entry> entries_;
    std::string trailer_;
    bool link_ = true;
};

}  // namespace morvik::test
