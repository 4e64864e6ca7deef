// Renderers of the maker tables on texts of their own: the cases the walk tests leave out.
#include "makernotes/MakerNotes.h"
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

TEST(MakerRenderersTest, CanonRecordsSkipMissingAndUnknownValues)
{
    CurrentImageInfo() = nullptr;  // no image: lines only, no named entries
    MultiLineFlag() = false;
    EXPECT_EQ(RenderCanonSettings("10, 1"), "\r\nMacro mode = Macro\r\nSelf Timer =  1");
    EXPECT_TRUE(MultiLineFlag());
    EXPECT_EQ(RenderCanonSettings(""), "");
    // Contrast 2 is not in its list; 65535 is Low.
    EXPECT_EQ(RenderCanonSettings("0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2")
                  .find("Contrast"), std::string::npos);

    MultiLineFlag() = false;
    // Non-integers, function 0 and functions above 15 give no line; the last value is
    // never examined.
    EXPECT_EQ(RenderCanonCustom("257, abc, 4097, 1.5, 0, 3840, 513"),
              "\r\nNoise Reduction =  On\r\nShutter Release w/o CF Card = Enable");
    EXPECT_TRUE(MultiLineFlag());
    EXPECT_EQ(RenderCanonCustom("257"), "");
    EXPECT_EQ(RenderCanonCustom("1799, 0"), "");  // setting 7 of function 7: not in its list
}

TEST(MakerRenderersTest, CanonNamedEntriesGoToTheCurrentImage)
{
    TImageInfo info(nullptr, 255);
    CurrentImageInfo() = &info;
    RenderCanonShotInfo("0, 0, 0, 0, 0, 0, 0, 6, 12");
    CurrentImageInfo() = nullptr;
    ASSERT_EQ(info.TagList.size(), 2u);
    EXPECT_EQ(info.TagList[0].TagName, "White balance");
    EXPECT_EQ(info.TagList[0].ValueText, "Custom");
    EXPECT_EQ(info.TagList[1].TagName, "Sequence Number");
    EXPECT_EQ(info.TagList[1].ValueText, " 12");
    EXPECT_EQ(info.TagList[1].FieldType, 2);
}

}  // namespace
