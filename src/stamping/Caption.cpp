#include "stamping/Caption.h"

#include "platform/DateMask.h"

#include <vector>

namespace morvik {

namespace {

// The value of a field name, or nothing when the name is no field.
std::optional<std::string> FieldValue(std::string_view name, const CaptionFacts& facts, std::string_view dateFormat)
{
    if (name == "date")
        return FormatDateTime(dateFormat, facts.Date);
    if (name.starts_with("date:"))
        return FormatDateTime(name.substr(5), facts.Date);
    const std::pair<std::string_view, const std::string*> fields[] = {
        {"make", &facts.Make},       {"model", &facts.Model},     {"lens", &facts.Lens},
        {"exposure", &facts.Exposure}, {"fnumber", &facts.FNumber}, {"iso", &facts.Iso},
        {"focal", &facts.Focal},     {"focal35", &facts.Focal35}, {"gps", &facts.Gps},
        {"name", &facts.Name},       {"folder", &facts.Folder},
    };
    for (const auto& [key, value] : fields)
        if (name == key)
            return *value;
    return std::nullopt;
}

bool Blank(std::string_view line) { return line.find_first_not_of(" \t") == std::string_view::npos; }

}  // namespace

std::string FillCaption(std::string_view text, const CaptionFacts& facts, std::string_view dateFormat)
{
    struct Line {
        std::string Text;
        bool HasField = false;
    };
    std::vector<Line> lines(1);
    size_t i = 0;
    while (i < text.size()) {
        if (text.compare(i, 2, "\\n") == 0) {
            lines.emplace_back();
            i += 2;
            continue;
        }
        if (text[i] == '{') {
            const size_t close = text.find('}', i + 1);
            if (close != std::string_view::npos) {
                if (auto value = FieldValue(text.substr(i + 1, close - i - 1), facts, dateFormat)) {
                    // A value is one line: a break in it would split the caption's lines.
                    for (char c : *value)
                        lines.back().Text += c == '\n' || c == '\r' ? ' ' : c;
                    lines.back().HasField = true;
                    i = close + 1;
                    continue;
                }
            }
        }
        lines.back().Text += text[i++];
    }
    std::string filled;
    bool first = true;
    for (const Line& line : lines) {
        if (line.HasField && Blank(line.Text))
            continue;
        if (!first)
            filled += '\n';
        filled += line.Text;
        first = false;
    }
    return filled;
}

std::string CaptionText(const StampDateRule& rule, const std::string& dateText, const CaptionFacts& facts)
{
    if (rule.DateMode)
        return dateText;
    return FillCaption(rule.OwnText, facts, rule.Format);
}

}  // namespace morvik
