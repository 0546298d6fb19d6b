#include "traffic.hpp"
#include "keysets.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(Traffic, RandomKeysKnownAnswers) {
    // P(n descriptors on at most k of 800 keys) under a uniformly random key function, exactly
    // from Stirling numbers in Python's fractions: the sum over j <= k of C(800, j) j! S(n, j) /
    // 800^n. Then the keys it uses on average, 800 (1 - (799/800)^n).
    struct Row {
        int32_t n, k;
        double chance;
    };
    const Row rows[] = {
        {2, 1, 0.00125},                   // both on the first one's key
        {3, 1, 1.5625000000000001e-06},    // all on one
        {3, 2, 0.0037468750000000002},     // any two share
        {10, 3, 4.4325254485011098e-17},   // ten on three keys
        {50, 40, 5.5971879657416299e-07},  // a crowd near the mean's low side
        {200, 150, 9.4622754116101535e-10},
        {1000, 550, 0.011770186924249283},  // just below the mean of 570.8
        {1000, 700, 1},                     // above the mean: no crowd
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.n << " on " << row.k);
        EXPECT_NEAR(fewKeysChance(row.n, row.k), row.chance, 1e-9 * row.chance);
    }
    EXPECT_NEAR(randomKeysFor(2), 1.99875, 1e-12);
    EXPECT_NEAR(randomKeysFor(600), 422.2840014381638, 1e-9);
    EXPECT_NEAR(randomKeysFor(4217), 795.9037806096549, 1e-9);
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the record's order
packed_descriptor descriptor(const std::string& name, int32_t param, int32_t width, int32_t flag) {
    packed_descriptor d{};
    std::memcpy(d.name, name.data(), name.size());
    d.param = static_cast<int8_t>(param);
    d.width = static_cast<uint16_t>(width);
    d.flag = static_cast<uint8_t>(flag);
    return d;
}

TEST(Traffic, PairsThatDifferInOneField) {
    // Worked by hand: a and b at param 0 share key 1, at param 1 they part (2, 3); a at param 0
    // and 1 parts (1, 2), b too (1, 3); a at param 0 with flag 1 shares a's key 1 with flag 0.
    // A descriptor never requested, or with a key outside the table, is left out.
    const std::vector<packed_descriptor> fields = {
        descriptor("a", 0, 0, 0), descriptor("b", 0, 0, 0), descriptor("a", 1, 0, 0),
        descriptor("b", 1, 0, 0), descriptor("a", 0, 0, 1), descriptor("b", 0, 0, 1),
        descriptor("c", 0, 0, 0)};
    const std::vector<int32_t> keys = {1, 1, 2, 3, 1, 9, -5};
    const std::vector<int64_t> requests = {1, 1, 1, 1, 1, 0, 4};
    const traffic_figures traffic = measureTraffic(fields.data(), keys.data(), requests.data(), 7);
    EXPECT_EQ(traffic.descriptors, 5);
    EXPECT_EQ(traffic.requests, 5);
    struct Row {
        int32_t field;
        int64_t pairs, shared;
        bool neverRead, cause;
    };
    const Row rows[] = {
        {T_NAME, 2, 1, false, true},  // 1 of 2 on one key, against 2/800: 400x
        {T_PARAM, 2, 0, false, false},
        {T_WIDTH, 0, 0, false, false},  // no pairs
        {T_FLAG, 1, 1, true, true},     // every pair on one key
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(TRAFFIC_FIELD_NAMES[static_cast<std::size_t>(row.field)]);
        const traffic_sharing& sharing = traffic.fields[static_cast<std::size_t>(row.field)];
        EXPECT_EQ(sharing.pairs, row.pairs);
        EXPECT_EQ(sharing.sharedPairs, row.shared);
        EXPECT_EQ(sharing.neverRead, row.neverRead);
        EXPECT_EQ(sharing.cause, row.cause);
    }
}

// Descriptors over 120 names, params -1 to 9 and widths 0 to 5, on keys of the project's
// generator, each requested once; the descriptors of param -1 on 20 keys alone, where crowd is
// set; those of the name "n0" on 4 keys, each requested 100 times, where busy is set.
struct traffic_case {
    std::vector<packed_descriptor> fields;
    std::vector<int32_t> keys;
    std::vector<int64_t> requests;
};
traffic_case makeTraffic(bool crowd, bool busy) {
    traffic_case made;
    uint64_t state = 4217;
    for (int32_t name = 0; name < 120; ++name)
        for (int32_t param = -1; param <= 9; ++param)
            for (int32_t width = 0; width < 6; ++width) {
                made.fields.push_back(descriptor('n' + std::to_string(name), param, width, 0));
                int32_t key = static_cast<int32_t>(randomBelow(state, HASH_KEYS));
                if (crowd && param == -1) key %= 20;
                if (busy && name == 0) key %= 4;
                made.keys.push_back(key);
                made.requests.push_back(busy && name == 0 ? 100 : 1);
            }
    return made;
}

TEST(Traffic, ValuesThatCrowd) {
    // Under random keys no value is named; param -1 on 20 keys is, alone; the name n0, fewer
    // descriptors but more requests, comes before it; the requests are the values' own.
    {
        SCOPED_TRACE("random keys");
        const traffic_case random = makeTraffic(false, false);
        const traffic_figures traffic =
            measureTraffic(random.fields.data(), random.keys.data(), random.requests.data(),
                           static_cast<int32_t>(random.fields.size()));
        EXPECT_TRUE(traffic.crowding.empty());
        EXPECT_EQ(traffic.valuesWeighed, 120 + 11 + 6 + 1 + 1);  // every value's
    }
    {
        SCOPED_TRACE("param -1 on 20 keys");
        const traffic_case crowded = makeTraffic(true, false);
        const traffic_figures traffic =
            measureTraffic(crowded.fields.data(), crowded.keys.data(), crowded.requests.data(),
                           static_cast<int32_t>(crowded.fields.size()));
        ASSERT_EQ(traffic.crowding.size(), 1u);
        const crowding_value& value = traffic.crowding[0];
        EXPECT_EQ(value.field, T_PARAM);
        EXPECT_EQ(value.number, -1);
        EXPECT_EQ(value.descriptors, 720);
        EXPECT_EQ(value.requests, 720);
        EXPECT_LE(value.keys, 20);
        EXPECT_EQ(std::string(valueText(value).text), "-1");
    }
    {
        SCOPED_TRACE("and n0's 66 on 4 keys, 100 requests each");
        const traffic_case both = makeTraffic(true, true);
        const traffic_figures traffic =
            measureTraffic(both.fields.data(), both.keys.data(), both.requests.data(),
                           static_cast<int32_t>(both.fields.size()));
        ASSERT_EQ(traffic.crowding.size(), 2u);
        EXPECT_EQ(traffic.crowding[0].field, T_NAME);
        EXPECT_EQ(std::string(valueText(traffic.crowding[0]).text), "\"n0\"");
        EXPECT_EQ(traffic.crowding[0].descriptors, 66);
        EXPECT_EQ(traffic.crowding[0].requests, 6600);
        EXPECT_EQ(traffic.crowding[1].field, T_PARAM);
        EXPECT_EQ(traffic.crowding[1].descriptors, 720);
        EXPECT_EQ(traffic.crowding[1].requests, 119 * 6 + 6 * 100);
    }
}

}  // namespace
