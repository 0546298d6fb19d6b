#include "candidates.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

// Records are 400 kB each: keep them out of the test's stack frame.
image_descriptor first, second;

// Writes the name bytes as given (up to the whole field, without terminator if
// they fill it) and zero-fills the rest of the field. The parameters follow the
// record's fields in their order.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters)
image_descriptor& describe(image_descriptor& d, std::string_view name, int8_t param, uint16_t width,
                           uint16_t height, uint8_t flag = 0) {
    std::memset(d.name, 0, sizeof d.name);
    std::memcpy(d.name, name.data(), std::min(name.size(), sizeof d.name));
    d.param = param;
    d.width = width;
    d.height = height;
    d.flag = flag;
    return d;
}

// What a failure of the tests that pin hashFunction's keys means.
constexpr const char* PINNED_KEYS =
    "hashFunction gives other keys than the known answers: if you changed it on purpose, update "
    "the known answers in tests/cache_key_test.cpp";

TEST(HashFunction, KnownAnswers) {
    SCOPED_TRACE(PINNED_KEYS);
    // Worked by hand: s = 11*c0; s += h*w; s *= p+1; s += ((c0+c1)*w rem 7) + 1;
    // s += length; key = s rem 800, with 32-bit wrap-around and truncating rem.
    struct Row {
        const char* name;
        int8_t param;
        uint16_t width, height;
        int32_t key;
    };
    const Row rows[] = {
        {"caneBagnato", 0, 0, 0, 301},           // first combination of the sweep
        {"faro", 3, 2, 4, 531},                  // every step contributes
        {"OcchioDeforme", 9, 5, 4, 105},         // longest catalogue name, last selectors
        {"tree", 9, 5, 4, 167},                  // last catalogue name
        {"test", -1, 0, 0, 5},                   // param -1 zeroes the product
        {"", 0, 0, 0, 1},                        // empty name: only the added 1
        {"ab", -128, 3, 2, -264},                // most negative param: negative sum
        {"\xff", 0, 0, 0, -9},                   // high byte counts as -1
        {"\x01\xf9", -1, 1, 0, -3},              // negative inner remainder
        {"a", 0, 65535, 65535, -396},            // h*w wraps past 2^32
        {"a", 0, 46340, 46340, 669},             // largest square that still fits
        {"a", 1, 46340, 46340, -360},            // the square fits, times (param + 1) it wraps
        {"a", 0, 65534, 32769, -181},            // product fits, the sum wraps
        {"aaaaaaaaaaaaaaaaaaaa", 1, 0, 0, 555},  // unterminated name counts as 20
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << '"' << row.name << "\" param " << int{row.param}
                                        << " width " << row.width << " height " << row.height);
        EXPECT_EQ(hashFunction(describe(first, row.name, row.param, row.width, row.height)),
                  row.key);
    }
}

TEST(HashFunction, IgnoresFlagPayloadAndNameTail) {
    SCOPED_TRACE(PINNED_KEYS);
    const int32_t key = hashFunction(describe(first, "faro", 3, 2, 4));
    describe(second, "faro", 3, 2, 4);
    second.flag = 0xff;
    std::memset(second.payload, 0xa5, sizeof second.payload);
    EXPECT_EQ(hashFunction(second), key);

    // Past the second byte only the length counts, not the characters, nor
    // anything after the terminator.
    EXPECT_EQ(hashFunction(describe(second, "fa\x80z", 3, 2, 4)), key);
    EXPECT_EQ(hashFunction(describe(second, std::string_view("fa\0zzz", 6), 3, 2, 4)) + 2, key);
}

TEST(Candidates, KnownAnswers) {
    // From an independent Python model of each definition. mendedKey: s = 11 s + b over the name's
    // unsigned bytes, s += (h + 1)(w + 1), s *= uint8(param) + 1, s += (u0 + u1) w mod 7 + 1,
    // s += 400 flag, key = s mod 800. mixedKey: FNV-1a over the name through its terminator,
    // uint8(param), width and height low byte first, flag, then MurmurHash3's fmix32; mod 800.
    struct Row {
        const char* name;
        int8_t param;
        uint16_t width, height;
        uint8_t flag;
        int32_t mended, mixed;
    };
    const Row rows[] = {
        {"caneBagnato", 0, 0, 0, 0, 167, 98},  // the sweep's first combination
        {"faro", 3, 2, 4, 0, 323, 6},          // every step contributes
        {"faro", 3, 2, 4, 1, 723, 733},        // flag read: 400 further on
        {"tree", 9, 5, 4, 1, 323, 727},        // the sweep's last combination
        {"", 0, 0, 0, 0, 2, 600},              // empty name
        {"\xff\xff", 0, 0, 0, 0, 662, 654},    // high bytes count as 255
        {"ab", -128, 3, 2, 0, 638, 532},       // most negative param: multiplier 129
        {"ab", -1, 3, 2, 0, 517, 280},         // param -1 no longer wipes out the rest
        {"a", 0, 65535, 65535, 255, 504, 7},   // (h + 1)(w + 1) wraps to 0, flag 255
        {"\xc3\xb1"
         "and\xc3\xba",
         0, 0, 0, 0, 642, 185},                          // "ñandú" in UTF-8
        {"aaaaaaaaaaaaaaaaaaaa", 1, 0, 0, 0, 531, 345},  // unterminated: 20 bytes, no terminator
        {"aaaaaaaaaaaaaaaaaaa", 127, 65535, 0, 7, 374, 206},  // longest name, most param
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << '"' << row.name << "\" param " << int{row.param} << " width " << row.width
                     << " height " << row.height << " flag " << int{row.flag});
        describe(first, row.name, row.param, row.width, row.height, row.flag);
        EXPECT_EQ(mendedKey(first), row.mended);
        EXPECT_EQ(mixedKey(first), row.mixed);
    }
}

TEST(Catalogue, NamesThenEmptySlots) {
    const char* const names[] = {"caneBagnato",  "faro", "nuvole",      "OcchioDeforme",
                                 "PianetiBelli", "test", "tizizAlMare", "tree"};
    for (size_t slot = 0; slot < std::size(imagesName); ++slot) {
        SCOPED_TRACE(slot);
        if (slot < std::size(names)) {
            EXPECT_STREQ(imagesName[slot], names[slot]);
            EXPECT_LT(std::strlen(imagesName[slot]), IMAGE_NAME_SIZE);
        } else {
            EXPECT_EQ(imagesName[slot], nullptr);
        }
    }
    EXPECT_EQ(std::memcmp(socket_path, "\0hidden\0", 8), 0);
}

}  // namespace
