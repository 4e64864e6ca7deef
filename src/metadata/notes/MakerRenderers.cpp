// Renderers of the maker tables: the Nikon lens range and colour mode, and the three
// Canon records, which list their fields as lines and add each as a named entry.
#include "metadata/notes/MakerNote.h"

#include "platform/Convert.h"
#include "platform/Format.h"

#include <string>
#include <string_view>
#include <vector>

namespace morvik {

namespace {

constexpr const char* kCrLf = "\r\n";

// The parts of a text between separators, as views into it.
std::vector<std::string_view> SplitAt(std::string_view text, std::string_view separator)
{
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        if (at == std::string_view::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, at - start));
        start = at + separator.size();
    }
}

// Value k (from 1) of a comma list as it lies in the text, leading blank included;
// empty when the list is shorter.
std::string_view ValueAt(const std::vector<std::string_view>& values, int k)
{
    return k >= 1 && k <= static_cast<int>(values.size()) ? values[static_cast<size_t>(k - 1)] : std::string_view();
}

// One line of a Canon record: none for an empty result, else CR LF, label, " = " and the
// result as given; the result also becomes a named entry of the image being decoded. The
// labels are the renderers' own constant texts.
void AddRecordLine(std::string& lines, const char* label, std::string_view result, RenderContext& context)
{
    if (Trim(result).empty())
        return;
    lines += kCrLf;
    lines += label;
    lines += " = ";
    lines += result;
    if (ExifDirectory* info = context.NamedEntries)
        info->AddNamedTag(SharedText::Static(label), result, FieldTypeAscii);
}

// A line of a Canon record: a field of the number list, plain (as it lies) or named
// (looked up in its value names).
struct RecordLine {
    const char* Label;
    int Value;
    const char* ValueNames;  // nullptr: a plain line
};

std::string RenderRecord(const std::string& text, const RecordLine* begin, const RecordLine* end, RenderContext& context)
{
    context.MultiLine = true;
    const std::vector<std::string_view> values = SplitAt(text, ",");
    std::string lines;
    for (const RecordLine* line = begin; line != end; ++line) {
        const std::string_view value = ValueAt(values, line->Value);
        if (!line->ValueNames)
            AddRecordLine(lines, line->Label, value, context);
        else if (line->Value > static_cast<int>(values.size()))
            AddRecordLine(lines, line->Label, "0", context);  // a named line whose value is missing fails: "0"
        else
            AddRecordLine(lines, line->Label, NameInList(line->ValueNames, Trim(value)), context);
    }
    return lines;
}

constexpr const char* kLowNormalHigh = "65535:Low,0:Normal,1:High";

constexpr RecordLine kCanonSettings[] = {
    {"Macro mode", 2, "1:Macro,2:Normal"},
    {"Self Timer", 2, nullptr},
    {"Compression Rate", 4, "0:SuperFine,1:Fine,2:Normal,3:Basic,5:SuperFine"},
    {"Flash Mode", 5,
     "0:Not fired,1:Auto,2:On,3:Red-eye,4:Slow sync,5:Auto+red-eye,6:On+red eye,16:External flash"},
    {"Drive Mode", 6, "0:Single,1:Continuous"},
    {"Focus Mode", 8, "0:One-Shot,1:AI Servo,2:AI Focus,3:MF,4:Single,5:Continuous,6:MF"},
    {"Image Size", 11, "0:Large,1:Medium,2:Small,4:5MPixel,5:2 MPixel,6:1.5 MPixel"},
    {"Easy Shoot", 12,
     "0:Full Auto,1:Manual,2:Landscape,3:Fast Shutter,4:Slow Shutter,5:Night,6:B&W,7:Sepia,8:Portrait,"
     "9:Sports,10:Macro/Close-Up,11:Pan Focus"},
    {"Contrast", 14, kLowNormalHigh},
    {"Saturation", 15, kLowNormalHigh},
    {"Sharpness", 16, kLowNormalHigh},
    {"CCD ISO", 17, "0:Not used,15:auto,16:50,17:100,18:200,19:400"},
    {"Metering Mode", 18, kLowNormalHigh},
    {"AF Point", 20, kLowNormalHigh},
    {"Exposure Mode", 21, kLowNormalHigh},
    {"Long focal", 24, nullptr},
    {"Short focal", 25, nullptr},
    {"Focal Units", 26, nullptr},
    {"Flash Details", 29, nullptr},
    {"Focus Mode", 33, kLowNormalHigh},
};

constexpr RecordLine kCanonShotInfo[] = {
    {"White balance", 8, "0:Auto,1:Sunny,2:Cloudy,3:Tungsten,4:Flourescent,5:Flash,6:Custom"},
    {"Sequence Number", 9, nullptr},
    {"OpticalZoom Step", 11, nullptr},
    {"AF point", 14, nullptr},
    {"Flash bias", 16,
     "65472:-2 EV,65484:-1.67 EV,65488:-1.50 EV,65492:-1.33 EV,65504:-1 EV,65516:-0.67 EV,"
     "65520:-0.50 EV,65524:-0.33 EV,0:0 EV,12:0.33 EV,16:0.50 EV,20:0.67 EV,32:1 EV,44:1.33 EV,"
     "48:1.50 EV,52:1.67 EV,64:2 EV"},
    {"Distance", 19, nullptr},
};

// Custom functions 1 to 15, by function number.
struct CustomFunction {
    const char* Label;
    const char* ValueNames;
};

constexpr CustomFunction kCanonCustom[] = {
    {"Noise Reduction", "0: Off,1: On"},
    {"Shutter AE Lock Button", "0:AF/AE lock,1:AE lock/AF,2:AF/AF lock,3:AE+release/AE+AF"},
    {"Mirror Lockup", "0:Disable,1:Enable"},
    {"Exposure Level", "0:1/2 stop,1:1/3 stop"},
    {"AF Assist", "0:On (auto),1:Off"},
    {"AV Shutter Speed", "0:Automatic,1: 1/200 (fixed)"},
    {"AEB Sequence", "0:0, -, + / Enabled1: 0, -, + / Disabled,2: -, 0, + / Enabled,3: -, 0, + / Disabled"},
    {"Shutter Sync", "0:1st-curtain sync,1: 2nd-curtain sync"},
    {"Lens AF Button", "0:AF stop,1:Operate AF,2:Lock AE and start timer"},
    {"Fill Flash Reduction", "0:Enable,1:Disable"},
    {"Menu Return", "0:Top,1:Previous (volatile),2:Previous"},
    {"Set Button", "0:Not assigned,1:Change quality,2:Change ISO speed,3:Select parameters"},
    {"Sensor Cleaning", "0:Disable,1:Enable"},
    {"Superimposed Display", "0: On,1: Off"},
    {"Shutter Release w/o CF Card", "0:Enable,1:Disable"},
};
static_assert(std::size(kCanonCustom) == 15);

}  // namespace

std::string RenderLensRange(const std::string& text)
{
    const std::vector<std::string_view> parts = SplitAt(text, ", ");
    double v[4] = {0, 0, 0, 0};
    for (size_t i = 0; i < 4 && i < parts.size(); ++i)
        v[i] = FractionValue(std::string(parts[i]));
    return Format("%0.1f-%0.1f(mm)  F%0.1f-F%0.1f", v[0], v[1], v[2], v[3]);
}

std::string RenderColorMode(const std::string& text)
{
    const std::string mode = text.size() > 1 ? text.substr(1, 5) : std::string();
    if (mode == "MODE1")
        return "Mode1 (sRGB)";
    if (mode == "MODE2")
        return "Mode 2 (Adobe RGB)";
    if (mode == "MODE3")
        return "Mode 3 (sRGB): higher saturation";
    return mode;
}

std::string RenderCanonSettings(const std::string& text, RenderContext& context)
{
    return RenderRecord(text, std::begin(kCanonSettings), std::end(kCanonSettings), context);
}

std::string RenderCanonShotInfo(const std::string& text, RenderContext& context)
{
    return RenderRecord(text, std::begin(kCanonShotInfo), std::end(kCanonShotInfo), context);
}

std::string RenderCanonCustom(const std::string& text, RenderContext& context)
{
    context.MultiLine = true;
    const std::vector<std::string_view> values = SplitAt(text, ",");
    // The field after the last comma is never examined.
    std::string lines;
    for (size_t k = 0; k + 1 < values.size(); ++k) {
        const std::optional<int32_t> v = TryStrToInt(values[k]);
        if (!v)
            continue;
        const int32_t function = *v / 256;
        const int32_t setting = *v % 256;
        if (function < 1 || function > 15)
            continue;
        const CustomFunction& f = kCanonCustom[function - 1];
        AddRecordLine(lines, f.Label, NameInList(f.ValueNames, std::to_string(setting)), context);
    }
    return lines;
}

}  // namespace morvik
