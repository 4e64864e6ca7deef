// The marker walk over streams as a decoder reads them: fill bytes, stray bytes,
// standalone markers, and segments that do not fit.
#include "jpeg/JpegMarkers.h"

#include <gtest/gtest.h>

#include <string>

namespace morvik {
namespace {

TEST(JpegMarkersTest, SegmentsAsADecoderReadsThem)
{
    using namespace std::string_literals;
    struct Case {
        const char* What;
        std::string Stream;
        size_t Offset;
        bool Found;
        JpegSegment Segment;
    };
    const Case cases[] = {
        {"APP1 with a body", "\xFF\xE1\x00\x04" "ab\xFF\xDA"s, 0, true, {0, 6, 0xE1, 4}},
        {"fill bytes belong to the marker", "\xFF\xFF\xFF\xFE\x00\x02"s, 0, true, {0, 6, 0xFE, 6}},
        {"stray bytes up to the next 0xFF", "xyz\xFF\xD9"s, 0, true, {0, 3, 0, 3}},
        {"stray bytes to the end", "xyz"s, 1, true, {1, 2, 0, 3}},
        {"restart marker stands alone", "\xFF\xD3rest"s, 0, true, {0, 2, 0xD3, 2}},
        {"stuffed zero", "\xFF\x00"s, 0, true, {0, 2, 0, 2}},
        {"length of the whole rest", "\xFF\xDB\x00\x03q"s, 0, true, {0, 5, 0xDB, 4}},
        {"length one past the end", "\xFF\xDB\x00\x04q"s, 0, false, {}},
        {"length below two", "\xFF\xDB\x00\x01qq"s, 0, false, {}},
        {"ends inside the length", "\xFF\xDB\x00"s, 0, false, {}},
        {"ends in fill bytes", "\xFF\xFF"s, 0, false, {}},
        {"SOI", "\xFF\xD8\x00\x02"s, 0, false, {}},
        {"EOI", "\xFF\xD9\x00\x02"s, 0, false, {}},
        {"at the end", "\xFF\xD9"s, 2, false, {}},
    };
    for (const Case& c : cases) {
        const std::optional<JpegSegment> s = JpegSegmentAt(c.Stream, c.Offset);
        ASSERT_EQ(s.has_value(), c.Found) << c.What;
        if (!s)
            continue;
        EXPECT_EQ(s->Offset, c.Segment.Offset) << c.What;
        EXPECT_EQ(s->Length, c.Segment.Length) << c.What;
        EXPECT_EQ(s->Marker, c.Segment.Marker) << c.What;
        EXPECT_EQ(s->Body, c.Segment.Body) << c.What;
        EXPECT_LE(s->End(), c.Stream.size()) << c.What;
    }
    EXPECT_TRUE(StartsWithSoi("\xFF\xD8"s));
    EXPECT_FALSE(StartsWithSoi("\xFF"s));
    EXPECT_EQ(DefaultJfifHeader().size(), 18u);
    EXPECT_EQ(DefaultJfifHeader().substr(0, 11), "\xFF\xE0\x00\x10JFIF\x00\x01\x02"s);
}

}  // namespace
}  // namespace morvik
