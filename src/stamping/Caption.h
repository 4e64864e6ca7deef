#pragma once
// The caption: the stamp's text with the photo's own facts filled in.
//
// The own text may name fields in braces — {date}, {date:MASK}, {make}, {model}, {lens},
// {exposure}, {fnumber}, {iso}, {focal}, {focal35}, {gps}, {name}, {folder} — filled from
// the photo each stamp is made for. A field the photo does not have gives empty text, and
// a line that holds fields and is left blank by them is dropped. A name in braces that is
// no field, and a brace without its partner, stay as typed. The two characters "\n" start
// a new line; the drawing sets the lines one under the other.
#include "platform/DateTime.h"
#include "stamping/StampRequest.h"  // StampDateRule

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace morvik {

class PhotoMetadata;

// What a caption can tell of one photo, as UTF-8 text ready to print; empty where the
// photo does not say.
struct CaptionFacts {
    TDateTime Date = 0;     // the photo's date, as it dates the photo
    std::string Make;       // "Canon"
    std::string Model;      // "Canon EOS 40D"
    std::string Lens;       // "EF-S 17-85mm f/4-5.6 IS USM"
    std::string Exposure;   // "1/250 s", "2 s"
    std::string FNumber;    // "f/2.8"
    std::string Iso;        // "400"
    std::string Focal;      // "35 mm"
    std::string Focal35;    // "52 mm"
    std::string Gps;        // "55.7558° N, 37.6173° E"
    std::string Name;       // the file's name without its extension
    std::string Folder;     // the name of the folder it lies in
};

// The field names, in the order the window lists them.
inline constexpr std::array<std::string_view, 13> CaptionFieldNames = {
    "date", "date:dd.mm.yyyy", "make", "model", "lens", "exposure", "fnumber", "iso", "focal", "focal35", "gps",
    "name", "folder"};

// The own text with its fields filled and its "\n" turned into line breaks; {date} is
// written with dateFormat.
std::string FillCaption(std::string_view text, const CaptionFacts& facts, std::string_view dateFormat);

// The text a stamp draws for a photo: in date mode dateText (its date as written with the
// rule's format), otherwise the rule's own text filled from the facts.
std::string CaptionText(const StampDateRule& rule, const std::string& dateText, const CaptionFacts& facts);

// The photo's facts as the metadata reader read them (`read`: it read the file), with the
// name and folder taken from its path and the date it is dated by. The one place a caption
// reads metadata.
CaptionFacts ReadCaptionFacts(const PhotoMetadata* reader, bool read, const std::string& path, TDateTime date);

}  // namespace morvik
