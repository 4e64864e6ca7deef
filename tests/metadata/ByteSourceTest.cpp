// Every read of the metadata reader goes through ByteSource: reads that lie wholly inside
// succeed, every other one raises ReadOutside, and a clip keeps exactly the bytes inside.
#include "metadata/directory/ByteSource.h"

#include <gtest/gtest.h>

#include <string>

namespace morvik {
namespace {

TEST(ByteSourceTest, ReadsInsideSucceedAndReadsReachingOutsideRaise)
{
    const std::string data = "\x01\x02\x03\x04\x05";
    const ByteSource bytes(data);
    const int64_t length = static_cast<int64_t>(data.size());
    for (int64_t pos = -2; pos <= length + 2; ++pos) {
        for (int64_t count = 0; count <= length + 1; ++count) {
            // The oracle: positions 1 .. length are the data's, counted one by one.
            bool inside = count == 0 ? pos >= 1 && pos <= length + 1 : true;
            for (int64_t p = pos; p < pos + count; ++p)
                inside = inside && p >= 1 && p <= length;
            EXPECT_EQ(bytes.Holds(pos, count), inside) << pos << "+" << count;

            std::string clipped;
            for (int64_t p = pos; p < pos + count; ++p)
                if (p >= 1 && p <= length)
                    clipped += data[static_cast<size_t>(p - 1)];
            EXPECT_EQ(bytes.Clip(pos, count), clipped) << pos << "+" << count;
        }
        const bool has1 = pos >= 1 && pos <= length, has2 = has1 && pos + 1 <= length,
                   has4 = has1 && pos + 3 <= length;
        if (has1) {
            EXPECT_EQ(bytes.Byte(pos), static_cast<uint8_t>(data[static_cast<size_t>(pos - 1)]));
        } else {
            EXPECT_THROW(bytes.Byte(pos), ReadOutside) << pos;
        }
        if (has2) {
            EXPECT_EQ(bytes.U16(pos, true), (pos << 8) | (pos + 1));  // byte values equal their positions
        } else {
            EXPECT_THROW(bytes.U16(pos, false), ReadOutside) << pos;
        }
        if (has4) {
            EXPECT_EQ(bytes.I32(pos, false), (pos + 3) << 24 | (pos + 2) << 16 | (pos + 1) << 8 | pos);
        } else {
            EXPECT_THROW(bytes.I32(pos, true), ReadOutside) << pos;
        }
    }
}

}  // namespace
}  // namespace morvik
