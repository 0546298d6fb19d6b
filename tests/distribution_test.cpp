#include "distribution.hpp"

#include <gtest/gtest.h>

#include <cstring>

namespace {

image_descriptor record;

TEST(Sweep, FillLeavesNoTraceOfLongerName) {
    fillDescriptor(record, 3, 9, 5, 4, 1);  // "OcchioDeforme"
    fillDescriptor(record, 1, 3, 2, 4, 0);  // "faro"
    EXPECT_EQ(std::memcmp(record.name, "faro\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 20), 0);
    EXPECT_EQ(record.param, 3);
    EXPECT_EQ(record.width, 2);
    EXPECT_EQ(record.height, 4);
    EXPECT_EQ(record.flag, 0);
}

TEST(Tallies, RefuseCountsOutsideTheTable) {
    hits_per_key keyCount{};
    keys_per_count valueCount;
    int32_t badKey = -1;
    keyCount[5] = 799;
    EXPECT_TRUE(countValues(keyCount, valueCount, badKey));
    EXPECT_EQ(valueCount[799], 1);
    EXPECT_EQ(valueCount[0], 799);
    for (const int32_t count : {800, -1}) {
        keyCount[5] = count;
        EXPECT_FALSE(countValues(keyCount, valueCount, badKey));
        EXPECT_EQ(badKey, 5);
    }
}

}  // namespace
