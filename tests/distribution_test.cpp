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

// A name and, for its escaped form, the very text of its C literal: the compiler reads the one
// from the other, so each row's escaped form is proven to be C that gives the name back.
#define NAME_AND_ITS_LITERAL(literal) \
    { literal, #literal }

TEST(Names, EscapedAsCWritesThem) {
    struct Row {
        const char* name;
        const char* escaped;
    };
    const Row rows[] = {
        NAME_AND_ITS_LITERAL("faro"),  // plain
        NAME_AND_ITS_LITERAL(""),      // empty
        NAME_AND_ITS_LITERAL("\xc3\xb1"
                             "and\xc3\xba"),  // UTF-8; a hex digit after an escape
        NAME_AND_ITS_LITERAL("say \"hi\""),   // double quotes
        NAME_AND_ITS_LITERAL("C:\\tmp\\"),    // backslashes
        NAME_AND_ITS_LITERAL("\x7fG\x01"
                             "1\x09\xff"),  // control bytes; G is no hex digit
    };
    char field[IMAGE_NAME_SIZE];
    for (const Row& row : rows) {
        SCOPED_TRACE(row.escaped);
        std::memset(field, 0, sizeof field);
        std::memcpy(field, row.name, std::strlen(row.name));
        EXPECT_STREQ(escapeName(field).text, row.escaped);
    }
    std::memset(field, 'z', sizeof field);  // no terminator: the whole field
    EXPECT_STREQ(escapeName(field).text, "\"zzzzzzzzzzzzzzzzzzzz\"");
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
