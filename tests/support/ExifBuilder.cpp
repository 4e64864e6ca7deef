#include "support/ExifBuilder.h"

#include <stdexcept>

namespace morvik::test {

ExifBuilder::ExifBuilder(bool bigEndian) : bigEndian_(bigEndian) { ifds_.emplace_back(); }

int ExifBuilder::AddIfd()
{
    ifds_.emplace_back();
    return static_cast<int>(ifds_.size()) - 1;
}

std::string ExifBuilder::U16(uint16_t v) const
{
    std::string s(2, '\0');
    s[bigEndian_ ? 0 : 1] = static_cast<char>(v >> 8);
    s[bigEndian_ ? 1 : 0] = static_cast<char>(v & 0xFF);
    return s;
}

std::string ExifBuilder::U32(uint32_t v) const
{
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[static_cast<size_t>(bigEndian_ ? 3 - i : i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

ExifBuilder& ExifBuilder::Entry(int ifd, uint16_t tag, uint16_t type, uint32_t count, const std::string& value)
{
    Item item;
    item.Tag = tag;
    item.Type = type;
    item.Count = count;
    item.Value = value;
    ifds_.at(static_cast<size_t>(ifd)).Items.push_back(item);
    return *this;
}

ExifBuilder& ExifBuilder::RawEntry(int ifd, uint16_t tag, uint16_t type, uint32_t count, uint32_t field)
{
    Item item;
    item.Tag = tag;
    item.Type = type;
    item.Count = count;
    item.Field = field;
    ifds_.at(static_cast<size_t>(ifd)).Items.push_back(item);
    return *this;
}

ExifBuilder& ExifBuilder::Pointer(int ifd, uint16_t tag, int target)
{
    Item item;
    item.Tag = tag;
    item.Type = 4;
    item.Count = 1;
    item.Target = target;
    ifds_.at(static_cast<size_t>(ifd)).Items.push_back(item);
    return *this;
}

ExifBuilder& ExifBuilder::Byte(int ifd, uint16_t tag, std::initializer_list<uint8_t> values)
{
    std::string bytes;
    for (uint8_t v : values)
        bytes += static_cast<char>(v);
    return Entry(ifd, tag, 1, static_cast<uint32_t>(bytes.size()), bytes);
}

ExifBuilder& ExifBuilder::Ascii(int ifd, uint16_t tag, const std::string& text, bool addNul)
{
    std::string bytes = text;
    if (addNul)
        bytes += '\0';
    return Entry(ifd, tag, 2, static_cast<uint32_t>(bytes.size()), bytes);
}

ExifBuilder& ExifBuilder::Undefined(int ifd, uint16_t tag, const std::string& bytes)
{
    return Entry(ifd, tag, 7, static_cast<uint32_t>(bytes.size()), bytes);
}

ExifBuilder& ExifBuilder::Short(int ifd, uint16_t tag, std::initializer_list<uint16_t> values, uint16_t type)
{
    std::string bytes;
    for (uint16_t v : values)
        bytes += U16(v);
    return Entry(ifd, tag, type, static_cast<uint32_t>(values.size()), bytes);
}

ExifBuilder& ExifBuilder::Long(int ifd, uint16_t tag, std::initializer_list<uint32_t> values, uint16_t type)
{
    std::string bytes;
    for (uint32_t v : values)
        bytes += U32(v);
    return Entry(ifd, tag, type, static_cast<uint32_t>(values.size()), bytes);
}

ExifBuilder& ExifBuilder::Rational(int ifd, uint16_t tag, std::initializer_list<std::pair<int64_t, int64_t>> values,
                                   uint16_t type)
{
    std::string bytes;
    for (auto [num, den] : values)
        bytes += U32(static_cast<uint32_t>(num)) + U32(static_cast<uint32_t>(den));
    return Entry(ifd, tag, type, static_cast<uint32_t>(values.size()), bytes);
}

uint32_t ExifBuilder::IfdSize(const Ifd& ifd) const
{
    uint32_t size = 2 + 12 * static_cast<uint32_t>(ifd.Items.size()) + 4;
    for (const Item& item : ifd.Items)
        if (!item.Field && item.Target < 0 && item.Value.size() > 4)
            size += static_cast<uint32_t>((item.Value.size() + 1) & ~size_t{1});
    return size;
}

std::vector<uint32_t> ExifBuilder::Layout() const
{
    std::vector<uint32_t> offsets;
    uint32_t at = 8;
    for (const Ifd& ifd : ifds_) {
        offsets.push_back(at);
        at += IfdSize(ifd);
    }
    return offsets;
}

uint32_t ExifBuilder::IfdOffset(int ifd) const { return Layout().at(static_cast<size_t>(ifd)); }

uint32_t ExifBuilder::ValueOffset(int ifd, int k) const
{
    const Ifd& d = ifds_.at(static_cast<size_t>(ifd));
    const uint32_t base = IfdOffset(ifd);
    uint32_t extra = base + 2 + 12 * static_cast<uint32_t>(d.Items.size()) + 4;
    for (int i = 0; i < static_cast<int>(d.Items.size()); ++i) {
        const Item& item = d.Items[static_cast<size_t>(i)];
        const bool outside = !item.Field && item.Target < 0 && item.Value.size() > 4;
        if (i == k)
            return outside ? extra : EntryOffset(ifd, k) + 8;
        if (outside)
            extra += static_cast<uint32_t>((item.Value.size() + 1) & ~size_t{1});
    }
    throw std::out_of_range("no such entry");
}

std::string ExifBuilder::Tiff() const
{
    const std::vector<uint32_t> offsets = Layout();
    std::string out = bigEndian_ ? "MM" : "II";
    out += U16(42);
    out += U32(firstOffset_ ? *firstOffset_ : offsets[0]);
    for (size_t d = 0; d < ifds_.size(); ++d) {
        const Ifd& ifd = ifds_[d];
        out += U16(ifd.CountOverride ? *ifd.CountOverride : static_cast<uint16_t>(ifd.Items.size()));
        std::string values;
        uint32_t extra = offsets[d] + 2 + 12 * static_cast<uint32_t>(ifd.Items.size()) + 4;
        for (const Item& item : ifd.Items) {
            out += U16(item.Tag) + U16(item.Type) + U32(item.Count);
            if (item.Field) {
                out += U32(*item.Field);
            } else if (item.Target >= 0) {
                out += U32(offsets.at(static_cast<size_t>(item.Target)));
            } else if (item.Value.size() <= 4) {
                out += item.Value + std::string(4 - item.Value.size(), '\0');
            } else {
                out += U32(extra + static_cast<uint32_t>(values.size()));
                values += item.Value;
                if (values.size() % 2)
                    values += '\0';
            }
        }
        out += U32(0);
        out += values;
    }
    return out;
}

std::string ExifBuilder::App1() const { return Section(0xE1, std::string("Exif\0\0", 6) + Tiff()); }

std::string Section(uint8_t marker, const std::string& body)
{
    const size_t length = body.size() + 2;
    if (length > 0xFFFF)
        throw std::length_error("section too long");
    std::string out = "\xFF";
    out += static_cast<char>(marker);
    out += static_cast<char>(length >> 8);
    out += static_cast<char>(length & 0xFF);
    return out + body;
}

std::string MakeJpeg(const std::vector<std::string>& sections, bool withImage)
{
    std::string out = "\xFF\xD8";
    for (const std::string& s : sections)
        out += s;
    if (withImage) {
        out += Section(0xDB, std::string(65, '\x01'));              // DQT
        out += Section(0xC0, std::string("\x08\x00\x10\x00\x10\x01\x01\x11\x00", 9));  // SOF0
        out += Section(0xC4, std::string(20, '\0'));                // DHT
        out += Section(0xDA, std::string("\x01\x01\x00\x00\x3F\x00", 6));  // SOS
        out += std::string("\x12\x34\x56\x78", 4);
    }
    out += "\xFF\xD9";
    return out;
}

}  // namespace morvik::test
