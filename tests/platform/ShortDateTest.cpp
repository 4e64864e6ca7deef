#include "platform/ShortDate.h"

#include <gtest/gtest.h>

namespace morvik {
namespace {

TEST(ShortDate, FormatsTheDateLettersSeparatorsAndQuotedText)
{
    TFormatSettings s = TFormatSettings::English();
    s.DateSeparator = "-";
    const TDateTime may6 = *TryEncodeDateTime(2004, 5, 6, 7, 8, 9);
    const TDateTime dec31 = *TryEncodeDate(1999, 12, 31);
    struct Case {
        TDateTime value;
        const char* format;
        const char* expected;
    } cases[] = {
        {may6, "dd.mm.yyyy", "06.05.2004"},
        {may6, "dd.MM.yyyy", "06.05.2004"},
        {may6, "d.m.yy", "6.5.04"},
        {may6, "m/d/yyyy", "5-6-2004"},
        {dec31, "yyyy/mm/dd", "1999-12-31"},
        {dec31, "y", "99"},
        {may6, "ddd d mmm", "Thu 6 May"},
        {may6, "dddd, mmmm d", "Thursday, May 6"},
        {may6, "d \"de\" mmmm 'yy' yyyy", "6 de May yy 2004"},
        {may6, "dd.mm.yyyy \"unterminated", "06.05.2004 unterminated"},
        {0, "dd.mm.yyyy", "30.12.1899"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatDateOnly(c.value, c.format, s), c.expected) << c.format;
}

TEST(ShortDate, UsesTheRegionalShortDateFormat)
{
    const TFormatSettings saved = FormatSettings();
    FormatSettings() = TFormatSettings::Russian();
    EXPECT_EQ(ShortDateText(*TryEncodeDateTime(2004, 5, 6, 23, 59, 59)), "06.05.2004");
    FormatSettings() = saved;
}

}  // namespace
}  // namespace morvik
