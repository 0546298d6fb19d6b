#include "diagnosis.hpp"
#include "candidates.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bitset>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

// Relative agreement with the known answers, which are given to six digits.
void expectNear(double actual, double expected, const char* what) {
    EXPECT_NEAR(actual, expected, 1e-5 * std::fabs(expected)) << what;
}

TEST(Diagnosis, FieldsOfTheSweep) {
    SCOPED_TRACE(
        "hashFunction gives other keys than the known answers: if you changed it on purpose, "
        "update the known answers in tests/diagnosis_test.cpp");
    combination_keys keyOf;
    outside_keys outside{};
    ASSERT_TRUE(keyCombinations(keyOf, outside));
    // Counted by hand with an independent model of the key function over the
    // sweep; random = pairs / 800. Crowd: -1, or the other field and value that
    // holds more than half of the shared pairs and three times its fair share.
    struct Row {
        int32_t pairs, shared, crowdField, crowdValue, crowdPairs;
        bool neverRead;
    };
    const Row rows[SWEEP_FIELDS] = {
        {16800, 110, FIELD_WIDTH, 0, 100, false},   // name
        {21600, 94, -1, 0, 0, false},               // param: 47 of 94 at flag 0 is only fair
        {12000, 676, FIELD_HEIGHT, 0, 600, false},  // width
        {9600, 1600, FIELD_WIDTH, 0, 1600, false},  // height: h * w is 0 whenever w is
        {2400, 2400, -1, 0, 0, true},               // flag: never read
    };
    const field_table fields = shareByField(keyOf);
    for (int32_t field = 0; field < SWEEP_FIELDS; ++field) {
        SCOPED_TRACE(SWEEP_FIELD_NAMES[static_cast<std::size_t>(field)]);
        const Row& row = rows[field];
        const field_sharing& sharing = fields[static_cast<std::size_t>(field)];
        EXPECT_EQ(sharing.pairs, row.pairs);
        EXPECT_EQ(sharing.sharedPairs, row.shared);
        EXPECT_DOUBLE_EQ(sharing.randomPairs, row.pairs / 800.0);
        EXPECT_DOUBLE_EQ(sharing.ratio, row.shared * 800.0 / row.pairs);
        EXPECT_EQ(sharing.neverRead, row.neverRead);
        EXPECT_TRUE(sharing.cause);                     // every field shares keys far beyond chance
        EXPECT_EQ(sharing.crowdField, row.crowdField);  // value and pairs 0 when none
        EXPECT_EQ(sharing.crowdValue, row.crowdValue);
        EXPECT_EQ(sharing.crowdPairs, row.crowdPairs);
    }
    hits_per_key keyCount;
    countHits(keyOf, keyCount);
    const key_spread spread = measureSpread(keyCount);
    EXPECT_EQ(spread.emptyKeys, 88);
    EXPECT_EQ(spread.busiest, 38);
    expectNear(spread.chiSquare, 57080 / 6.0 - 4800, "chi-square");  // squares sum to 57080
    const random_baseline blind = blindBaseline(fields, spread.busiest);
    EXPECT_EQ(blind.inputs, 2400);
    EXPECT_EQ(blind.repeats, 2);
}

TEST(Diagnosis, RandomBaselines) {
    // Means and standard deviations from the closed forms, evaluated apart in
    // Python; the median and P(busiest >= M) = 1 - F(ceil(M / r) - 1)^800 with F
    // from scipy.stats.binom (its survival function for the tail), and P as printed.
    struct Row {
        int32_t inputs, repeats, busiest;
        double emptyMean, emptySd, chiMean, chiSd;
        int32_t median;
        double atLeast;
        const char* shown;
    };
    const Row rows[] = {
        {4800, 1, 38, 1.97557, 1.39338, 799, 39.9708, 15, 1.49784e-15, "= 1.5e-15"},  // the sweep
        {2400, 2, 38, 39.755, 5.64415, 1598, 79.9333, 20, 4.24962e-07, "= 4.2e-07"},  // as blind
        {2, 1, 2, 798.001, 0.0353332, 799, 28.2666, 1, 0.00124922, "= 0.0012"},       // (1 - 1/n)
        {1, 4800, 4800, 799, 0, 3.8352e+06, 0, 4800, 1, "= 1"},  // reads nothing
        {4800, 1, 200, 1.97557, 1.39338, 799, 39.9708, 15, 2.11021e-221, "= 2.1e-221"},  // tiny
        {4800, 1, 4800, 1.97557, 1.39338, 799, 39.9708, 15, 0, "< 1e-300"},  // past a double
        {4800, 1, 6, 1.97557, 1.39338, 799, 39.9708, 15, 1, "= 1"},          // some key must
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << row.inputs << " inputs x " << row.repeats << ", busiest " << row.busiest);
        const random_baseline baseline = randomBaseline(row.inputs, row.repeats, row.busiest);
        expectNear(baseline.emptyMean, row.emptyMean, "empty keys' mean");
        expectNear(baseline.emptySd, row.emptySd, "empty keys' sd");
        expectNear(baseline.chiMean, row.chiMean, "chi-square's mean");
        expectNear(baseline.chiSd, row.chiSd, "chi-square's sd");
        EXPECT_EQ(baseline.busiestMedian, row.median);
        expectNear(baseline.busiestAtLeast, row.atLeast, "P(busiest >= M)");
        EXPECT_EQ(busiestChanceText(baseline, row.busiest).text,
                  "P(busiest >= " + std::to_string(row.busiest) + ") " + row.shown);
    }
    // 800 x the Binomial(4800, 1/800) probabilities (scipy) at 0 and 6 hits; none between repeats.
    const random_baseline sweep = randomBaseline(4800, 1, 38);
    expectNear(expectedKeysWith(sweep, 0), 1.97557, "keys with 0 hits");
    expectNear(expectedKeysWith(sweep, 6), 128.579, "keys with 6 hits");
    EXPECT_EQ(expectedKeysWith(randomBaseline(2400, 2, 38), 3), 0.0);
}

TEST(Diagnosis, Chances) {
    // scipy.stats.chi2 (799 degrees of freedom, the chi-square over repeats) for the chi-square's
    // tails; C(800, e) (1 - e/800)^n through scipy.special.gammaln, at most 1, for the empty keys.
    struct Row {
        int32_t inputs, repeats, empty;
        double chiSquare, emptyChance, above, below;
    };
    const Row rows[] = {
        {4800, 1, 2, 900, 1, 0.00726575, 0.992734},      // bound past 1; a chi-square sd 2.5 high
        {4800, 1, 8, 1000, 0.00449661, 1.46521e-06, 1},  // series side of the tails
        {4800, 1, 12, 1748.6666666666667, 4.11763e-06, 7.94126e-73, 1},  // mendedKey's chi-square
        {4800, 1, 88, 4713.333333333333, 1.31023e-124, 0, 1},  // the cache key's: past a double
        {4800, 1, 0, 519.7, 1, 1, 5.96987e-16},                // more even than random
        {4800, 1, 2, 786, 1, 0.621827, 0.378173},              // the well-mixed key's chi-square
        {2400, 2, 60, 4713.333333333333, 1, 2.70365e-153, 1},  // as blind: half the chi-square
        {2400, 2, 39, 1700, 1, 0.102719, 0.897281},
        {2400, 2, 39, 1500, 1, 0.891584, 0.108416},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.inputs << " inputs x " << row.repeats << ", "
                                        << row.empty << " empty, chi-square " << row.chiSquare);
        const random_baseline baseline = randomBaseline(row.inputs, row.repeats, 20);
        expectNear(emptyChance(baseline, row.empty), row.emptyChance, "P(empty >= e)");
        const chi_square_tails tails = chiSquareChances(baseline, row.chiSquare);
        expectNear(tails.above, row.above, "P(chi-square >= x)");
        expectNear(tails.below, row.below, "P(chi-square <= x)");
    }
}

// The reach of a key function every keyed byte reaches, and no payload byte: a uniformly random
// key function's.
constexpr reach_table everyByteReached() {
    reach_table reach{};
    for (int32_t byte = 0; byte < BYTE_PAYLOAD; ++byte)
        reach[static_cast<std::size_t>(byte)] = {1, 1};
    return reach;
}
constexpr reach_table EVERY_BYTE_REACHED = everyByteReached();
// Keysets not measured (no input within the table): the verdict over the sweep alone.
const std::array<keyset_figures, KEYSETS> NO_KEYSETS{};

// 400 kB: out of the test's stack frame; its payload stays all zero.
image_descriptor record;

// Keys for the reach: one that reads only name[0] and name[1], and one that reads the payload.
int32_t firstTwoNameBytes(image_descriptor d) {
    return static_cast<int32_t>((static_cast<uint32_t>(static_cast<unsigned char>(d.name[0])) << 8 |
                                 static_cast<unsigned char>(d.name[1])) %
                                static_cast<uint32_t>(HASH_KEYS));
}
// mixedKey with one payload byte at a fixed place added, or a handful far apart: what a change
// of one random payload byte almost never meets.
int32_t payloadByteKey(image_descriptor d) { return (mixedKey(d) + d.payload[123457]) % HASH_KEYS; }
int32_t payloadBytesKey(image_descriptor d) {
    constexpr std::size_t PLACES[] = {0, 100003, 200006, 300009, sizeof d.payload - 1};
    uint32_t sum = 0;
    for (const std::size_t place : PLACES) sum += d.payload[place];
    return static_cast<int32_t>((static_cast<uint32_t>(mixedKey(d)) + sum) % HASH_KEYS);
}
int32_t payloadSum(image_descriptor d) {
    uint32_t sum = 0;
    for (const unsigned char byte : d.payload) sum += byte;
    return static_cast<int32_t>(sum % static_cast<uint32_t>(HASH_KEYS));
}

TEST(Diagnosis, Reach) {
    // Worked from each definition: the bytes a change of which can never change the key.
    // hashFunction reads name[0], name[1], the length, param, width and height; past name[1] a byte
    // counts only through the length, which a change that keeps it keeps.
    struct Row {
        const char* what;
        key_function key;
        const char* unreached;
        bool payload;
    };
    const Row rows[] = {
        {"hashFunction: if you changed it on purpose, update this row", hashFunction,
         "name[2..18], flag", false},
        {"name[0] and name[1] alone", firstTwoNameBytes,
         "name[2..18], length, param, width[0], width[1], height[0], height[1], flag", false},
        {"mixedKey: every keyed byte", mixedKey, "", false},
        {"the payload alone", payloadSum,
         "name[0..18], length, param, width[0], width[1], height[0], height[1], flag", true},
        {"every keyed byte, and one payload byte", payloadByteKey, "", true},
        {"every keyed byte, and five payload bytes far apart", payloadBytesKey, "", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        reach_table reach{};
        measureReach(row.key, 0, REACH_BYTES, record, reach);
        EXPECT_STREQ(unreachedBytes(reach).text, row.unreached);
        EXPECT_EQ(reach[BYTE_PAYLOAD].changed > 0, row.payload);
        for (const byte_reach& counted : reach) EXPECT_EQ(counted.changes, REACH_SAMPLES);
    }
}

TEST(Keysets, GeneratorAndDomain) {
    // splitmix64's first outputs for seed 1234567, from its published definition (in Python).
    uint64_t state = 1234567;
    for (const uint64_t output : {6457827717110365317u, 3203168211198807973u, 9817491932198370423u})
        EXPECT_EQ(nextRandom(state), output);
    // The domain covers every keyed field's whole range: every value of each byte of param, width,
    // height and flag; names of every length 1 to 19, of every byte 0x01..0xFF and no 0 within;
    // and UTF-8 names, whose first byte leads a two-byte letter, among them.
    enum seen_values {
        SEEN_NAME_BYTE,
        SEEN_LENGTH,
        SEEN_PARAM,
        SEEN_WIDTH_LOW,
        SEEN_WIDTH_HIGH,
        SEEN_HEIGHT_LOW,
        SEEN_HEIGHT_HIGH,
        SEEN_FLAG,
        SEEN_KINDS
    };
    std::array<std::bitset<256>, SEEN_KINDS> seen;
    int32_t utf8 = 0;
    constexpr int32_t DESCRIPTORS = 24000;
    for (int32_t index = 0; index < DESCRIPTORS; ++index) {
        fillDomainDescriptor(index, record);
        const std::size_t length = std::strlen(record.name);
        for (std::size_t at = 0; at < length; ++at)
            seen[SEEN_NAME_BYTE].set(static_cast<unsigned char>(record.name[at]));
        seen[SEEN_LENGTH].set(length);
        seen[SEEN_PARAM].set(static_cast<uint8_t>(record.param));
        seen[SEEN_WIDTH_LOW].set(record.width & 0xFFu);
        seen[SEEN_WIDTH_HIGH].set(record.width >> 8u);
        seen[SEEN_HEIGHT_LOW].set(record.height & 0xFFu);
        seen[SEEN_HEIGHT_HIGH].set(record.height >> 8u);
        seen[SEEN_FLAG].set(record.flag);
        const auto lead = static_cast<unsigned char>(record.name[0]);
        const auto next = static_cast<unsigned char>(record.name[1]);
        utf8 += lead >= 0xC2 && lead <= 0xDF && next >= 0x80 && next <= 0xBF ? 1 : 0;
    }
    EXPECT_FALSE(seen[SEEN_NAME_BYTE][0]);
    EXPECT_EQ(seen[SEEN_NAME_BYTE].count(), 255u);
    EXPECT_EQ(seen[SEEN_LENGTH].count(), 19u);
    EXPECT_FALSE(seen[SEEN_LENGTH][0]);
    for (int32_t field = SEEN_PARAM; field <= SEEN_FLAG; ++field)
        EXPECT_EQ(seen[static_cast<std::size_t>(field)].count(), 256u) << field;
    EXPECT_GE(utf8, DESCRIPTORS / 5);  // one in four
    // Every keyset's 24000 descriptors are distinct, by their keyed bytes.
    static std::array<std::string, KEYSET_DESCRIPTORS> keyed;
    for (int32_t keyset = 0; keyset < KEYSETS; ++keyset) {
        keyset_names names{};
        if (keyset != KEYSET_DOMAIN) makeKeysetNames(keyset, names);
        const keyset_source source{keyset, &names, nullptr, KEYSET_DESCRIPTORS};
        for (int32_t index = 0; index < KEYSET_DESCRIPTORS; ++index) {
            fillKeysetDescriptor(source, index, record);
            keyed[static_cast<std::size_t>(index)].assign(record.name, sizeof record.name);
            keyed[static_cast<std::size_t>(index)] +=
                std::to_string(record.param) + ',' + std::to_string(record.width) + ',' +
                std::to_string(record.height) + ',' + std::to_string(record.flag);
        }
        std::sort(keyed.begin(), keyed.end());
        EXPECT_EQ(std::adjacent_find(keyed.begin(), keyed.end()), keyed.end())
            << KEYSET_TITLES[static_cast<std::size_t>(keyset)] << " draws a descriptor twice";
    }
    // names and near: 40 distinct names of 4 to 19 file-name characters; near's in groups of four,
    // a name, one character changed, two adjacent ones changed, the first two and the length kept.
    for (const int32_t keyset : {KEYSET_NAMES_SET, KEYSET_NEAR}) {
        SCOPED_TRACE(KEYSET_TITLES[static_cast<std::size_t>(keyset)]);
        keyset_names made{};
        makeKeysetNames(keyset, made);
        for (int32_t name = 0; name < KEYSET_NAMES; ++name) {
            const std::string text = made.names[name];
            EXPECT_TRUE(text.size() >= 4 && text.size() <= 19) << text;
            EXPECT_EQ(text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                             "0123456789_-"),
                      std::string::npos)
                << text;
            for (int32_t earlier = 0; earlier < name; ++earlier)
                EXPECT_NE(text, made.names[earlier]);
            if (keyset != KEYSET_NEAR || name % 4 == 0) continue;
            const std::string first = made.names[name - name % 4];
            ASSERT_EQ(text.size(), first.size()) << text;
            std::string differing;
            for (std::size_t at = 0; at < text.size(); ++at)
                differing += text[at] != first[at] ? 'x' : '.';
            const std::size_t changed = differing.find('x');
            const auto count = std::count(differing.begin(), differing.end(), 'x');
            if (name % 4 == 1) {
                EXPECT_EQ(count, 1) << text;
            } else if (name % 4 == 2) {
                EXPECT_EQ(count, 2) << text;
                EXPECT_EQ(differing.compare(changed, 2, "xx"), 0) << text;
            } else {
                EXPECT_EQ(text.substr(0, 2), first.substr(0, 2)) << text;
            }
        }
    }
}

// A key function whose flag-1 descriptors all get keys past the table: 800 + height, so that
// the first two differ.
int32_t pastTheTableForFlag1(image_descriptor d) { return d.flag == 1 ? HASH_KEYS + d.height : 0; }

TEST(Diagnosis, Verdicts) {
    // The chances as printed, from an independent model (scipy) of the candidates over the sweep:
    // mendedKey's busiest 27 and chi-square 1748.7, mixedKey's 14 and 815 (P 0.94 and 0.30). Over
    // the sweep alone: each keyset's figures are the tool checks' known answers.
    struct Row {
        const char* what;
        key_function key;  // nullptr: every key i % 800, each key hit exactly 6 times
        bool passes;
        const char* reasons;
    };
    const Row rows[] = {
        {"mendedKey", mendedKey, false,
         "P(busiest >= 27) = 2.3e-07; P(chi-square >= 1748.7) = 7.9e-73"},
        {"mixedKey", mixedKey, true, ""},
        {"keys past the table", pastTheTableForFlag1, false,
         "2400 of 4800 keys (50.0%) outside 0..799 (the first 800, name \"caneBagnato\", param 0, "
         "width 0, "
         "height 0, flag 1)"},  // counted in the sweep, none used; the first as a user writes it
        {"mixedKey and one payload byte", payloadByteKey, false, "payload reaches the key"},
        {"mixedKey and five payload bytes", payloadBytesKey, false, "payload reaches the key"},
        {"every key hit 6 times", nullptr, true,
         "more even than random; P(chi-square <= 0.0) < 1e-300"},  // no fault, but told
    };
    std::array<combination_keys, 1> keyOf;
    key_diagnosis diagnosis;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        outside_keys outside{};
        reach_table reach = EVERY_BYTE_REACHED;
        if (row.key != nullptr) {
            keyTheSweep(&row.key, 1, keyOf.data(), &outside);
            measureReach(row.key, 0, REACH_BYTES, record, reach);
        } else {
            for (std::size_t combination = 0; combination < keyOf[0].size(); ++combination)
                keyOf[0][combination] = static_cast<int32_t>(combination % HASH_KEYS);
        }
        if (outside.count == 0) diagnose(keyOf[0], diagnosis);
        const key_verdict verdict = judge(outside, diagnosis, reach, NO_KEYSETS.data(), KEYSETS);
        EXPECT_EQ(verdict.passes, row.passes);
        EXPECT_STREQ(verdict.reasons, row.reasons);
    }
}

TEST(Diagnosis, TheOwnersRequestsJudged) {
    // mixedKey passes over the sweep and the generated keysets; a fourth keyset, the owner's
    // requests, with 1000 descriptors of which 500 share key 0, makes it fail, and only for it.
    std::array<combination_keys, 1> keyOf;
    outside_keys outside{};
    const key_function key = mixedKey;
    keyTheSweep(&key, 1, keyOf.data(), &outside);
    key_diagnosis diagnosis;
    diagnose(keyOf[0], diagnosis);
    std::array<keyset_figures, MOST_KEYSETS> keysets{};
    keyset_figures& requested = keysets[KEYSET_REQUESTS];
    requested.descriptors = 1000;
    requested.keyCount[0] = 500;
    for (int32_t other = 1; other <= 500; ++other)
        ++requested.keyCount[static_cast<std::size_t>(other)];
    requested.spread = measureSpread(requested.keyCount);
    requested.random = randomBaseline(1000, 1, requested.spread.busiest);
    EXPECT_TRUE(judge(outside, diagnosis, EVERY_BYTE_REACHED, keysets.data(), KEYSETS).passes);
    const key_verdict verdict =
        judge(outside, diagnosis, EVERY_BYTE_REACHED, keysets.data(), MOST_KEYSETS);
    EXPECT_FALSE(verdict.passes);
    ASSERT_GT(verdict.clauses, 0);
    for (int32_t clause = 0; clause < verdict.clauses; ++clause)
        EXPECT_EQ(std::string(verdict.reasons + verdict.clauseAt[static_cast<std::size_t>(clause)])
                      .rfind("requests: ", 0),
                  0u)
            << verdict.reasons;
}

// One that reads nothing is diagnosis.bad-keys' key 0, a well-mixed one diagnosis.mixed.
TEST(Diagnosis, UniformlyRandomKeyFunctions) {
    // A uniformly random key function reads every field and shares keys only by chance: the cause
    // rule may name a field for 1 % of them (at 1 sd it does for 8.5 %, without "twice" 1.5 %), and
    // the verdict may fail 0.1 % of them. Each chance it weighs is a true one or errs high, so
    // each falls below 0.01 for at most 1 % of them (with room for 3 sd of chance).
    constexpr int32_t TABLES = 4000;
    uint64_t state = 20261209;
    int32_t named = 0;
    int32_t failed = 0;
    std::array<int32_t, SPREAD_CHANCES> belowOnePercent{};
    combination_keys keyOf;
    key_diagnosis diagnosis;
    for (int32_t table = 0; table < TABLES; ++table) {
        for (int32_t& key : keyOf) key = static_cast<int32_t>(randomBelow(state, HASH_KEYS));
        diagnose(keyOf, diagnosis);
        named += diagnosis.causes.count > 0 ? 1 : 0;
        ASSERT_EQ(diagnosis.blind.repeats, 1) << "table " << table;
        failed +=
            judge(outside_keys{}, diagnosis, EVERY_BYTE_REACHED, NO_KEYSETS.data(), KEYSETS).passes
                ? 0
                : 1;
        const double chances[SPREAD_CHANCES] = {
            emptyChance(diagnosis.random, diagnosis.spread.emptyKeys),
            diagnosis.random.busiestAtLeast,
            chiSquareChances(diagnosis.random, diagnosis.spread.chiSquare).above};
        for (std::size_t figure = 0; figure < belowOnePercent.size(); ++figure)
            belowOnePercent[figure] += chances[figure] < 0.01 ? 1 : 0;
    }
    EXPECT_LE(named, TABLES / 100);
    EXPECT_LE(failed, TABLES / 1000);
    for (const int32_t below : belowOnePercent) EXPECT_LE(below, TABLES / 100 + 19);
}

}  // namespace
