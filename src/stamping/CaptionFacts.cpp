// The caption's facts of a photo, taken from what the metadata reader read: the one place
// the caption looks at metadata.
#include "metadata/directory/ExifDirectory.h"
#include "metadata/file/PhotoMetadata.h"
#include "platform/Text1251.h"
#include "stamping/Caption.h"

#include <cmath>
#include <charconv>
#include <filesystem>

namespace morvik {

namespace {

// Tag numbers of the EXIF directory (the same in every file).
constexpr uint16_t kExposureTime = 0x829A, kFNumber = 0x829D, kIso = 0x8827, kFocalLength = 0x920A,
                   kFocalLength35 = 0xA405;

// An entry of the EXIF or GPS directories by its name, or by its number outside the GPS
// directory (whose numbers repeat those of other directories).
const TagEntry* Entry(const ExifDirectory& info, std::string_view name, uint16_t tagNo = 0)
{
    for (const TagEntry& e : info.TagList) {
        if (e.Kind != TagKindDirectory)
            continue;
        if (e.TagName == name || (tagNo != 0 && e.TagNo == tagNo && !e.TagName.View().starts_with("GPS")))
            return &e;
    }
    return nullptr;
}

// The entry's first value as a number; 0 without one.
double ValueOf(const ExifDirectory& info, const TagEntry* e)
{
    if (!e)
        return 0;
    return e->RawBytes.empty() ? 0 : info.NumericValue(e->RawBytes, e->FieldType);
}

// A number with `decimals` digits after the point (or, general, that many significant
// digits), with a point whatever the locale.
std::string Number(double value, int decimals, std::chars_format style = std::chars_format::fixed)
{
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value, style, decimals).ptr;
    return std::string(text, end);
}

// A number with one decimal, the ".0" of a whole one left off: "2.8", "8".
std::string Short(double value)
{
    std::string text = Number(value, 1);
    if (text.ends_with(".0"))
        text.resize(text.size() - 2);
    return text;
}

std::string CleanText(std::string_view text)
{
    const size_t end = text.find_last_not_of(std::string_view(" \0", 2));
    return end == std::string_view::npos ? std::string() : Cp1251ToUtf8(text.substr(0, end + 1));
}

std::string ExposureText(double seconds)
{
    if (!(seconds > 0))
        return {};
    if (seconds < 1) {
        const double n = std::round(1 / seconds);
        if (std::abs(n * seconds - 1) < 0.02)
            return "1/" + Number(n, 0) + " s";
        return Number(seconds, 2, std::chars_format::general) + " s";
    }
    return Short(seconds) + " s";
}

// Degrees, minutes and seconds as three rationals; nothing without all three, nor when
// the degrees divide by zero: a receiver without a fix writes 0/0, which is no place.
std::optional<double> Degrees(const ExifDirectory& info, const TagEntry* e)
{
    if (!e || e->RawBytes.size() < 24 || (e->FieldType != FieldTypeRational && e->FieldType != FieldTypeSRational))
        return std::nullopt;
    if (info.NumericValue(e->RawBytes.substr(4, 4), FieldTypeLong) == 0)
        return std::nullopt;
    double parts[3];
    for (int k = 0; k < 3; ++k)
        parts[k] = info.NumericValue(e->RawBytes.substr(size_t(k) * 8, 8), e->FieldType);
    return parts[0] + parts[1] / 60 + parts[2] / 3600;
}

std::string GpsText(const ExifDirectory& info)
{
    const auto lat = Degrees(info, Entry(info, "GPSLatitude"));
    const auto lon = Degrees(info, Entry(info, "GPSLongitude"));
    if (!lat || !lon)
        return {};
    auto side = [&](const char* refName, char positive, char negative) {
        const TagEntry* ref = Entry(info, refName);
        const bool other = ref && !ref->RawBytes.empty() && (ref->RawBytes[0] == negative);
        return other ? negative : positive;
    };
    return Number(*lat, 4) + "° " + side("GPSLatitudeRef", 'N', 'S') + ", " + Number(*lon, 4) + "° " +
           side("GPSLongitudeRef", 'E', 'W');
}

}  // namespace

CaptionFacts ReadCaptionFacts(const PhotoMetadata* reader, bool read, const std::string& path, TDateTime date)
{
    CaptionFacts facts;
    facts.Date = date;
    const std::filesystem::path p(path);
    facts.Name = p.stem().string();
    facts.Folder = p.parent_path().filename().string();
    const ExifDirectory* info = read && reader ? reader->ExifInfo.get() : nullptr;
    if (!info)
        return facts;
    facts.Make = CleanText(info->CameraMake);
    facts.Model = CleanText(info->CameraModel);
    facts.Lens = CleanText(info->LensModel);
    facts.Exposure = ExposureText(ValueOf(*info, Entry(*info, "ExposureTime", kExposureTime)));
    if (const double f = ValueOf(*info, Entry(*info, "FNumber", kFNumber)); f > 0)
        facts.FNumber = "f/" + Short(f);
    if (const double iso = ValueOf(*info, Entry(*info, "ISOSpeedRatings", kIso)); iso > 0)
        facts.Iso = Number(iso, 0);
    if (const double focal = ValueOf(*info, Entry(*info, "FocalLength", kFocalLength)); focal > 0)
        facts.Focal = Short(focal) + " mm";
    // Only the camera's own: the reader's estimate from the focal plane's resolution goes
    // wrong on a photo scaled after it was taken.
    const TagEntry* focal35 = Entry(*info, "FocalLengthin35mmFilm", kFocalLength35);
    if (focal35 && !focal35->RawBytes.empty() && ValueOf(*info, focal35) > 0)
        facts.Focal35 = Number(ValueOf(*info, focal35), 0) + " mm";
    facts.Gps = GpsText(*info);
    return facts;
}

}  // namespace morvik
