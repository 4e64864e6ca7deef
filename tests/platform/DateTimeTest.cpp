#include "platform/DateTime.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace morvik;

TEST(DateTime, EncodesKnownDays)
{
    struct Case { int y, m, d; double expected; };
    const Case cases[] = {
        {1899, 12, 30, 0}, {1899, 12, 31, 1}, {1900, 1, 1, 2}, {1899, 12, 29, -1},
        {2000, 1, 1, 36526}, {2005, 7, 14, 38547}, {1, 1, 1, -693593}, {9999, 12, 31, 2958465},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TryEncodeDate(c.y, c.m, c.d).value(), c.expected) << c.y << "-" << c.m << "-" << c.d;
    EXPECT_FALSE(TryEncodeDate(2001, 2, 29));
    EXPECT_FALSE(TryEncodeDate(0, 1, 1));
    EXPECT_TRUE(TryEncodeDate(2000, 2, 29));
    EXPECT_FALSE(TryEncodeDate(1900, 2, 29));
    EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0));
    EXPECT_FALSE(TryEncodeTime(0, 60, 0, 0));
}

TEST(DateTime, DecodeRoundTripsAndRoundsToMilliseconds)
{
    auto v = TryEncodeDateTime(2005, 7, 14, 12, 30, 45).value();
    auto f = DecodeDateTime(v);
    EXPECT_EQ(f.Year, 2005);
    EXPECT_EQ(f.Month, 7);
    EXPECT_EQ(f.Day, 14);
    EXPECT_EQ(f.Hour, 12);
    EXPECT_EQ(f.Minute, 30);
    EXPECT_EQ(f.Second, 45);
    EXPECT_EQ(f.MilliSecond, 0);
    EXPECT_EQ(f.DayOfWeek, 5);  // Thursday

    // 00:00:42 stored as a double must not fall to 00:00:41.999.
    auto f42 = DecodeDateTime(42.0 / 86400.0);
    EXPECT_EQ(f42.Second, 42);
    EXPECT_EQ(f42.MilliSecond, 0);

    // Days before 30.12.1899 run their time of day forward.
    auto before = DecodeDateTime(-1.0 / 24.0);
    EXPECT_EQ(before.Year, 1899);
    EXPECT_EQ(before.Month, 12);
    EXPECT_EQ(before.Day, 29);
    EXPECT_EQ(before.Hour, 23);
    EXPECT_EQ(DecodeDateTime(0).DayOfWeek, 7);  // Saturday
}

TEST(DateTime, EveryDayOfFourCenturiesRoundTrips)
{
    for (double d = -1000; d < 150000; d += 1) {
        auto f = DecodeDateTime(d);
        ASSERT_EQ(TryEncodeDate(f.Year, f.Month, f.Day).value(), d);
    }
}

TEST(DateTime, ValuesBeforeTheEpochArePlainArithmetic)
{
    // Encoding and decoding agree on both sides of 30.12.1899.
    const auto v = TryEncodeDateTime(1899, 12, 29, 23, 0, 0).value();
    EXPECT_NEAR(v, -1.0 / 24.0, 1e-12);
    const auto f = DecodeDateTime(v);
    EXPECT_EQ(f.Day, 29);
    EXPECT_EQ(f.Hour, 23);
    for (double bad : {1e12, -1e12, std::nan("")})
        EXPECT_EQ(DecodeDateTime(bad).Year, 0);
}
