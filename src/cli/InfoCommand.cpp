// morvik-cli info: what the metadata reader finds in each file, as text or as JSON.
#include "cli/Commands.h"
#include "cli/InfoJson.h"

#include "exif/ImgData.h"
#include "iptc/IPTCdata.h"
#include "platform/DateTime.h"
#include "platform/Format.h"
#include "platform/Text1251.h"

#include <cstdio>
#include <iostream>
#include <sstream>
#include <memory>
#include <string>
#include <vector>

namespace morvik::cli {

namespace {

// "YYYY-MM-DD HH:MM:SS" of the date at a recorded position; null when the tag was not
// met or its text is no date.
nlohmann::json DateAt(const TImageInfo* info, int32_t pos)
{
    if (info == nullptr || pos == 0)
        return nullptr;
    const TDateTime value = info->DateTimeAt(pos);
    if (value == 0)
        return nullptr;
    const DateTimeFields f = DecodeDateTime(value);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", f.Year, f.Month, f.Day, f.Hour, f.Minute,
                  f.Second);
    return std::string(buf);
}

// The walk's listing: CR LF separated lines, the first one empty.
std::vector<std::string> ListingLines(const std::string& listing)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= listing.size()) {
        size_t end = listing.find("\r\n", start);
        if (end == std::string::npos)
            end = listing.size();
        if (end > start)
            lines.push_back(Cp1251ToUtf8(std::string_view(listing).substr(start, end - start)));
        start = end + 2;
    }
    return lines;
}

// The IPTC datasets of the file's first APP13 section, read by a reader of our own so the
// file's reader is left as it was.
std::vector<TTagEntry> IptcEntries(const TimgData& data)
{
    std::vector<TTagEntry> entries;
    if (data.IptcSection == nullptr)
        return entries;
    TIPTCdata iptc(nullptr);
    iptc.ParseResource(data.IptcSection->Data);
    for (int i = 0; i < iptc.Count(); ++i)
        entries.push_back(iptc.EntryAt(i));
    return entries;
}

// The report's CR LF separated lines.
std::vector<std::string> ReportLines(const TimgData& data)
{
    return data.ExifInfo ? ListingLines(data.ExifInfo->SummaryText()) : std::vector<std::string>{};
}

void PrintText(std::ostream& out, const std::string& fileName, bool read, const TimgData& data)
{
    out << fileName << "\n";
    out << "  read: " << (read ? "yes" : "no") << "\n";
    out << "  error: " << Cp1251ToUtf8(data.ErrorText) << "\n";
    if (data.ExifInfo)
        for (const std::string& line : ListingLines(data.ExifInfo->ListingText))
            out << "  " << line << "\n";
    const std::vector<std::string> report = ReportLines(data);
    if (!report.empty()) {
        out << "  report:\n";
        for (const std::string& line : report)
            out << "    " << line << "\n";
    }
    if (data.ExifInfo) {
        const std::vector<std::string> maker = ListingLines(data.ExifInfo->MakerListingText);
        if (!maker.empty()) {
            out << "  maker note" << (data.ExifInfo->MakerDecoded ? "" : " (not decoded)") << ":\n";
            for (const std::string& line : maker)
                out << "    " << line << "\n";
        }
    }
    const std::vector<TTagEntry> iptc = IptcEntries(data);
    if (!iptc.empty()) {
        out << "  iptc:\n";
        for (const TTagEntry& e : iptc)
            out << "    " << Cp1251ToUtf8(e.DisplayName) << " = " << Cp1251ToUtf8(e.ValueText) << "\n";
    }
}

}  // namespace

nlohmann::json InfoJson(const std::string& fileName, bool read, const TimgData& data)
{
    const TImageInfo* info = data.ExifInfo.get();
    nlohmann::json j;
    j["file"] = fileName;
    j["read"] = read;
    j["error"] = Cp1251ToUtf8(data.ErrorText);
    j["has_exif"] = data.HasExif();
    j["make"] = info ? Cp1251ToUtf8(info->CameraMake) : "";
    j["model"] = info ? Cp1251ToUtf8(info->CameraModel) : "";
    j["date_time_text"] = info ? Cp1251ToUtf8(info->DateTimeText) : "";
    j["width"] = info ? info->Width : 0;
    j["height"] = info ? info->Height : 0;
    j["flash"] = info ? info->FlashValue : 0;
    j["dates"] = {
        {"DateTime", DateAt(info, info ? info->DateTimePos : 0)},
        {"DateTimeOriginal", DateAt(info, info ? info->DateTimeOriginalPos : 0)},
        {"DateTimeDigitized", DateAt(info, info ? info->DateTimeDigitizedPos : 0)},
    };
    nlohmann::json tags = nlohmann::json::array();
    if (info) {
        for (const TTagEntry& t : info->TagList) {
            tags.push_back({
                {"name", Cp1251ToUtf8(t.TagName)},
                {"display", Cp1251ToUtf8(t.DisplayName)},
                {"tag", t.TagNo},
                {"kind", t.Kind},
                {"type", t.FieldType},
                {"value", Cp1251ToUtf8(t.ValueText)},
                {"pos", t.ValuePos},
            });
        }
    }
    j["tags"] = std::move(tags);
    nlohmann::json listing = nlohmann::json::array();
    if (info)
        for (std::string& line : ListingLines(info->ListingText))
            listing.push_back(std::move(line));
    j["listing"] = std::move(listing);

    j["summary"] = info ? Cp1251ToUtf8(info->SummaryText()) : "";
    j["maker_decoded"] = info ? info->MakerDecoded : false;
    nlohmann::json makerListing = nlohmann::json::array();
    if (info)
        for (std::string& line : ListingLines(info->MakerListingText))
            makerListing.push_back(std::move(line));
    j["maker_listing"] = std::move(makerListing);
    nlohmann::json iptc = nlohmann::json::array();
    for (const TTagEntry& e : IptcEntries(data)) {
        iptc.push_back({
            {"name", Cp1251ToUtf8(e.TagName)},
            {"description", Cp1251ToUtf8(e.DisplayName)},
            {"record", e.RecordNo},
            {"dataset", e.TagNo},
            {"value", Cp1251ToUtf8(e.ValueText)},
        });
    }
    j["iptc"] = std::move(iptc);
    return j;
}

CommandRunner AddInfoCommand(CLI::App& app)
{
    struct Options {
        bool json = false;
        std::vector<std::string> files;
    };
    auto options = std::make_shared<Options>();
    CLI::App* sub = app.add_subcommand("info", "Show the metadata the reader finds in photo files");
    sub->add_flag("--json", options->json, "Write one JSON array, an object per file");
    sub->add_option("FILE", options->files, "JPEG or TIFF files")->required();
    return [options] {
        bool allRead = true;
        nlohmann::json all = nlohmann::json::array();
        std::string text;
        for (const std::string& file : options->files) {
            TimgData data(255);
            const bool read = data.ReadMetadata(file);
            allRead = allRead && read;
            if (options->json) {
                all.push_back(InfoJson(file, read, data));
            } else {
                std::ostringstream out;
                PrintText(out, file, read, data);
                std::cout << out.str();
            }
        }
        if (options->json)
            std::cout << all.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
        std::cout.flush();
        return allRead ? 0 : 1;
    };
}

}  // namespace morvik::cli
