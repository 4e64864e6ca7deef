// The short English report of a photo's metadata that the picture information shows.
#include "metadata/directory/ExifDirectory.h"
#include "metadata/file/PhotoMetadata.h"
#include "platform/DateMask.h"
#include "platform/FormatSettings.h"
#include "platform/Text1251.h"

#include <charconv>
#include <string>
#include <string_view>

namespace morvik {

namespace {

constexpr const char* kLineBreak = "\r\n";

// The file name without its folder path.
std::string BareFileName(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string PhotoMetadata::SummaryText() const
{
    if (ExifSection == nullptr || ExifInfo == nullptr)
        return {};
    const ExifDirectory& exif = *ExifInfo;
    // File names are UTF-8 on this system; the report is Windows-1251 like all metadata text.
    const std::string name = Utf8ToCp1251(BareFileName(FileName));
    std::string text;
    text.reserve(512);
    text += "File Name: ";
    text += name;
    text += kLineBreak;
    if (Outcome.End != ReadingEnd::Read) {
        text += "Exif Error: ";
        text += Outcome.Text;
        return text;
    }
    char number[16];
    auto appendNumber = [&text, &number](int32_t value) {
        text.append(number, static_cast<size_t>(std::to_chars(number, number + sizeof number, value).ptr - number));
    };
    text += "File Size: ";
    appendNumber(FileSize / 1024);
    text += "k";
    text += kLineBreak;
    text += "File Date: ";
    text += Utf8ToCp1251(FormatDateTime(FormatSettings().ShortDateFormat, FileDate));
    text += kLineBreak;
    text += "Photo Date: ";
    text += exif.DateTimeText;
    text += kLineBreak;
    text += "Make (Model): ";
    text += exif.CameraMake;
    text += " (";
    text += exif.CameraModel;
    text += ")";
    text += kLineBreak;
    text += "Dimensions: ";
    appendNumber(exif.Width);
    text += " x ";
    appendNumber(exif.Height);

    // The value text of the first tag of that name, or nothing.
    auto tagText = [&exif](const std::string& tagName) -> std::string_view {
        const int i = exif.IndexOfTag(tagName);
        return i < 0 ? std::string_view() : std::string_view(exif.TagList[static_cast<size_t>(i)].ValueText);
    };
    auto addLine = [&text](const char* label, std::string_view value) {
        if (value.empty())
            return;
        text += kLineBreak;
        text += label;
        text += value;
    };
    static const std::string kExposureTime = "ExposureTime", kShutterSpeedValue = "ShutterSpeedValue",
                             kFocalLength = "FocalLength", kFocalLength35 = "FocalLengthin35mmFilm",
                             kFNumber = "FNumber", kISOSpeedRatings = "ISOSpeedRatings";
    const std::string_view exposure = tagText(kExposureTime);
    addLine("Exposure Time: ", exposure.empty() ? tagText(kShutterSpeedValue) : exposure);
    addLine("Focal Length: ", tagText(kFocalLength));
    addLine("Focal Length (35mm): ", tagText(kFocalLength35));
    addLine("FNumber: ", tagText(kFNumber));
    addLine("ISO: ", tagText(kISOSpeedRatings));

    text += kLineBreak;
    text += "Flash: ";
    text += (exif.FlashValue & 1) ? "Yes" : "No";
    return text;
}

}  // namespace morvik
