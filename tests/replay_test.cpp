#include "replay.hpp"
#include "keysets.hpp"
#include "requests.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The requests of a pattern of descriptors given as letters: "ABAB" is 0 1 0 1.
std::vector<int32_t> lettered(const char* pattern) {
    std::vector<int32_t> requests;
    for (const char* letter = pattern; *letter != '\0'; ++letter) requests.push_back(*letter - 'A');
    return requests;
}

// 801 descriptors requested in a loop, twice: 0 .. 800, 0 .. 800.
std::vector<int32_t> loopTwice() {
    std::vector<int32_t> requests;
    for (int32_t pass = 0; pass < 2; ++pass)
        for (int32_t descriptor = 0; descriptor <= HASH_KEYS; ++descriptor)
            requests.push_back(descriptor);
    return requests;
}

TEST(Replay, KnownAnswers) {
    // Worked by hand, the random key's expectation with Python's fractions: each request of a
    // descriptor seen before, u others between, hits a random key's cache with probability
    // P(Binomial(u, 1/800) < ways).
    struct Row {
        const char* what;
        std::vector<int32_t> requests;
        std::vector<int32_t> keys;  // by descriptor
        int32_t ways;
        int64_t hits, outside, lru, limit;
        double random;
    };
    std::vector<int32_t> keyOfLoop;  // 800 shares key 0 with 0
    for (int32_t descriptor = 0; descriptor <= HASH_KEYS; ++descriptor)
        keyOfLoop.push_back(descriptor % HASH_KEYS);
    const Row rows[] = {
        // One key for both, one record: each request pushes the other out. Any cache of 800
        // records holds both; a random key parts them but with 1/800 each time: 3 x 799/800.
        {"a constant key, 1 record", lettered("ABABA"), {0, 0}, 1, 0, 0, 3, 3, 2.99625},
        {"a constant key, 2 records", lettered("ABABA"), {0, 0}, 2, 3, 0, 3, 3, 3},
        {"a key that parts the two", lettered("ABABA"), {0, 1}, 1, 3, 0, 3, 3, 2.99625},
        // A hit makes its record the most recent: C pushes B out, not A.
        {"a hit reorders the element", lettered("ABACA"), {0, 0, 0}, 2, 2, 0, 2, 2, 2},
        // A key outside the table is a miss, stored nowhere: A never hits.
        {"a key outside the table", lettered("ABABA"), {800, 1}, 1, 1, 3, 3, 3, 2.99625},
        {"a negative key", lettered("ABABA"), {-1, 1}, 1, 1, 3, 3, 3, 2.99625},
        // 801 in a loop through 800 records: LRU always drops the next one wanted; Belady keeps
        // 799 of them, drops one never wanted again for 799 and has 800 (1 + 799 hits); the key
        // loses only 0 and 800, which share key 0. A random key: 801 x P(Binomial(800, 1/800) < 1).
        {"801 in a loop, 1 record", loopTwice(), keyOfLoop, 1, 799, 0, 0, 800, 294.4871667514054},
        // Two records a key: room for all, but a random key still crowds some.
        {"801 in a loop, 2 records", loopTwice(), keyOfLoop, 2, 801, 0, 801, 801,
         589.3429031733383},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const auto descriptors = static_cast<int32_t>(row.keys.size());
        const replay_count counted = replayKeys(row.requests, row.keys.data(), row.ways);
        EXPECT_EQ(counted.hits, row.hits);
        EXPECT_EQ(counted.outside, row.outside);
        const stack_figures stack = measureStackDistances(row.requests, descriptors, row.ways);
        EXPECT_EQ(stack.lruHits, row.lru);
        EXPECT_NEAR(stack.randomHits, row.random, 1e-12 * row.random);
        EXPECT_EQ(limitHits(row.requests, descriptors, int64_t{HASH_KEYS} * row.ways), row.limit);
    }
}

TEST(Replay, TheDefaultStream) {
    // From an independent model in Python, written from docs/replay.md alone: the stream's first
    // requests, a random key's exact expectation (to 48 digits; here 1e-12 relative), the 30
    // random tables' mean (exactly a fraction) and sample sd, LRU and Belady.
    request_stream stream{};
    makeDefaultStream(stream);
    EXPECT_EQ(stream.requests.size(), 240000u);
    EXPECT_EQ(stream.distinctCount, 18626);
    const std::vector<int32_t> first(stream.requests.begin(), stream.requests.begin() + 10);
    EXPECT_EQ(first, (std::vector<int32_t>{3861, 11236, 11011, 3972, 754, 14101, 9543, 11642, 23484,
                                           3699}));
    struct Row {
        int32_t ways;
        double random, mean, sd;
        int64_t lru, limit;
    };
    const Row rows[] = {
        {1, 92155.994741640938364769553359, 1382401.0 / 15, 1147.229855011577467, 109084, 160847},
        {2, 127656.052790474176403594169215, 127625.9, 616.749954922212965, 138091, 181922},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.ways << " records a key");
        replay_baselines baselines{};
        std::vector<replay_count> counts;
        replayEverything(2, stream.requests, stream.descriptors, {}, row.ways, baselines, counts);
        EXPECT_NEAR(baselines.randomHits, row.random, 1e-12 * row.random);
        EXPECT_NEAR(baselines.randomMean, row.mean, 1e-12 * row.mean);
        EXPECT_NEAR(baselines.randomSd, row.sd, 1e-12 * row.sd);
        EXPECT_EQ(baselines.lruHits, row.lru);
        EXPECT_EQ(baselines.limitHits, row.limit);
        // The sampled mean lies within three standard errors of the exact expectation.
        EXPECT_LE(std::fabs(baselines.randomMean - baselines.randomHits),
                  3 * baselines.randomSd / std::sqrt(RANDOM_TABLES));
    }
}

// A name field as CSV writes it: quoted, each double quote within doubled.
std::string csvField(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

// A request file's text, read as the diagnosis reads --requests.
bool readText(const std::string& text, request_stream& stream, request_refusal& refusal) {
    std::FILE* in = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    if (in == nullptr) return false;
    const bool read = readRequestsFrom(in, "r.csv", stream, refusal);
    std::fclose(in);
    return read;
}

TEST(Requests, Refusals) {
    // Each fault: the first line that has it, and how many lines share it (same fault, same
    // column); a fault of the whole file has no count.
    struct Row {
        std::string file;
        const char* refusal;
    };
    const std::string header = "name,param,width,height,flag\n";
    const Row rows[] = {
        {"",
         "r.csv:1: no header: the file is empty, and must name the columns name, param, width,"
         " height and flag"},
        {"faro,1,2,3,0\n",
         "r.csv:1: no header: the first line must name the columns name, param,"
         " width, height and flag, in any order"},
        {"name,param,width,flag\nfaro,1,2,0\n", "r.csv:1: the header names no column height"},
        {"name,param,name,width,height,flag\n", "r.csv:1: the header names the column name twice"},
        {"name,param,width,height,flag\n\n", "r.csv:3: no requests after the header"},
        {"name,param,width,height,flag\nfaro,1,2,3\nfaro,1,2,3,0,9\n",
         "r.csv:2: a row of 4 fields; the header has 5 (2 lines of the file have this fault)"},
        {"name,param,width,height,flag\nfaro,x,2,3,0\nfaro,1,2,3,0\nfaro,3.5,2,3,0\n",
         "r.csv:2: param \"x\" is not a whole number (2 lines of the file have this fault)"},
        {"name,param,width,height,flag\nfaro,1,2,,0\n",
         "r.csv:2: height \"\" is not a whole number (1 line of the file has this fault)"},
        {"name,param,width,height,flag\nfaro,128,2,3,0\nfaro,-129,2,3,0\nfaro,1,65536,3,0\n",
         "r.csv:2: param 128 is outside -128..127 (2 lines of the file have this fault)"},
        {"name,param,width,height,flag\nfaro,1,2,3,256\n",
         "r.csv:2: flag 256 is outside 0..255 (1 line of the file has this fault)"},
        {"name,param,width,height,flag\nabcdefghijklmnopqrst,1,2,3,0\n",
         "r.csv:2: name holds 20 bytes; a name holds at most 19 (1 line of the file has this "
         "fault)"},
        // In C's form the bytes count, not the characters: 2 + 18.
        {header + csvField(R"("\xc3\xb1" "ghijklmnopqrstuvwx")") + ",1,2,3,0\n",
         "r.csv:2: name holds 20 bytes; a name holds at most 19 (1 line of the file has this "
         "fault)"},
        {header + csvField(R"("a\0b")") + ",1,2,3,0\n",
         "r.csv:2: name holds a zero byte (1 line of the file has this fault)"},
        {header + csvField(R"("\q")") + ",1,2,3,0\n",
         "r.csv:2: name \\q is an escape C would not read (1 line of the file has this fault)"},
        {header + csvField(R"("\x")") + ",1,2,3,0\n",
         "r.csv:2: name \\x has no hex digit: an escape C would not read (1 line of the file has "
         "this"
         " fault)"},
        // C reads every hex digit after \x: the diagnosis breaks its strings where one follows.
        {header + csvField(R"("\xc3\xb1abc")") + ",1,2,3,0\n",
         "r.csv:2: name \\xb1abc is out of range: an escape C would not read (1 line of the file "
         "has"
         " this fault)"},
        {header + csvField(R"("ab)") + ",1,2,3,0\n",
         "r.csv:2: name has a C string literal that never ends (1 line of the file has this "
         "fault)"},
        {header + csvField(R"("ab" x)") + ",1,2,3,0\n",
         "r.csv:2: name holds text between its C string literals (1 line of the file has this "
         "fault)"},
        {"name,param,width,height,flag\n\"faro\"x,1,2,3,0\n",
         "r.csv:2: text after a quoted field's closing quote (1 line of the file has this fault)"},
        {"name,param,width,height,flag\nfaro,1,2,3,0\n\"faro,1,2,3,0\n",
         "r.csv:3: a quoted field that never ends"},
        // The first fault in the file is told, whatever its kind.
        {"name,param,width,height,flag\nfaro,1,2,3,0\nfaro,1,2\nfaro,999,2,3,0\nfaro,1,2\n",
         "r.csv:3: a row of 3 fields; the header has 5 (2 lines of the file have this fault)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        request_stream stream{};
        request_refusal refusal{};
        EXPECT_FALSE(readText(row.file, stream, refusal));
        EXPECT_EQ(std::string(refusal.text), std::string("hashFunctionDiagnosis: ") + row.refusal);
        EXPECT_TRUE(stream.requests.empty());
    }
}

TEST(Requests, WhatIsRead) {
    // Each file's requests, as descriptor indices in the order first seen, and its distinct
    // descriptors' names (their bytes; none of the fields is the same for two).
    struct Row {
        const char* what;
        std::string file;
        std::vector<int32_t> requests;
        std::vector<std::string> names;
    };
    const Row rows[] = {
        {"columns in another order, another column, CRLF, a byte-order mark",
         "\xEF\xBB\xBFts,flag,height,width,param,name\r\n1,0,3,2,1,faro\r\n2,1,3,2,1,faro\r\n"
         "3,0,3,2,1,faro\r\n",
         {0, 1, 0},
         {"faro", "faro"}},
        {"a name pasted back from the diagnosis: C string literals, quoted as CSV",
         "name,param,width,height,flag\n\"\"\"\\xc3\\xb1\"\" "
         "\"\"and\\xc3\\xba\"\"\",-128,0,65535,255\n"
         "\xc3\xb1"
         "and\xc3\xba,-128,0,65535,255\n",
         {0, 0},
         {"\xc3\xb1"
          "and\xc3\xba"}},
        {"every escape C reads, and \\u as UTF-8",
         "name,param,width,height,flag\n" + csvField(R"("\"\\\'\?\a\b\f\n\r\t\v\101\x42\u00e9")") +
             ",1,2,3,4\n",
         {0},
         {"\"\\'?\a\b\f\n\r\t\vAB\xc3\xa9"}},
        {"a quoted field across lines, empty lines, a last line without its line end",
         "name,param,width,height,flag\n\n\"two\nlines\",1,2,3,4\n\nplain,+5,0,0,0",
         {0, 1},
         {"two\nlines", "plain"}},
        {"an empty name", "name,param,width,height,flag\n,0,0,0,0\n\"\",0,0,0,0\n", {0, 0}, {""}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        request_stream stream{};
        request_refusal refusal{};
        ASSERT_TRUE(readText(row.file, stream, refusal)) << refusal.text;
        EXPECT_EQ(stream.requests, row.requests);
        ASSERT_EQ(stream.distinct.size(), row.names.size());
        for (std::size_t index = 0; index < row.names.size(); ++index)
            EXPECT_EQ(std::string(stream.distinct[index].name), row.names[index]);
        EXPECT_EQ(stream.distinctCount, static_cast<int32_t>(row.names.size()));
    }
}

// 400 kB: out of the test's stack frame.
image_descriptor domainRecord;

TEST(Requests, NamesPasteBack) {
    // Every name as the diagnosis writes it in outside.csv and crowd.csv (C's form, quoted as CSV)
    // reads back as the same bytes: the domain's names, over every byte 0x01..0xFF and UTF-8.
    constexpr int32_t NAMES = 4000;
    std::string file = "name,param,width,height,flag\n";
    std::vector<std::string> written;
    for (int32_t index = 0; index < NAMES; ++index) {
        fillDomainDescriptor(index, domainRecord);
        written.emplace_back(domainRecord.name);
        file += csvField(escapeName(domainRecord.name).text) + ",0,0,0," +
                std::to_string(index % 256) + "\n";
    }
    request_stream stream{};
    request_refusal refusal{};
    ASSERT_TRUE(readText(file, stream, refusal)) << refusal.text;
    ASSERT_EQ(stream.requests.size(), written.size());
    for (std::size_t index = 0; index < written.size(); ++index)
        EXPECT_EQ(
            std::string(stream.distinct[static_cast<std::size_t>(stream.requests[index])].name),
            written[index]);
}

}  // namespace
