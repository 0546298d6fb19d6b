// The tool's output is compared byte for byte with expected-report.txt; this
// checks that file itself against the figures worked out for the fixed sweep, so
// that a report regenerated from a faulty tool cannot pass.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

TEST(ExpectedReport, HoldsTheWorkedFigures) {
    std::ifstream file(EXPECTED_REPORT, std::ios::binary);
    ASSERT_TRUE(file) << EXPECTED_REPORT;
    const std::string text{std::istreambuf_iterator<char>(file), {}};
    ASSERT_TRUE(!text.empty() && text.back() == '\n') << "no whole last line";
    std::vector<std::string> lines;
    for (size_t start = 0, end = 0; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
    }
    ASSERT_EQ(lines.size(), 6u + 800 + 2 + 800);

    // Figures worked out for the fixed catalogue and sweep, not read from the tool.
    struct Line {
        size_t index;
        const char* text;
    };
    const Line known[] = {
        {0, "There were ->[ 4800 ]<- possibilities"},
        {2, "The dimension of each hash_element would be 1200176"},
        {4, "The dimension of the cache would be 960140800, with 800 hash keys"},
        {6 + 0, "Key: 0 has registered 8 times"},
        {6 + 1, "Key: 1 has registered 6 times"},
        {6 + 2, "Key: 2 has registered 0 times"},       // first empty key
        {6 + 157, "Key: 157 has registered 38 times"},  // the three busiest keys
        {6 + 301, "Key: 301 has registered 24 times"},  // the sweep's first key
        {6 + 309, "Key: 309 has registered 38 times"},
        {6 + 493, "Key: 493 has registered 38 times"},
        {6 + 799, "Key: 799 has registered 2 times"},
    };
    for (const Line& line : known)
        EXPECT_EQ(lines[line.index], line.text) << "line " << line.index + 1;
    for (const size_t empty : {1u, 3u, 5u, 806u, 807u})
        EXPECT_EQ(lines[empty], "") << "line " << empty + 1;

    // Keys per hit count; every value not listed has no key.
    const int keysWithValue[][2] = {{0, 88},  {2, 187}, {4, 169}, {6, 131}, {8, 67},
                                    {10, 51}, {12, 24}, {14, 30}, {16, 10}, {18, 15},
                                    {20, 3},  {22, 8},  {24, 1},  {26, 2},  {28, 1},
                                    {30, 1},  {32, 6},  {34, 2},  {36, 1},  {38, 3}};
    int keys[800] = {};
    for (const auto& [value, count] : keysWithValue) keys[value] = count;
    // The key lines are in order and their counts give that same histogram.
    int counted[800] = {};
    for (int key = 0; key < 800; ++key) {
        const std::string& line = lines[6 + static_cast<size_t>(key)];
        const std::string prefix = "Key: " + std::to_string(key) + " has registered ";
        ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
        ASSERT_EQ(line.substr(line.size() - 6), " times") << line;
        const int hits = std::stoi(line.substr(prefix.size()));
        ASSERT_TRUE(hits >= 0 && hits < 800) << line;
        ++counted[hits];
    }
    for (int value = 0; value < 800; ++value) {
        EXPECT_EQ(counted[value], keys[value]) << "keys with value " << value;
        EXPECT_EQ(lines[808 + static_cast<size_t>(value)],
                  "There were " + std::to_string(keys[value]) + " keys with value " +
                      std::to_string(value));
    }
}

}  // namespace
