#include "platform/Convert.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/FormatSettings.h"
#include "platform/Text1251.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

using namespace morvik;

class FormatTest : public ::testing::Test {
protected:
    test::ScopedFormatSettings english_;
};

TEST_F(FormatTest, TemplatesFollowPrintfWithTheLocaleDecimalSeparator)
{
    EXPECT_EQ(Format("%5.2f", 5.8), " 5.80");
    EXPECT_EQ(Format("F%0.1f", 2.8), "F2.8");
    EXPECT_EQ(Format("%5.2f mm", 5.8), " 5.80 mm");
    EXPECT_EQ(Format("%0.0f", 2.5), "2");  // C rounding: ties to even on the binary value
    EXPECT_EQ(Format("%s sec", std::string("1/60")), "1/60 sec");
    EXPECT_EQ(Format("%d/%d", 5, 0), "5/0");
    EXPECT_EQ(Format("%d%%", 42), "42%");
    FormatSettings().DecimalSeparator = ',';
    EXPECT_EQ(Format("%4.4f sec", 0.015625), "0,0156 sec");
    EXPECT_EQ(Format("%d", 1234), "1234");
}

// Plain "%W.Pf" conversions take a path of their own; it must write what printf writes,
// ties and signs included.
TEST_F(FormatTest, PlainFixedConversionsMatchPrintf)
{
    const char* conversions[] = {"%f",   "%.0f",  "%.f",   "%5.2f", "%8.3f", "%1.4f",
                                 "%12.f", "%99.1f", "%.17f", "%4.4f", "%0.1f", "%0.0f", "%0f", "%08.2f"};
    const double values[] = {0.0, -0.0, 0.5, 1.5, 2.5, -2.5, 0.125, 0.375, 2.675, 1.005, 5.8, 72.0,
                             -3.14159, 1e-10, 123456789.987654321, 1e20, -1e300, 4.35, 0.045};
    for (const char* conversion : conversions) {
        for (double v : values) {
            char expected[512];
            std::snprintf(expected, sizeof expected, conversion, v);
            EXPECT_EQ(Format(conversion, v), expected) << conversion << " of " << v;
        }
    }
    FormatSettings().DecimalSeparator = ',';
    EXPECT_EQ(Format("%5.2f mm", 5.8), " 5,80 mm");
    EXPECT_EQ(Format("%+5.2f|%05.1f|%-6.1f|", 5.8, 2.25, 1.0), "+5,80|002,2|1,0   |");  // flags: printf itself
}

// The fixed conversions are rounded in integer arithmetic where the value allows: over
// values of every size and precisions 0 to 9 (and beyond, where printf's own digits are
// taken) the text must be printf's, with text around the conversion as the tables have it.
TEST_F(FormatTest, FixedConversionsMatchPrintfOverManyValues)
{
    std::mt19937_64 random(20261208);
    std::vector<double> values = {0.5, 1.5, 0.25, 0.125, 1e-5, 5e-6, 0.0000005, 9007199254740991.0,
                                  9007199254740992.0, 4503599627370495.5, 1e18, 123456789.125, 4.5e-10,
                                  std::ldexp(1.0, -1074), std::ldexp(1.0, -75), std::ldexp(1.0, -74)};
    for (int i = 0; i < 6000; ++i) {
        // Random bit patterns cover every exponent; quotients of small integers are the
        // rationals cameras write; halves and their neighbours sit on the ties.
        double v;
        const uint64_t bits = random();
        std::memcpy(&v, &bits, sizeof v);
        if (std::isfinite(v))
            values.push_back(v);
        const double q = static_cast<double>(random() % 100000) / static_cast<double>(1 + random() % 1000);
        values.push_back(q);
        values.push_back(-q);
        const double tie = static_cast<double>(random() % 2000001) / 2000.0;
        values.push_back(tie);
        values.push_back(std::nextafter(tie, 0.0));
        values.push_back(std::nextafter(tie, 1e9));
    }
    char expected[512];
    for (double v : values) {
        for (int precision = 0; precision <= 11; ++precision) {
            const std::string conversion = "%" + std::to_string(precision % 7) + "." + std::to_string(precision) + "f";
            std::snprintf(expected, sizeof expected, conversion.c_str(), v);
            ASSERT_EQ(Format(conversion, v), expected) << conversion << " of " << v;
        }
        std::snprintf(expected, sizeof expected, "F%0.1f", v);
        ASSERT_EQ(Format("F%0.1f", v), expected) << v;
        std::snprintf(expected, sizeof expected, "%5.2f mm", v);
        ASSERT_EQ(Format("%5.2f mm", v), expected) << v;
    }
    FormatSettings().DecimalSeparator = ',';
    EXPECT_EQ(Format("F%0.1f", 2.25), "F2,2");
    EXPECT_EQ(Format("%% %5.2f", 2.0), "%  2,00");  // "%%" is no conversion: the general path
}

// Conversions without flags, width or precision skip printf; they must write what it writes.
TEST_F(FormatTest, PlainIntegerAndTextConversionsMatchPrintf)
{
    const int64_t values[] = {0, 7, -7, 1234567, INT64_MAX, INT64_MIN, -1};
    for (int64_t v : values) {
        for (const char* conversion : {"%d", "%i", "%u", "%x", "%5d"}) {
            std::string spelled = conversion;
            spelled.insert(spelled.size() - 1, "ll");
            if (spelled.back() == 'i')
                spelled.back() = 'd';
            char expected[64];
            std::snprintf(expected, sizeof expected, spelled.c_str(), static_cast<long long>(v));
            EXPECT_EQ(Format(conversion, v), expected) << conversion << " of " << v;
        }
    }
    EXPECT_EQ(Format("%d", 2.9), "2");  // a double is truncated
    EXPECT_EQ(Format("%s|%s", std::string("a\0b", 3), int64_t{-5}), "a|-5");  // text ends at a NUL
    EXPECT_EQ(Format("[%4s]", std::string("ab")), "[  ab]");
    EXPECT_EQ(Format("%d and %d", 1), "1 and %d");  // a missing argument is written as it stands
}

TEST_F(FormatTest, ThousandsUseTheLocaleSeparator)
{
    FormatSettings().ThousandSeparator = ",";
    EXPECT_EQ(FormatThousands(0), "0");
    EXPECT_EQ(FormatThousands(999), "999");
    EXPECT_EQ(FormatThousands(1234567), "1,234,567");
    FormatSettings().ThousandSeparator = " ";
    EXPECT_EQ(FormatThousands(16384000), "16 384 000");
}

TEST(Convert, StrictIntegerConversion)
{
    struct Case { const char* text; std::optional<int32_t> value; };
    const Case cases[] = {
        {"101", 101}, {" 101", 101}, {"-5", -5}, {"+7", 7}, {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN}, {"2147483648", std::nullopt}, {"1, 0", std::nullopt},
        {"", std::nullopt}, {" ", std::nullopt}, {"12 ", std::nullopt}, {"1/2", std::nullopt},
        {"-", std::nullopt}, {"0x10", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TryStrToInt(c.text), c.value) << '"' << c.text << '"';
}

// ASCII letters alone change case: UTF-8 and Windows-1251 bytes stay, so "Я" matches only itself.
TEST(Convert, AsciiCaseFolding)
{
    struct Case { std::string_view a, b; bool equal, aStartsWithB, aEndsWithB; };
    const Case cases[] = {
        {"IMG_0001.JPG", ".jpg", false, false, true}, {"photo.HeIc", ".heic", false, false, true},
        {"a.jpg", "a.jpgx", false, false, false},      {"SKIP", "skip", true, true, true},
        {"AM/PM", "am/pm", true, true, true},          {"Я", "я", false, false, false},
        {"\xC0", "\xE0", false, false, false},         {"[", "{", false, false, false},
        {"", "", true, true, true},                    {"abc", "", false, true, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AsciiEqualNoCase(c.a, c.b), c.equal) << c.a << " " << c.b;
        EXPECT_EQ(AsciiEqualNoCase(c.b, c.a), c.equal) << c.a << " " << c.b;
        EXPECT_EQ(AsciiStartsWithNoCase(c.a, c.b), c.aStartsWithB) << c.a << " " << c.b;
        EXPECT_EQ(AsciiEndsWithNoCase(c.a, c.b), c.aEndsWithB) << c.a << " " << c.b;
    }
    EXPECT_EQ(AsciiLower("Zürich @[AZ]"), "zürich @[az]");
    EXPECT_EQ(AsciiUpper("Zürich `{az}"), "ZüRICH `{AZ}");
}

TEST(Convert, CrLfLinesSkipEmptyOnesAndKeepLoneBreaks)
{
    struct Case { std::string_view text; std::vector<std::string_view> lines; };
    const Case cases[] = {
        {"", {}},
        {"\r\n\r\n", {}},
        {"\r\nMake = Canon\r\nModel", {"Make = Canon", "Model"}},
        {"a\rb\r\r\nc\r", {"a\rb\r", "c\r"}},
        {"\n\r x \n", {"\n\r x \n"}},
        {"one\r\n", {"one"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string_view> lines;
        ForEachCrLfLine(c.text, [&](std::string_view line) { lines.push_back(line); });
        EXPECT_EQ(lines, c.lines) << c.text;
    }
}

TEST(Text1251, RoundTripsCyrillicAndDegreeSign)
{
    const std::string cp = "\xC7\xE0\xED\xFF\xEB\xEE \xB0";  // "Заняло °"
    EXPECT_EQ(Cp1251ToUtf8(cp), "Заняло °");
    EXPECT_EQ(Utf8ToCp1251("Заняло °"), cp);
    EXPECT_EQ(Utf8ToCp1251("日"), "?");
}

// ASCII runs are copied in bulk; the result must match a byte-by-byte conversion on any
// mix of plain bytes, code-page letters, the unused byte 0x98, NULs and run boundaries.
TEST(Text1251, RunsOfPlainBytesConvertLikeSingleBytes)
{
    auto byteByByte = [](std::string_view bytes) {
        std::string out;
        for (char c : bytes)
            out += Cp1251ToUtf8(std::string_view(&c, 1));
        return out;
    };
    const std::string cases[] = {
        "",
        "Canon EOS 40D",
        "\xC7\xE0\xED",
        "ISO \xB0 100",
        "\xC7" "abc",
        "abc" "\xFF",
        std::string("a\0b\x98" "c\x80\x7F\x81", 8),
        "abcdefgh\xC7" "ijklmnopqrstuvw",            // a letter just after a whole word
        "0123456\xFF" "89abcdefghijklmnop\xE0",      // in the middle and at the end of words
        "\xC0\xC1\xC2\xC3\xC4\xC5\xC6\xC7\xC8" "ABCDEFGHIJ",
        "\x98\x98" "  \x88",
    };
    for (const std::string& c : cases) {
        EXPECT_EQ(Cp1251ToUtf8(c), byteByByte(c)) << c;
        std::string appended = "prefix ";
        AppendCp1251ToUtf8(appended, c);
        EXPECT_EQ(appended, "prefix " + byteByByte(c)) << c;
    }
    EXPECT_EQ(Cp1251ToUtf8("\x98"), "\xEF\xBF\xBD");  // unused byte: replacement character
    EXPECT_EQ(Cp1251ToUtf8("a\x88z"), "a\xE2\x82\xAC" "z");  // euro sign between ASCII
}

// The listing lines: CR LF separates, empty lines vanish, a lone CR stays in its line, and
// the text converts like the plain conversion however the fast runs fall.
TEST(Text1251, ListingLinesConvertLikeTheirParts)
{
    struct Case {
        std::string Text;
        std::string_view Indent;
        std::string Expected;
        size_t Lines;
    };
    const Case cases[] = {
        {"", "  ", "", 0},
        {"\r\n\r\n", "  ", "", 0},
        {"\r\nMake = Canon\r\nModel = EOS", "  ", "  Make = Canon\n  Model = EOS\n", 2},
        {"a\rb\r\r\nc\r", "", "a\rb\r\nc\r\n", 2},
        {"Lens = \xC7\xE0\xED\x98 and twelve plain bytes\r\n", "    ",
         "    Lens = Зан\xEF\xBF\xBD and twelve plain bytes\n", 1},
        {"0123456789abcdef\r\n0123456\r\n\xFF", "\t\t\t\t\t\t", "\t\t\t\t\t\t0123456789abcdef\n\t\t\t\t\t\t0123456\n\t\t\t\t\t\tя\n", 3},
        {"\r\n\r\n\r\n\r\nx", "\t\t\t\t\t\t\t\t\t", "\t\t\t\t\t\t\t\t\tx\n", 1},
    };
    for (const Case& c : cases) {
        std::string out = "head|";
        EXPECT_EQ(AppendCp1251LinesToUtf8(out, c.Text, c.Indent), c.Lines) << c.Text;
        EXPECT_EQ(out, "head|" + c.Expected) << c.Text;
    }
    // Every cut of a mixed text against the line-by-line conversion.
    const std::string mixed = "\r\nA = 1\r\nLong plain line of text, more than eight\r\n\xC0\xC1 \r x\r\n\r\nend";
    for (size_t cut = 0; cut <= mixed.size(); ++cut) {
        const std::string_view text = std::string_view(mixed).substr(cut);
        std::string expected;
        size_t lines = 0, start = 0;
        while (start <= text.size()) {
            size_t end = text.find("\r\n", start);
            if (end == std::string_view::npos)
                end = text.size();
            if (end > start) {
                expected += "  " + Cp1251ToUtf8(text.substr(start, end - start)) + "\n";
                ++lines;
            }
            start = end + 2;
        }
        std::string out;
        EXPECT_EQ(AppendCp1251LinesToUtf8(out, text, "  "), lines) << cut;
        EXPECT_EQ(out, expected) << cut;
    }
}
