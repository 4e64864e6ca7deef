// Turning the raw bytes of an entry into text and numbers: value rendering, the
// tag-specific renderers, fractions and EXIF date texts.
#include "metadata/directory/ExifDirectory.h"
#include "metadata/directory/ReaderFailure.h"
#include "platform/Convert.h"
#include "platform/Format.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace morvik {

namespace {

bool IsIntegerType(int fieldType)
{
    switch (fieldType) {
    case FieldTypeByte: case FieldTypeShort: case FieldTypeLong:
    case FieldTypeSByte: case FieldTypeSShort: case FieldTypeSLong:
        return true;
    default:
        return false;
    }
}

// The text before the first ", " and what follows it (the whole text and nothing when
// there is no separator).
std::pair<std::string, std::string> SplitAtComma(const std::string& text)
{
    const size_t at = text.find(", ");
    if (at == std::string::npos)
        return {text, {}};
    return {text.substr(0, at), text.substr(at + 2)};
}

// Degrees/minutes/seconds or hours/minutes/seconds of three rendered rationals.
struct Triple {
    double First = 0, Second = 0, Third = 0;
};

Triple SplitTriple(const std::string& text)
{
    Triple t;
    auto [first, rest] = SplitAtComma(text);
    t.First = FractionValue(first);
    rest = rest.substr(0, 64);
    auto [second, third] = SplitAtComma(rest);
    t.Second = FractionValue(second);
    t.Third = FractionValue(third.substr(0, 64));
    return t;
}

// Appends the decimal text of a value, as "%d" writes it.
void AppendDecimal(std::string& out, int64_t value)
{
    char buf[24];
    const auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
    out.append(buf, static_cast<size_t>(end - buf));
}

// A value rounded to 64-bit for "%d" conversions; infinities and NaN give 0.
int64_t RoundToInt64(double value)
{
    if (!std::isfinite(value) || value > 9.2e18 || value < -9.2e18)
        return 0;
    return static_cast<int64_t>(std::nearbyint(value));
}

// The integer a renderer reads from a value text; a text that is none fails the entry.
int32_t ValueInteger(std::string_view text)
{
    if (const std::optional<int32_t> v = TryStrToInt(text))
        return *v;
    throw ValueNotConverted();
}

}  // namespace

int32_t RoundToInt(double value)
{
    if (!std::isfinite(value))
        return 0;
    const double r = std::nearbyint(value);  // the default rounding mode: ties to even
    if (r > std::numeric_limits<int32_t>::max() || r < std::numeric_limits<int32_t>::min())
        return 0;
    return static_cast<int32_t>(r);
}

double ExifDirectory::NumericValue(const std::string& raw, int fieldType) const
{
    return morvik::NumericValue(raw, fieldType, BigEndian);
}

int32_t BytesToInt(std::string_view bytes, bool bigEndian)
{
    uint64_t acc = 0;
    if (bigEndian) {
        for (unsigned char c : bytes)
            acc = acc * 256 + c;
    } else {
        for (auto it = bytes.rbegin(); it != bytes.rend(); ++it)
            acc = acc * 256 + static_cast<unsigned char>(*it);
    }
    return static_cast<int32_t>(static_cast<uint32_t>(acc & 0xFFFFFFFFu));
}

double NumericValue(const std::string& raw, int fieldType, bool bigEndian)
{
    const std::string_view bytes(raw);
    if (IsIntegerType(fieldType))
        return BytesToInt(bytes, bigEndian);
    if (fieldType == FieldTypeRational || fieldType == FieldTypeSRational) {
        const int32_t num = BytesToInt(bytes.substr(0, 4), bigEndian);
        const int32_t den = BytesToInt(bytes.size() > 4 ? bytes.substr(4, 4) : std::string_view(), bigEndian);
        return den == 0 ? 0.0 : static_cast<double>(num) / den;
    }
    if (fieldType == FieldTypeFloat && bytes.size() >= 4) {
        uint32_t bits = static_cast<uint32_t>(BytesToInt(bytes.substr(0, 4), bigEndian));
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return std::isfinite(f) ? f : 0.0;
    }
    if (fieldType == FieldTypeDouble && bytes.size() >= 8) {
        const uint64_t hi = static_cast<uint32_t>(BytesToInt(bigEndian ? bytes.substr(0, 4) : bytes.substr(4, 4), bigEndian));
        const uint64_t lo = static_cast<uint32_t>(BytesToInt(bigEndian ? bytes.substr(4, 4) : bytes.substr(0, 4), bigEndian));
        const uint64_t bits = (hi << 32) | lo;
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return std::isfinite(d) ? d : 0.0;
    }
    return 0.0;
}

std::string RenderValue(const std::string& raw, int fieldType, bool bigEndian, std::string_view valueNames,
                        std::string_view tmpl, size_t enough)
{
    const size_t at = tmpl.find("%s");
    if (!tmpl.empty() && at == std::string_view::npos)
        return Format(tmpl, NumericValue(raw, fieldType, bigEndian));  // the template shows the number alone
    const int size = FieldTypeSize(fieldType);
    // The template's text before "%s" comes first; the elements stop once the whole is
    // `enough` long, which is never sooner than they alone would be.
    std::string result(tmpl.substr(0, at == std::string_view::npos ? 0 : at));
    if (size == 0) {
        result += '0';
    } else {
        const std::string_view bytes(raw);
        const size_t n = std::min<size_t>(bytes.size() / static_cast<size_t>(size), 128);
        for (size_t i = 0; i < n && result.size() < enough; ++i) {
            if (i > 0)
                result += ", ";
            const std::string_view element = bytes.substr(i * size, size);
            if (IsIntegerType(fieldType)) {
                if (valueNames.empty()) {
                    AppendDecimal(result, BytesToInt(element, bigEndian));
                } else {
                    std::string number;
                    AppendDecimal(number, BytesToInt(element, bigEndian));
                    result += NameInList(valueNames, number);
                }
            } else if (fieldType == FieldTypeRational || fieldType == FieldTypeSRational) {
                AppendDecimal(result, BytesToInt(element.substr(0, 4), bigEndian));
                result += '/';
                AppendDecimal(result, BytesToInt(element.substr(4, 4), bigEndian));
            } else if (fieldType == FieldTypeFloat || fieldType == FieldTypeDouble) {
                result += "-9999.99";
            } else {
                result += "?";
            }
        }
    }
    if (!tmpl.empty())
        result += tmpl.substr(at + 2);
    return result;
}

std::string NameForValue(std::string_view valueNames, std::string_view key)
{
    return std::string(NameInList(valueNames, key));
}

std::string_view NameInList(std::string_view valueNames, std::string_view key)
{
    // The first "key:" that starts the list or follows a comma; its name runs to the next
    // comma or the end of the list.
    const std::string_view wanted = Trim(key);
    for (size_t at = valueNames.find(wanted); at != std::string_view::npos; at = valueNames.find(wanted, at + 1)) {
        const size_t colon = at + wanted.size();
        if ((at == 0 || valueNames[at - 1] == ',') && colon < valueNames.size() && valueNames[colon] == ':') {
            const size_t from = colon + 1;
            const size_t comma = valueNames.find(',', from);
            return valueNames.substr(from, comma == std::string_view::npos ? std::string_view::npos : comma - from);
        }
    }
    return {};
}

std::string PrintableText(std::string_view text) { return PrintableText(std::string(text.substr(0, PrintableLength))); }

std::string PrintableText(std::string&& text)
{
    if (text.size() > PrintableLength)
        text.resize(PrintableLength);
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 32)
            c = '.';
    return std::move(text);
}

double FractionValue(const std::string& text)
{
    std::string rest(Trim(text));
    double whole = 0;
    const size_t blank = rest.find(' ');
    if (blank != std::string::npos) {
        auto w = TryStrToInt(rest.substr(0, blank));
        if (!w)
            return 0;
        whole = *w;
        rest = rest.substr(blank + 1);
    }
    const size_t slash = rest.find('/');
    if (slash == std::string::npos)
        return 0;
    auto num = TryStrToInt(rest.substr(0, slash));
    auto den = TryStrToInt(rest.substr(slash + 1));
    if (!num || !den || *den == 0)
        return 0;
    return (whole * *den + *num) / static_cast<double>(*den);
}

TDateTime DateTimeFromText(const std::string& text)
{
    if (text.size() < 19)
        return 0;
    auto field = [&text](size_t from, size_t length) { return TryStrToInt(std::string_view(text).substr(from, length)); };
    auto year = field(0, 4), month = field(5, 2), day = field(8, 2);
    auto hour = field(11, 2), minute = field(14, 2), second = field(17, 2);
    if (!year || !month || !day || !hour || !minute || !second)
        return 0;
    auto value = TryEncodeDateTime(*year, *month, *day, *hour, *minute, *second, 0);
    return value ? *value : 0;
}

std::string RenderComponents(const std::string& text)
{
    static constexpr const char* kNames[] = {"", "Y", "Cb", "Cr", "R", "G", "B"};
    std::string out;
    for (size_t i = 1; i <= 4 && i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 1 && c <= 6)
            out += kNames[c];
    }
    return out;
}

std::string RenderShutterSpeed(const std::string& text)
{
    const double x = FractionValue(text);
    const double t = 1.0 / std::pow(2.0, x);
    std::string out = Format("%4.4f sec", t);
    if (t <= 0.5)
        out += Format(" (1/%d)", RoundToInt64(1.0 / t));
    return out;
}

std::string RenderFlash(const std::string& text)
{
    const int32_t v = ValueInteger(text);
    std::string out = (v & 1) ? "On" : "Off";
    switch (v & 6) {
    case 2: out += ", UNKNOWN"; break;
    case 4: out += ", no strobe return"; break;
    case 6: out += ", strobe return"; break;
    }
    switch (v & 0x18) {
    case 0x08: out += ", forced"; break;
    case 0x10: out += ", surpressed"; break;
    case 0x18: out += ", auto mode"; break;
    }
    if (v & 0x20)
        out += ", no flash function";
    if (v & 0x40)
        out += ", red-eye reduction";
    return out;
}

std::string RenderUserComment(const std::string& text) { return text.size() > 8 ? text.substr(8) : std::string(); }

std::string RenderXPText(const std::string& text)
{
    std::string out;
    size_t start = 0;
    for (int k = 1;; ++k) {
        const size_t comma = text.find(',', start);
        if (comma == std::string::npos)
            break;  // the field after the last comma is never examined
        if (k % 2 == 1) {
            const int32_t v = ValueInteger(std::string_view(text).substr(start, comma - start));
            if ((v & 0xFF) != 0)
                out += static_cast<char>(v & 0xFF);
        }
        start = comma + 1;
    }
    return out;
}

std::string RenderGPSCoordinate(const std::string& text)
{
    Triple t = SplitTriple(text);
    double minutes = t.Second, seconds = t.Third;
    if (seconds == 0) {
        seconds = (minutes - std::trunc(minutes)) * 100 * 0.6;
        minutes = std::trunc(minutes);
    }
    return Format("%0.0f Degrees %0.0f Minutes %0.0f Seconds", t.First, minutes, seconds);
}

std::string RenderGPSTime(const std::string& text)
{
    Triple t = SplitTriple(text);
    return Format("%0.0f:%0.0f:%0.0f", t.First, t.Second, t.Third);
}

}  // namespace morvik
