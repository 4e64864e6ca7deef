// The short English report of a photo's metadata that the picture information shows.
#include "exif/ImageInfo.h"
#include "exif/ImgData.h"
#include "platform/DateMask.h"
#include "platform/FormatSettings.h"
#include "platform/Text1251.h"

#include <string>

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

std::string TImageInfo::SummaryText() const
{
    if (Owner == nullptr || Owner->ExifSection == nullptr)
        return {};
    // File names are UTF-8 on this system; the report is Windows-1251 like all metadata text.
    const std::string name = Utf8ToCp1251(BareFileName(Owner->FileName));
    if (Owner->ErrorText != "<none>")
        return "File Name: " + name + kLineBreak + "Exif Error: " + Owner->ErrorText;

    std::string text = "File Name: " + name;
    text += kLineBreak;
    text += "File Size: " + std::to_string(Owner->FileSize / 1024) + "k";
    text += kLineBreak;
    text += "File Date: " + Utf8ToCp1251(FormatDateTime(FormatSettings().ShortDateFormat, Owner->FileDate));
    text += kLineBreak;
    text += "Photo Date: " + DateTimeText;
    text += kLineBreak;
    text += "Make (Model): " + CameraMake + " (" + CameraModel + ")";
    text += kLineBreak;
    text += "Dimensions: " + std::to_string(Width) + " x " + std::to_string(Height);

    auto addLine = [&text](const char* label, const std::string& value) {
        if (!value.empty())
            text += kLineBreak + std::string(label) + value;
    };
    const std::string exposure = TagText("ExposureTime");
    addLine("Exposure Time: ", exposure.empty() ? TagText("ShutterSpeedValue") : exposure);
    addLine("Focal Length: ", TagText("FocalLength"));
    addLine("Focal Length (35mm): ", TagText("FocalLengthin35mmFilm"));
    addLine("FNumber: ", TagText("FNumber"));
    addLine("ISO: ", TagText("ISOSpeedRatings"));

    text += kLineBreak;
    text += "Flash: ";
    text += (FlashValue & 1) ? "Yes" : "No";
    return text;
}

}  // namespace morvik
