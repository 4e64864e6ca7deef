#include "platform/DateMask.h"
#include "platform/FormatSettings.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <string>

using namespace morvik;

namespace {

TDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    return TryEncodeDateTime(y, mo, d, h, mi, s, ms).value();
}

struct MaskCase {
    const char* mask;
    TDateTime value;
    const char* expected;
};

void ExpectAll(const TFormatSettings& settings, std::initializer_list<MaskCase> cases)
{
    for (const auto& c : cases)
        EXPECT_EQ(FormatDateTime(c.mask, c.value, settings), c.expected) << "mask \"" << c.mask << "\"";
}

// 15 August 2007 was a Wednesday.
const TDateTime kAugust15 = At(2007, 8, 15, 12, 30, 45);
const TDateTime kMorning = At(2007, 8, 15, 9, 5, 3, 7);
const TDateTime kEvening = At(2007, 8, 15, 21, 4, 0);
const TDateTime kMidnight = At(2007, 8, 15);
const TDateTime kAfterMidnight = At(2007, 8, 15, 0, 15, 0);

}  // namespace

TEST(DateMask, MasksOfTheProgram)
{
    TFormatSettings ru = TFormatSettings::Russian();
    ExpectAll(ru, {
        {"dd.mm.yyyy hh:nn:ss", kAugust15, "15.08.2007 12:30:45"},
        {"yy.mm.dd  hh_nn_ss", kAugust15, "07.08.15  12_30_45"},
        {"yymmdd_hh_nn_ss", kAugust15, "070815_12_30_45"},
        {"dd.mm.yyyy ", kAugust15, "15.08.2007 "},
        {"hh:nn:ss", kAugust15, "12:30:45"},
        {"Заняло hh:nn:ss", 65.0 / 86400.0, "Заняло 00:01:05"},
    });
    // The same masks do not depend on the day and month names.
    EXPECT_EQ(FormatDateTime("dd.mm.yyyy hh:nn:ss", kAugust15, TFormatSettings::English()),
              "15.08.2007 12:30:45");
}

TEST(DateMask, DateSpecifiers)
{
    ExpectAll(TFormatSettings::English(), {
        {"d", At(2007, 8, 5), "5"},
        {"dd", At(2007, 8, 5), "05"},
        {"ddd", kAugust15, "Wed"},
        {"dddd", kAugust15, "Wednesday"},
        {"ddddd", kAugust15, "8/15/2007"},
        {"dddddd", kAugust15, "Wednesday, August 15, 2007"},
        {"ddddddddd", kAugust15, "Wednesday, August 15, 2007"},
        {"m", kAugust15, "8"},
        {"mm", kAugust15, "08"},
        {"mmm", kAugust15, "Aug"},
        {"mmmm", kAugust15, "August"},
        {"mmmmmm", kAugust15, "August"},
        {"y", kAugust15, "07"},
        {"yy", kAugust15, "07"},
        {"yyy", kAugust15, "2007"},
        {"yyyy", kAugust15, "2007"},
        {"yyyyyy", kAugust15, "2007"},
        {"yyyy", At(987, 1, 1), "0987"},
        {"e", kAugust15, "7"},
        {"ee", kAugust15, "07"},
        {"eeee", kAugust15, "2007"},
        {"e", At(2012, 1, 1), "12"},
        {"g", kAugust15, ""},
        {"[gg]", kAugust15, "[]"},
        {"aaa", kAugust15, "Wed"},
        {"aaaa", kAugust15, "Wednesday"},
        {"aa", kAugust15, "aa"},
        {"d/m/yy", kAugust15, "15/8/07"},
    });
}

TEST(DateMask, TimeSpecifiers)
{
    ExpectAll(TFormatSettings::English(), {
        {"h:n:s", kMorning, "9:5:3"},
        {"hh:nn:ss", kMorning, "09:05:03"},
        {"hhhh-nnnn-ssss", kMorning, "09-05-03"},
        {"z", kMorning, "7"},
        {"zz", kMorning, "07"},
        {"zzz", kMorning, "007"},
        {"zzzzz", kMorning, "007"},
        {"t", kAugust15, "12:30 PM"},
        {"tt", kAugust15, "12:30:45 PM"},
        {"ttt", kMorning, "9:05:03 AM"},
        {"c", kAugust15, "8/15/2007 12:30:45 PM"},
        {"c", kMidnight, "8/15/2007"},
        {"cc", kMidnight, "8/15/2007"},
        // Milliseconds alone do not bring the time into c.
        {"c", kMidnight + 5.0 / MSecsPerDay, "8/15/2007"},
    });
}

TEST(DateMask, LettersAreCaseBlindButRunsKeepTheirCase)
{
    ExpectAll(TFormatSettings::English(), {
        {"DD.MM.YYYY HH:NN:SS", kAugust15, "15.08.2007 12:30:45"},
        {"Dd", kAugust15, "1515"},
        {"yY", kAugust15, "0707"},
        {"yyyY", kAugust15, "200707"},
        {"Mm", kAugust15, "88"},
        {"AAAA", kAugust15, "Wednesday"},
    });
}

TEST(DateMask, MonthLetterAfterAnHourMeansMinutes)
{
    ExpectAll(TFormatSettings::English(), {
        {"hh:mm", kAugust15, "12:30"},
        {"hh:mm:ss", kAugust15, "12:30:45"},
        {"h mm", kAugust15, "12 30"},
        {"hh'x'mm", kAugust15, "12x30"},
        // Runs of three or more are month names even after an hour.
        {"hhmmm", kAugust15, "12Aug"},
        {"hh mmmm", kAugust15, "12 August"},
        {"h:mmmm:mm", kAugust15, "12:August:08"},
        {"mm hh", kAugust15, "08 12"},
        // Any other letter in between ends the hour's hold.
        {"h x m", kAugust15, "12 x 8"},
        {"hh dd mm", kAugust15, "12 15 08"},
        // After the minutes, the next m is a month again.
        {"hhMm", kAugust15, "12308"},
    });
}

TEST(DateMask, TwelveHourClock)
{
    ExpectAll(TFormatSettings::English(), {
        {"h:nn am/pm", kAugust15, "12:30 pm"},
        {"h:nn am/pm", kAfterMidnight, "12:15 am"},
        {"h:nn am/pm", kEvening, "9:04 pm"},
        {"hh AM/PM", At(2007, 8, 15, 13, 0, 0), "01 PM"},
        {"h Am/pM", kMorning, "9 Am"},
        {"h Am/pM", kEvening, "9 pM"},
        {"h a/p", kMorning, "9 a"},
        {"h A/P", kEvening, "9 P"},
        {"h ampm", kEvening, "9 PM"},
        {"h ampm", kMorning, "9 AM"},
        // Met before the hour.
        {"am/pm h", kEvening, "pm 9"},
        {"ampm hh", kAfterMidnight, "AM 12"},
        // The look-ahead stops at the next h ...
        {"hh h ampm", kEvening, "21 9 PM"},
        // ... skips quoted text ...
        {"hh 'ampm'", kEvening, "21 ampm"},
        {"hh \"a\" a/p", kEvening, "09 a p"},
        // ... and decides on the first a it meets.
        {"hh xa ampm", kEvening, "21 xa PM"},
        {"hh aaa am/pm", kEvening, "21 Wed pm"},
        // Without any designator the 24-hour clock stays.
        {"hh:nn", kEvening, "21:04"},
    });
}

TEST(DateMask, SeparatorsAndQuotes)
{
    TFormatSettings s = TFormatSettings::English();
    s.DateSeparator = "-";
    s.TimeSeparator = ".";
    ExpectAll(s, {
        {"dd/mm/yyyy hh:nn", kAugust15, "15-08-2007 12.30"},
        {"hh':'nn", kAugust15, "12:30"},
        {"\"/\"", kAugust15, "/"},
        {"'dd' dd", kAugust15, "dd 15"},
        {"\"hh:nn\" hh", kAugust15, "hh:nn 12"},
        {"'it\"s' d", kAugust15, "it\"s 15"},
        {"'it''s'", kAugust15, "its"},
        {"dd 'unclosed hh", kAugust15, "15 unclosed hh"},
        {"\"", kAugust15, ""},
        {"x_b-f q 2007 .", kAugust15, "x_b-f q 2007 ."},
    });
    // An empty separator adds nothing.
    s.TimeSeparator.clear();
    EXPECT_EQ(FormatDateTime("hh:nn", kAugust15, s), "1230");
}

TEST(DateMask, NonLatinTextIsCopiedAsItIs)
{
    TFormatSettings ru = TFormatSettings::Russian();
    ExpectAll(ru, {
        {"Снято dd.mm.yyyy в hh:nn", kAugust15, "Снято 15.08.2007 в 12:30"},
        {"ЖжЁё😀", kAugust15, "ЖжЁё😀"},
        {"'Дата:' d mmmm", kAugust15, "Дата: 15 Август"},
    });
}

TEST(DateMask, RussianAndEnglishRegionalSettings)
{
    ExpectAll(TFormatSettings::Russian(), {
        {"ddddd", kAugust15, "15.08.2007"},
        {"dddddd", kAugust15, "15 Август 2007 г."},
        {"ddd dddd", kAugust15, "Ср среда"},
        {"mmm", kAugust15, "авг"},
        {"c", kAugust15, "15.08.2007 12:30:45"},
        {"c", kMidnight, "15.08.2007"},
        {"t", kMorning, "9:05"},
        {"tt", kEvening, "21:04:00"},
        {"dd/mm/yy", kAugust15, "15.08.07"},
        {"h ampm", kEvening, "9 "},
    });
    ExpectAll(TFormatSettings::English(), {
        {"c", kEvening, "8/15/2007 9:04:00 PM"},
        {"dd/mm/yy", kAugust15, "15/08/07"},
    });
}

TEST(DateMask, NestedFormatsStopAtTheSecondLevel)
{
    TFormatSettings s = TFormatSettings::English();
    s.ShortDateFormat = "[dd ddddd]";
    s.LongDateFormat = "<c>";
    s.ShortTimeFormat = "{t}";
    s.LongTimeFormat = "hh:nn";
    ExpectAll(s, {
        {"[dd ddddd]", kAugust15, "[15 [15 ]]"},
        {"ddddd", kAugust15, "[15 ]"},
        // dddddd -> "<c>" -> c's own formats would be a third level.
        {"dddddd", kAugust15, "< >"},
        {"c", kAugust15, "[15 ] 12:30"},
        {"t", kAugust15, "{}"},
        {"tt", kAugust15, "12:30"},
    });
}

TEST(DateMask, ResultIsCutAt256Characters)
{
    const TFormatSettings s = TFormatSettings::English();
    EXPECT_EQ(FormatDateTime(std::string(300, 'x'), kAugust15, s), std::string(256, 'x'));
    std::string years;
    for (int i = 0; i < 100; ++i)
        years += "yyyy ";
    std::string expected;
    for (int i = 0; i < 51; ++i)
        expected += "2007 ";
    expected += "2";
    EXPECT_EQ(FormatDateTime(years, kAugust15, s), expected);
    // Characters, not bytes: a two-byte letter counts once and is never split.
    std::string zhe;
    for (int i = 0; i < 300; ++i)
        zhe += "Ж";
    std::string zhe256;
    for (int i = 0; i < 256; ++i)
        zhe256 += "Ж";
    EXPECT_EQ(FormatDateTime(zhe, kAugust15, s), zhe256);
    EXPECT_EQ(FormatDateTime(std::string(255, '-') + "Жdd", kAugust15, s), std::string(255, '-') + "Ж");
    // The cut also holds inside nested formats.
    std::string longDays;
    for (int i = 0; i < 40; ++i)
        longDays += "dddddd|";
    const std::string out = FormatDateTime(longDays, kAugust15, s);
    EXPECT_EQ(out.size(), 256u);
    EXPECT_EQ(out.substr(0, 27), "Wednesday, August 15, 2007|");
}

TEST(DateMask, ValuesAreRoundedToMillisecondsFirst)
{
    const TFormatSettings s = TFormatSettings::English();
    // 0.4 ms before 12:30:45 reads as 12:30:45.000, 0.6 ms after midnight as .001.
    EXPECT_EQ(FormatDateTime("hh:nn:ss.zzz", kAugust15 - 0.4 / MSecsPerDay, s), "12:30:45.000");
    EXPECT_EQ(FormatDateTime("dd hh:nn:ss.zzz", kMidnight - 0.4 / MSecsPerDay, s), "15 00:00:00.000");
    EXPECT_EQ(FormatDateTime("dd hh:nn:ss.zzz", kMidnight - 0.6 / MSecsPerDay, s), "14 23:59:59.999");
}

TEST(DateMask, ValuesBelowZeroAndOutOfRange)
{
    const TFormatSettings s = TFormatSettings::English();
    EXPECT_EQ(FormatDateTime("dd.mm.yyyy hh:nn:ss", 0, s), "30.12.1899 00:00:00");
    EXPECT_EQ(FormatDateTime("dd.mm.yyyy hh:nn:ss", -1.0 / 24.0, s), "29.12.1899 23:00:00");
    EXPECT_EQ(FormatDateTime("dd.mm.yyyy hh:nn:ss", -1.5, s), "28.12.1899 12:00:00");
    // Outside the calendar's years the date reads as zeros and the names as nothing;
    // nothing is read outside the name lists.
    EXPECT_EQ(FormatDateTime("[ddd|dddd|mmm|mmmm|aaa] dd.mm.yyyy", 1e7, s), "[||||] 00.00.0000");
    for (double odd : {std::nan(""), 1e300, -1e300, HUGE_VAL, -HUGE_VAL})
        EXPECT_EQ(FormatDateTime("[ddd] dd.mm.yyyy hh:nn", odd, s), "[] 00.00.0000 00:00") << odd;
}

// Any mask, however malformed, gives at most 256 characters of valid UTF-8 when the
// mask itself is valid UTF-8 (multi-byte characters are copied whole or not at all).
TEST(DateMask, ArbitraryMasksStayWithinTheCut)
{
    const TFormatSettings s = TFormatSettings::Russian();
    const std::string alphabet[] = {"d", "m", "y", "h", "n", "s", "z", "t", "c", "a", "e", "g", "/", ":",
                                    "'", "\"", "am/pm", "a/p", "ampm", "D", "M", "H", "Ж", "ё", " ", "x"};
    uint32_t seed = 12345;
    auto next = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return seed >> 16;
    };
    for (int round = 0; round < 2000; ++round) {
        std::string mask;
        const uint32_t length = next() % 400;
        for (uint32_t i = 0; i < length; ++i)
            mask += alphabet[next() % std::size(alphabet)];
        const std::string out = FormatDateTime(mask, kAugust15 + (next() % 100000) / 7.0, s);
        size_t chars = 0;
        for (size_t i = 0; i < out.size(); ++i)
            if ((static_cast<unsigned char>(out[i]) & 0xC0) != 0x80)
                ++chars;
        ASSERT_LE(chars, DateMaskMaxLength) << mask;
        if (!out.empty()) {
            const unsigned char last = static_cast<unsigned char>(out.back());
            // A lead byte is never left without its continuation.
            ASSERT_FALSE(last >= 0xC0) << mask;
        }
    }
}

TEST(DateMask, UsesTheProcessWideSettings)
{
    test::ScopedFormatSettings russian(TFormatSettings::Russian());
    EXPECT_EQ(FormatDateTime("dd/mm/yyyy mmmm", kAugust15), "15.08.2007 Август");
    FormatSettings() = TFormatSettings::English();
    EXPECT_EQ(FormatDateTime("dd/mm/yyyy mmmm", kAugust15), "15/08/2007 August");
}

// Runs only where a Russian locale is installed (locale -a).
TEST(DateMask, RussianLocaleFillsTheSettings)
{
    test::ScopedFormatSettings restored;
    const char* old = std::getenv("LC_ALL");
    const std::string oldValue = old ? old : "";
    bool found = false;
    for (const char* name : {"ru_RU.UTF-8", "ru_RU.utf8"}) {
        locale_t probe = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0));
        if (probe == static_cast<locale_t>(0))
            continue;
        freelocale(probe);
        setenv("LC_ALL", name, 1);
        found = true;
        break;
    }
    if (!found)
        GTEST_SKIP() << "no Russian locale installed";
    FillFormatSettingsFromLocale();
    const TFormatSettings filled = FormatSettings();
    if (old)
        setenv("LC_ALL", oldValue.c_str(), 1);
    else
        unsetenv("LC_ALL");

    EXPECT_EQ(filled.DateSeparator, ".");
    EXPECT_EQ(filled.TimeSeparator, ":");
    EXPECT_EQ(filled.DecimalSeparator, ',');
    EXPECT_EQ(FormatDateTime("ddddd", kAugust15, filled), "15.08.2007");
    EXPECT_EQ(FormatDateTime("tt", kAugust15, filled).substr(0, 5), "12:30");
    // Names come from the locale in Cyrillic; their exact case differs between releases.
    const std::string month = FormatDateTime("mmmm", kAugust15, filled);
    const std::string day = FormatDateTime("dddd", kAugust15, filled);
    ASSERT_FALSE(month.empty());
    ASSERT_FALSE(day.empty());
    EXPECT_GE(static_cast<unsigned char>(month[0]), 0x80);
    EXPECT_GE(static_cast<unsigned char>(day[0]), 0x80);
}

// Locales such as ja_JP.UTF-8 separate with a multi-byte character ("%Y年%m月%d日").
TEST(DateMask, SeparatorsOfTheLocaleFormatsStayWhole)
{
    struct Case { const char* format; const char* separator; };
    const Case cases[] = {
        {"%Y年%m月%d日", "年"}, {"%H時%M分%S秒", "時"}, {"%d.%m.%Y", "."}, {"%H:%M:%S", ":"},
        {"%x", "/"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SeparatorOf(c.format, "/"), c.separator) << c.format;
}
