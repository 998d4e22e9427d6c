// test_hbytes.cpp: the one byte reader, at the end of its span, where the
// file and packet readers built on it only ever see their own limits.
#include <gtest/gtest.h>

#include "assets/hbytes.h"

TEST(HByteReader, ReadsLowByteFirstAndNothingPastItsSpan) {
    const uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07};
    HByteReader r(bytes, sizeof bytes);
    EXPECT_EQ(r.u16(), 0x0201);
    EXPECT_EQ(r.u32(), 0x06050403u);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.u16(), 0);  // one byte left
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.u8(), 0);  // it would fit, but the record it belongs to ran out
    EXPECT_FALSE(r.atEnd());
}
