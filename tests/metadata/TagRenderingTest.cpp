// Tag tables, value rendering, the renderers' numbers and the tag-list operations.
#include "metadata/directory/ExifDirectory.h"
#include "metadata/directory/ReaderFailure.h"
#include "platform/FormatSettings.h"
#include "support/ExifBuilder.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace morvik {
namespace {

class Rendering : public ::testing::Test {
protected:
    test::ScopedFormatSettings english_;
    ExifDirectory little{ParseModeFull};
    test::ExifBuilder le{false};

    // The text the walk gives an entry of the main table.
    std::string Text(int tag, int type, const std::string& raw)
    {
        return little.EntryValueText(RowForTag(tag, DirectoryMain), raw, type, little.BigEndian);
    }
    std::string Rational(int64_t n, int64_t d) { return le.U32(static_cast<uint32_t>(n)) + le.U32(static_cast<uint32_t>(d)); }
};

TEST_F(Rendering, TablesHaveAllTheirRows)
{
    EXPECT_EQ(MainTableRow(0).TagName, "InteroperabilityIndex");
    EXPECT_EQ(MainTableRow(249).TagName, "ImageUniqueID");
    EXPECT_EQ(MainTableRow(250).TagName, "Unknown");
    EXPECT_EQ(MainTableRow(250).TagNo, 0);
    EXPECT_EQ(GpsTableRow(30).TagName, "GPSDifferential");
    EXPECT_EQ(RowForTag(0x0000, DirectoryMain).TagName, "Unknown");  // the sentinel is never matched
    EXPECT_EQ(RowForTag(0x0000, DirectoryGps).TagName, "GPSVersionID");
    EXPECT_EQ(RowForTag(0x0002, DirectoryGps).Renderer, &PlainRenderer<&RenderGPSCoordinate>);
    EXPECT_EQ(RowForTag(0x0002, static_cast<DirectoryKind>(3)).TagName, "Unknown");
    EXPECT_EQ(RowForTag(0x9209, DirectoryMain).Renderer, &PlainRenderer<&RenderFlash>);
    EXPECT_EQ(RowForTag(0x0112, DirectoryMain).ValueNames,
              "1:Normal,3:Rotated 180\xB0,6:CounterClockwise 90\xB0,8:Clockwise 90\xB0");
    EXPECT_EQ(TableIndexOfName("flashenergy"), TableIndexOfName("FlashEnergy"));
    EXPECT_EQ(MainTableRow(TableIndexOfName("FlashEnergy")).TagNo, 0x920B);  // the first of two
    EXPECT_EQ(MainTableRow(TableIndexOfName("FocalLengthIn35mmFilm")).TagNo, 0xA405);
    EXPECT_EQ(TableIndexOfName("Unknown"), -1);
    EXPECT_EQ(TableIndexOfName("NoSuchTag"), -1);
}

TEST_F(Rendering, DisplayNames)
{
    EXPECT_EQ(RowForTag(0x829A, DirectoryMain).DisplayName, "Exposure Time");
    EXPECT_EQ(RowForTag(0x8827, DirectoryMain).DisplayName, "ISOSpeed Ratings");
    EXPECT_EQ(RowForTag(0x0001, DirectoryGps).DisplayName, "GPSLatitude Ref");
    EXPECT_EQ(RowForTag(0xA405, DirectoryMain).DisplayName, "Focal Length in 35mm Film");
    EXPECT_EQ(RowForTag(0x83BB, DirectoryMain).DisplayName, "IPTC/NAA");
    EXPECT_EQ(RowForTag(0x9216, DirectoryMain).DisplayName, "TIFF/ EPStandard ID");  // '/' is not a capital
    EXPECT_EQ(RowForTag(0xA216, DirectoryMain).DisplayName, "TIFF/EPStandardID");
    EXPECT_EQ(MainTableRow(250).DisplayName, "Unknown");
}

TEST_F(Rendering, ValueNames)
{
    EXPECT_EQ(Text(0x0112, 3, le.U16(1)), "Normal");
    EXPECT_EQ(Text(0x0112, 3, le.U16(3)), "Rotated 180\xB0");
    EXPECT_EQ(Text(0x0112, 3, le.U16(2)), "");
    EXPECT_EQ(Text(0x0106, 3, le.U16(1)), "Monochrome");
    EXPECT_EQ(Text(0x0106, 3, le.U16(2)), "");  // the list has a blank after its commas
    EXPECT_EQ(NameForValue("0:Auto,1:Manual", " 1 "), "Manual");
    EXPECT_EQ(NameForValue("0:Auto,1:Manual", "11"), "");
    EXPECT_EQ(NameForValue("", "1"), "");
}

TEST_F(Rendering, NumbersAndTemplates)
{
    struct Case {
        int Tag, Type;
        std::string Raw, Text;
    } cases[] = {
        {0x829A, 5, Rational(1, 60), "1/60 sec"},
        {0x829D, 5, Rational(28, 10), "F2.8"},
        {0x920A, 5, Rational(58, 10), " 5.80 mm"},
        {0x011A, 5, Rational(72, 1), "72.00"},
        {0x9204, 10, Rational(-1, 3), "-1/3"},
        {0x9204, 5, Rational(5, 0), "5/0"},
        {0x829D, 5, Rational(5, 0), "F0.0"},
        {0x9203, 8, le.U16(0xFFFF), "65535"},
        {0x9203, 9, le.U32(0xFFFFFFFF), "-1"},
        {0x9203, 11, le.U32(0x3F800000) + le.U32(0), "-9999.99, -9999.99"},
        {0x9203, 12, std::string(8, '\0'), "-9999.99"},
        {0x9203, 0, "abc", "0"},
        {0x9203, 13, "abc", "0"},
        {0x010E, 2, std::string("Canon\0\0\0", 8), "Canon.."},
        {0x010E, 2, std::string(80, 'x'), std::string(50, 'x')},
        {0x9000, 7, std::string("0220\0zz", 7), "\"0220\""},
        {0x9203, 3, "", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Text(c.Tag, c.Type, c.Raw), c.Text) << std::hex << c.Tag;
}

TEST_F(Rendering, DecimalSeparatorOfTheRegion)
{
    FormatSettings() = TFormatSettings::Russian();
    FormatSettings().DecimalSeparator = ',';
    EXPECT_EQ(Text(0x829D, 5, Rational(28, 10)), "F2,8");
    EXPECT_EQ(Text(0x920A, 5, Rational(58, 10)), " 5,80 mm");
}

TEST_F(Rendering, At128Elements)
{
    std::string raw;
    for (int i = 0; i < 200; ++i)
        raw += le.U16(static_cast<uint16_t>(i));
    const std::string text = RenderValue(raw, 3, false, "", "");
    EXPECT_EQ(std::count(text.begin(), text.end(), ','), 127);
    EXPECT_EQ(text.substr(text.size() - 5), ", 127");
}

TEST_F(Rendering, BytesToIntInBothOrders)
{
    EXPECT_EQ(BytesToInt("", false), 0);
    EXPECT_EQ(BytesToInt("\x01\x02", false), 0x0201);
    EXPECT_EQ(BytesToInt("\x01\x02", true), 0x0102);
    EXPECT_EQ(BytesToInt(std::string("\x00\x00\x00\x80", 4), false), INT32_MIN);
    EXPECT_EQ(BytesToInt("\x01\x02\x03\x04\x05\x06", true), 0x03040506);
    EXPECT_EQ(BytesToInt("\x01\x02\x03\x04\x05\x06", false), 0x04030201);
}

TEST_F(Rendering, NumericValue)
{
    EXPECT_EQ(little.NumericValue(le.U16(1600), 3), 1600);
    EXPECT_EQ(little.NumericValue(le.U16(2) + le.U16(1), 3), 65538);  // the whole string
    EXPECT_DOUBLE_EQ(little.NumericValue(Rational(28, 10), 5), 2.8);
    EXPECT_DOUBLE_EQ(little.NumericValue(Rational(-1, 3), 10), -1.0 / 3);
    EXPECT_EQ(little.NumericValue(Rational(5, 0), 5), 0);
    EXPECT_EQ(little.NumericValue("1600", 2), 0);
    EXPECT_EQ(little.NumericValue("1600", 7), 0);
    EXPECT_FLOAT_EQ(static_cast<float>(little.NumericValue(le.U32(0x3FC00000), 11)), 1.5f);
}

TEST_F(Rendering, RenderersNumbers)
{
    struct Case {
        std::string (*Renderer)(const std::string&);
        std::string In, Out;
    } cases[] = {
        {RenderFlash, "25", "On, auto mode"},
        {RenderFlash, "15", "On, strobe return, forced"},
        {RenderFlash, "16", "Off, surpressed"},
        {RenderFlash, "65", "On, red-eye reduction"},
        {RenderFlash, "0", "Off"},
        {RenderFlash, "34", "Off, UNKNOWN, no flash function"},
        {RenderFlash, "5", "On, no strobe return"},
        {RenderShutterSpeed, "1/1", "0.5000 sec (1/2)"},
        {RenderShutterSpeed, "6/1", "0.0156 sec (1/64)"},
        {RenderShutterSpeed, "0/1", "1.0000 sec"},
        {RenderShutterSpeed, "-1/1", "2.0000 sec"},
        {RenderShutterSpeed, "1/0", "1.0000 sec"},
        {RenderGPSCoordinate, "55/1, 4530/100, 0/1", "55 Degrees 45 Minutes 18 Seconds"},
        {RenderGPSCoordinate, "55/1, 45/1, 30/1", "55 Degrees 45 Minutes 30 Seconds"},
        {RenderGPSCoordinate, "", "0 Degrees 0 Minutes 0 Seconds"},
        {RenderGPSTime, "14/1, 30/1, 15/1", "14:30:15"},
        {RenderGPSTime, "14/1", "14:0:0"},
        {RenderComponents, std::string("\"\x01\x02\x03\"", 5), "YCbCr"},
        {RenderComponents, std::string("\"\x04\x05\x06\x09", 5), "RGB"},
        {RenderComponents, "\"", ""},
        {RenderUserComment, "ASCII...hello", "hello"},
        {RenderUserComment, "short", ""},
        {RenderXPText, "84, 0, 101, 0, 115, 0, 116, 0", "Test"},
        {RenderXPText, "84, 0, 101", "T"},  // the field after the last comma is never read
        {RenderXPText, "", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.Renderer(c.In), c.Out) << c.In;
}

TEST_F(Rendering, StrictConversionsFailOutward)
{
    EXPECT_THROW(RenderFlash("1, 0"), ReaderFailure);
    EXPECT_THROW(RenderFlash("1/2"), ReaderFailure);
    EXPECT_THROW(RenderXPText("84x, 0"), ReaderFailure);
    EXPECT_EQ(RenderFlash(" 1"), "On");
}

TEST_F(Rendering, FractionValue)
{
    struct Case {
        const char* Text;
        double Value;
    } cases[] = {
        {"1/2", 0.5}, {" 3/4 ", 0.75}, {"1 1/2", 1.5}, {"-1/4", -0.25}, {"5/0", 0},
        {"12", 0}, {"a/2", 0}, {"1/b", 0}, {"x 1/2", 0}, {"", 0},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(FractionValue(c.Text), c.Value) << c.Text;
}

TEST_F(Rendering, DateTimeFromText)
{
    EXPECT_DOUBLE_EQ(DateTimeFromText("2005:07:14 12:30:45"), *TryEncodeDateTime(2005, 7, 14, 12, 30, 45));
    EXPECT_DOUBLE_EQ(DateTimeFromText("2005-07-14T12.30.45xyz"), *TryEncodeDateTime(2005, 7, 14, 12, 30, 45));
    for (const char* bad : {"0000:00:00 00:00:00", "                   ", "2005:07:14 12:30", "2005:13:14 12:30:45",
                            "2005:02:30 12:30:45", "2005:07:14 24:00:00", "abcd:07:14 12:30:45", ""})
        EXPECT_EQ(DateTimeFromText(bad), 0) << bad;
}

TEST_F(Rendering, RoundToIntTiesToEven)
{
    EXPECT_EQ(RoundToInt(2.5), 2);
    EXPECT_EQ(RoundToInt(3.5), 4);
    EXPECT_EQ(RoundToInt(-2.5), -2);
    EXPECT_EQ(RoundToInt(1e20), 0);
}

TEST_F(Rendering, TagListOperations)
{
    TagEntry make = RowForTag(0x010F, DirectoryMain);
    make.ValueText = "Canon";
    make.FieldType = 2;
    EXPECT_EQ(little.AppendTag(make), 0);
    EXPECT_EQ(little.AppendTag(RowForTag(0x7777, DirectoryMain)), 0);  // unknown: not stored
    TagEntry f = RowForTag(0x920A, DirectoryMain);
    f.FieldType = 5;
    f.RawBytes = Rational(58, 10);
    little.AppendTag(f);
    little.AddNamedTag(SharedText::Static("Lens"), "EF 50mm", 2);
    ASSERT_EQ(little.TagList.size(), 3u);
    EXPECT_EQ(little.TagList[2].Kind, 1);
    EXPECT_EQ(little.TagList[2].TagNo, 0);
    EXPECT_EQ(little.TagList[2].ByteCount, 7);
    EXPECT_EQ(little.IndexOfTag("MAKE"), 0);
    EXPECT_EQ(little.TagText("make"), "Canon");
    EXPECT_EQ(little.TagText("nothing"), "");
    EXPECT_EQ(little.TagEntryByName("nothing").TagNo, 0);
    EXPECT_EQ(little.TagEntryByName("nothing").TagName, "");
    EXPECT_DOUBLE_EQ(little.TagNumber("FocalLength"), 5.8);
    EXPECT_EQ(little.TagInteger("FocalLength"), 6);
    EXPECT_EQ(little.TagNumber("Lens"), 0);  // added by name: counts 0
    EXPECT_EQ(little.TagText("Lens"), "EF 50mm");

    ExifDirectory listingOnly(ParseModeListing);
    listingOnly.AddNamedTag(SharedText::Static("Lens"), "EF 50mm", 2);
    EXPECT_TRUE(listingOnly.TagList.empty());
}

TEST_F(Rendering, EquivalentFocalLength)
{
    auto add = [&](ExifDirectory& info, int tag, int type, const std::string& raw) {
        TagEntry e = RowForTag(tag, DirectoryMain);
        e.FieldType = static_cast<uint16_t>(type);
        e.RawBytes = raw;
        info.AppendTag(e);
    };
    // A 36 x 24 mm sensor: 3600 x 2400 pixels at 100 pixels per millimetre (unit 3, cm).
    ExifDirectory info(ParseModeFull);
    info.Width = 3600;
    info.Height = 2400;
    add(info, 0x920A, 5, Rational(50, 1));
    add(info, 0xA210, 3, le.U16(3));
    add(info, 0xA20E, 5, Rational(1000, 1));
    add(info, 0xA20F, 5, Rational(1000, 1));
    info.AddEquivalentFocalLength();
    EXPECT_EQ(info.TagText("FocalLengthin35mmFilm"), "50.00");
    const TagEntry e = info.TagEntryByName("FocalLengthIn35mmFilm");
    EXPECT_EQ(e.TagNo, 0xA405);
    EXPECT_EQ(e.FieldType, 10);
    EXPECT_EQ(e.Template, "%s mm");
    EXPECT_EQ(info.ListingText, "\r\nFocal Length in 35mm Film = 50.00");
    const size_t before = info.TagList.size();
    info.AddEquivalentFocalLength();
    EXPECT_EQ(info.TagList.size(), before);

    // Falls back to ResolutionUnit (inches); nothing without a focal length or resolution.
    ExifDirectory inches(ParseModeFull);
    inches.Width = 3600;
    inches.Height = 2400;
    add(inches, 0x920A, 5, Rational(50, 1));
    add(inches, 0x0128, 3, le.U16(2));
    add(inches, 0xA20E, 5, Rational(2540, 1));
    add(inches, 0xA20F, 5, Rational(2540, 1));
    inches.AddEquivalentFocalLength();
    EXPECT_EQ(inches.TagText("FocalLengthin35mmFilm"), "50.00");

    ExifDirectory none(ParseModeFull);
    none.Width = 3600;
    add(none, 0x920A, 5, Rational(50, 1));
    add(none, 0xA210, 3, le.U16(3));
    none.AddEquivalentFocalLength();
    EXPECT_EQ(none.IndexOfTag("FocalLengthin35mmFilm"), -1);
}

}  // namespace
}  // namespace morvik
