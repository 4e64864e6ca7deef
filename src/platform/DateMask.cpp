#include "platform/DateMask.h"

#include "platform/Convert.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace morvik {

namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool StartsAmPmSpecifier(std::string_view text)
{
    return AsciiStartsWithNoCase(text, "am/pm") || AsciiStartsWithNoCase(text, "a/p") ||
           AsciiStartsWithNoCase(text, "ampm");
}

// After an hour specifier: the hour is on the 12-hour clock when the first 'a' met
// outside quotes, before any further 'h', begins am/pm, a/p or ampm.
bool AmPmFollows(std::string_view mask, size_t from)
{
    char quote = 0;
    for (size_t p = from; p < mask.size(); ++p) {
        const char c = mask[p];
        if (quote != 0) {
            if (c == quote)
                quote = 0;
            continue;
        }
        if (c == '"' || c == '\'')
            quote = c;
        else if (c == 'a' || c == 'A')
            return StartsAmPmSpecifier(mask.substr(p));
        else if (c == 'h' || c == 'H')
            return false;
    }
    return false;
}

// Length of the run of the character at from.
size_t RunLength(std::string_view mask, size_t from)
{
    size_t end = from + 1;
    while (end < mask.size() && mask[end] == mask[from])
        ++end;
    return end - from;
}

template <size_t N>
const std::string& NameAt(const std::array<std::string, N>& names, int oneBasedIndex)
{
    static const std::string none;
    if (oneBasedIndex < 1 || oneBasedIndex > static_cast<int>(N))
        return none;
    return names[static_cast<size_t>(oneBasedIndex - 1)];
}

// Far outside the calendar's years (or not a number) a value has no fields: its
// milliseconds would not even fit a 64-bit count.
DateTimeFields FieldsOf(TDateTime value)
{
    if (!std::isfinite(value) || std::fabs(value) > 1e10)
        return {};
    return DecodeDateTime(value);
}

// Builds the text of one value; nested formats run through the same writer, so the
// depth limit and the length cut hold for the whole result.
class MaskWriter {
public:
    MaskWriter(TDateTime value, const TFormatSettings& settings)
        : fields_(FieldsOf(value)), settings_(settings)
    {
    }

    void AppendFormat(std::string_view mask);
    std::string Take() { return std::move(result_); }

private:
    void Append(std::string_view text);
    void AppendNumber(int64_t number, size_t digits);

    DateTimeFields fields_;
    const TFormatSettings& settings_;
    std::string result_;
    size_t chars_ = 0;
    bool full_ = false;
    int level_ = 0;
};

// Appends text until the result holds DateMaskMaxLength characters; a UTF-8 sequence
// is never split, since only its lead byte counts as a character.
void MaskWriter::Append(std::string_view text)
{
    for (const char c : text) {
        if (full_)
            return;
        const bool continuation = (static_cast<unsigned char>(c) & 0xC0) == 0x80;
        if (!continuation) {
            if (chars_ == DateMaskMaxLength) {
                full_ = true;
                return;
            }
            ++chars_;
        }
        result_ += c;
    }
}

void MaskWriter::AppendNumber(int64_t number, size_t digits)
{
    std::string text = std::to_string(number < 0 ? -number : number);
    if (text.size() < digits)
        text.insert(0, digits - text.size(), '0');
    if (number < 0)
        text.insert(0, 1, '-');
    Append(text);
}

void MaskWriter::AppendFormat(std::string_view mask)
{
    if (level_ >= 2)
        return;
    ++level_;
    char lastToken = ' ';
    bool use12HourClock = false;
    const DateTimeFields& f = fields_;
    size_t i = 0;
    while (i < mask.size() && !full_) {
        const char starter = mask[i++];
        char token = AsciiUpper(starter);
        if (IsAsciiLetter(token)) {
            // "m" and "mm" right after an hour are its minutes; "mmm" and longer runs
            // stay month names.
            if (token == 'M' && lastToken == 'H' && RunLength(mask, i - 1) <= 2)
                token = 'N';
            lastToken = token;
        }
        // Length of the run of starter that begins at i - 1; moves i past it.
        auto takeRun = [&]() -> size_t {
            const size_t count = RunLength(mask, i - 1);
            i += count - 1;
            return count;
        };
        switch (token) {
        case 'Y':
            if (takeRun() <= 2)
                AppendNumber(f.Year % 100, 2);
            else
                AppendNumber(f.Year, 4);
            break;
        case 'E': {
            // No alternative calendar: the era year is the Gregorian one.
            const size_t count = takeRun();
            if (count == 1)
                AppendNumber(f.Year % 100, 1);
            else if (count == 2)
                AppendNumber(f.Year % 100, 2);
            else
                AppendNumber(f.Year, 4);
            break;
        }
        case 'G':
            takeRun();  // the Gregorian calendar has no era name
            break;
        case 'M': {
            const size_t count = takeRun();
            if (count <= 2)
                AppendNumber(f.Month, count);
            else if (count == 3)
                Append(NameAt(settings_.ShortMonthNames, f.Month));
            else
                Append(NameAt(settings_.LongMonthNames, f.Month));
            break;
        }
        case 'D': {
            const size_t count = takeRun();
            if (count <= 2)
                AppendNumber(f.Day, count);
            else if (count == 3)
                Append(NameAt(settings_.ShortDayNames, f.DayOfWeek));
            else if (count == 4)
                Append(NameAt(settings_.LongDayNames, f.DayOfWeek));
            else if (count == 5)
                AppendFormat(settings_.ShortDateFormat);
            else
                AppendFormat(settings_.LongDateFormat);
            break;
        }
        case 'H': {
            const size_t count = std::min<size_t>(takeRun(), 2);
            if (AmPmFollows(mask, i))
                use12HourClock = true;
            int hour = f.Hour;
            if (use12HourClock) {
                if (hour == 0)
                    hour = 12;
                else if (hour > 12)
                    hour -= 12;
            }
            AppendNumber(hour, count);
            break;
        }
        case 'N':
            AppendNumber(f.Minute, std::min<size_t>(takeRun(), 2));
            break;
        case 'S':
            AppendNumber(f.Second, std::min<size_t>(takeRun(), 2));
            break;
        case 'Z':
            AppendNumber(f.MilliSecond, std::min<size_t>(takeRun(), 3));
            break;
        case 'T':
            if (takeRun() == 1)
                AppendFormat(settings_.ShortTimeFormat);
            else
                AppendFormat(settings_.LongTimeFormat);
            break;
        case 'C':
            takeRun();
            AppendFormat(settings_.ShortDateFormat);
            if (f.Hour != 0 || f.Minute != 0 || f.Second != 0) {
                Append(" ");
                AppendFormat(settings_.LongTimeFormat);
            }
            break;
        case 'A': {
            const std::string_view rest = mask.substr(i - 1);
            const bool afternoon = f.Hour >= 12;
            if (AsciiStartsWithNoCase(rest, "am/pm")) {
                Append(rest.substr(afternoon ? 3 : 0, 2));
                i += 4;
                use12HourClock = true;
            } else if (AsciiStartsWithNoCase(rest, "a/p")) {
                Append(rest.substr(afternoon ? 2 : 0, 1));
                i += 2;
                use12HourClock = true;
            } else if (AsciiStartsWithNoCase(rest, "ampm")) {
                Append(afternoon ? settings_.TimePMString : settings_.TimeAMString);
                i += 3;
                use12HourClock = true;
            } else if (AsciiStartsWithNoCase(rest, "aaaa")) {
                Append(NameAt(settings_.LongDayNames, f.DayOfWeek));
                i += 3;
            } else if (AsciiStartsWithNoCase(rest, "aaa")) {
                Append(NameAt(settings_.ShortDayNames, f.DayOfWeek));
                i += 2;
            } else {
                Append(std::string_view(&starter, 1));
            }
            break;
        }
        case '/':
            Append(settings_.DateSeparator);
            break;
        case ':':
            Append(settings_.TimeSeparator);
            break;
        case '"':
        case '\'': {
            const size_t close = mask.find(starter, i);
            const size_t end = close == std::string_view::npos ? mask.size() : close;
            Append(mask.substr(i, end - i));
            i = close == std::string_view::npos ? mask.size() : close + 1;
            break;
        }
        default:
            Append(std::string_view(&starter, 1));
            break;
        }
    }
    --level_;
}

}  // namespace

std::string FormatDateTime(std::string_view mask, TDateTime value, const TFormatSettings& settings)
{
    MaskWriter writer(value, settings);
    writer.AppendFormat(mask);
    return writer.Take();
}

std::string FormatDateTime(std::string_view mask, TDateTime value)
{
    return FormatDateTime(mask, value, FormatSettings());
}

}  // namespace morvik
