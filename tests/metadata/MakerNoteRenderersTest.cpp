// Renderers of the maker tables on texts of their own: the cases the walk tests leave out.
#include "metadata/notes/MakerNote.h"
#include "platform/FormatSettings.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace morvik;

namespace {

TEST(MakerRenderersTest, NikonLensRangeAndColorMode)
{
    {
        test::ScopedFormatSettings english;
        EXPECT_EQ(RenderLensRange("180/10, 700/10, 35/10, 45/10"), "18.0-70.0(mm)  F3.5-F4.5");
        EXPECT_EQ(RenderLensRange("50/1, 50/1"), "50.0-50.0(mm)  F0.0-F0.0");  // missing parts count 0
        FormatSettings().DecimalSeparator = ',';
        EXPECT_EQ(RenderLensRange("180/10, 700/10, 35/10, 45/10"), "18,0-70,0(mm)  F3,5-F4,5");
    }

    const std::pair<const char*, const char*> modes[] = {
        {"\"MODE1\"", "Mode1 (sRGB)"},
        {"\"MODE2\"", "Mode 2 (Adobe RGB)"},
        {"\"MODE3a\"", "Mode 3 (sRGB): higher saturation"},
        {"\"COLOR\"", "COLOR"},
        {"\"sRGB\"", "sRGB\""},
        {"\"", ""},
        {"", ""},
    };
    for (auto [text, shown] : modes)
        EXPECT_EQ(RenderColorMode(text), shown) << text;
}

TEST(MakerRenderersTest, CanonRecordsSkipUnknownValuesAndGiveZeroForMissingOnes)
{
    ExifDirectory info(ParseModeFull);
    RenderContext context{&info};
    // Contrast 2 is not in its list: no line. A record of 19 values lacks values 20 and
    // up: their named lines fail and show 0, their plain lines are left out.
    std::string record = "2";
    for (int k = 2; k <= 19; ++k)
        record += k == 14 ? ", 2" : ", 0";
    const std::string lines = RenderCanonSettings(record, context);
    EXPECT_TRUE(context.MultiLine);
    EXPECT_EQ(lines.find("Contrast"), std::string::npos);
    const std::string tail = "\r\nMetering Mode = Normal\r\nAF Point = 0\r\nExposure Mode = 0\r\nFocus Mode = 0";
    EXPECT_EQ(lines.substr(lines.size() - std::min(lines.size(), tail.size())), tail);
    EXPECT_EQ(info.TagText("AF Point"), "0");

    RenderContext noEntries;
    // Non-integers, function 0 and functions above 15 give no line; the last value is
    // never examined.
    EXPECT_EQ(RenderCanonCustom("257, abc, 4097, 1.5, 0, 3840, 513", noEntries),
              "\r\nNoise Reduction =  On\r\nShutter Release w/o CF Card = Enable");
    EXPECT_TRUE(noEntries.MultiLine);
    EXPECT_EQ(RenderCanonCustom("257", noEntries), "");
    EXPECT_EQ(RenderCanonCustom("1799, 0", noEntries), "");  // setting 7 of function 7: not in its list
}

TEST(MakerRenderersTest, CanonNamedEntriesGoToTheCurrentImage)
{
    ExifDirectory info(ParseModeFull);
    RenderContext context{&info};
    RenderCanonShotInfo("0, 0, 0, 0, 0, 0, 0, 6, 12", context);
    ASSERT_EQ(info.TagList.size(), 3u);  // the missing flash bias (value 16) counts 0
    EXPECT_EQ(info.TagList[0].TagName, "White balance");
    EXPECT_EQ(info.TagList[0].ValueText, "Custom");
    EXPECT_EQ(info.TagList[1].TagName, "Sequence Number");
    EXPECT_EQ(info.TagList[1].ValueText, " 12");
    EXPECT_EQ(info.TagList[1].FieldType, 2);
    EXPECT_EQ(info.TagList[2].TagName, "Flash bias");
    EXPECT_EQ(info.TagList[2].ValueText, "0");
}

}  // namespace
