#include "requests.hpp"
#include "request_corners.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A request file's bytes, read as the diagnosis reads --requests, named shown.
bool readText(const std::string& text, bool cutNames, request_stream& stream, std::string& refusal,
              const char* shown = "r.csv") {
    std::FILE* in = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    if (in == nullptr) return false;
    const bool read = readRequestsFrom(in, shown, {cutNames}, stream, refusal);
    std::fclose(in);
    return read;
}

TEST(Requests, Corners) {
    for (const request_corner& corner : requestCorners()) {
        SCOPED_TRACE(corner.what);
        request_stream stream{};
        std::string refusal;
        const bool read = readText(corner.file, corner.cutNames, stream, refusal);
        if (!corner.refusal.empty()) {
            EXPECT_FALSE(read);
            EXPECT_EQ(refusal, "hashFunctionDiagnosis: r.csv:" + corner.refusal);
            EXPECT_TRUE(stream.requests.empty() && stream.distinct.empty());
            continue;
        }
        ASSERT_TRUE(read) << refusal;
        ASSERT_EQ(stream.requests.size(), corner.requests.size());
        // Each request's descriptor as expected; the distinct ones each once, in the order
        // first requested.
        int32_t distinct = 0;
        for (std::size_t index = 0; index < corner.requests.size(); ++index) {
            const corner_request& expected = corner.requests[index];
            const int32_t found = stream.requests[index];
            ASSERT_GE(found, 0);
            ASSERT_LE(found, distinct);
            distinct += found == distinct ? 1 : 0;
            const packed_descriptor& d = stream.distinct[static_cast<std::size_t>(found)];
            EXPECT_EQ(std::string(d.name, strnlen(d.name, sizeof d.name)), expected.name);
            EXPECT_EQ(d.name[sizeof d.name - 1], '\0');
            EXPECT_EQ(d.param, expected.param);
            EXPECT_EQ(d.width, expected.width);
            EXPECT_EQ(d.height, expected.height);
            EXPECT_EQ(d.flag, expected.flag);
        }
        EXPECT_EQ(stream.distinct.size(), static_cast<std::size_t>(distinct));
        EXPECT_EQ(stream.descriptors, distinct);
        EXPECT_EQ(stream.distinctCount, distinct);
    }
}

TEST(Requests, DescriptorsThatDifferInOneFieldAreKeptApart) {
    // For each field, descriptors that differ in it alone: 4000 names, every param, 4000 widths,
    // 4000 heights, every flag; each requested twice, and each its own descriptor.
    for (int32_t field = 0; field < 5; ++field) {
        SCOPED_TRACE(field);
        const int32_t count = field == 1 || field == 4 ? 256 : 4000;
        std::string file = "name,param,width,height,flag\n";
        for (int32_t pass = 0; pass < 2; ++pass)
            for (int32_t value = 0; value < count; ++value) {
                const int32_t other[5] = {0, field == 1 ? value - 128 : 7, field == 2 ? value : 5,
                                          field == 3 ? value : 4, field == 4 ? value : 1};
                file += field == 0 ? 'n' + std::to_string(value) + ',' : std::string("same,");
                for (int32_t column = 1; column < 5; ++column)
                    file += std::to_string(other[column]) + (column < 4 ? "," : "\n");
            }
        request_stream stream{};
        std::string refusal;
        ASSERT_TRUE(readText(file, false, stream, refusal)) << refusal;
        ASSERT_EQ(stream.distinct.size(), static_cast<std::size_t>(count));
        for (int32_t request = 0; request < 2 * count; ++request)
            ASSERT_EQ(stream.requests[static_cast<std::size_t>(request)], request % count);
    }
}

TEST(Requests, WhatTheFileHeldBeyondTheCatalogue) {
    // Widths past 0..5 and heights past 0..4 counted by request, with the largest; names cut by
    // --cut-names counted by request and by distinct name as kept: three long names that share
    // their first 19 bytes are one, and a 19-byte name equal to their cut is no cut.
    const std::string file =
        "name,param,width,height,flag\n"
        "abcdefghijklmnopqrsTUV,0,5,4,0\n"
        "abcdefghijklmnopqrsXYZ,0,6,4,0\n"
        "abcdefghijklmnopqrsXYZ,0,1080,5,0\n"
        "abcdefghijklmnopqrs,0,0,1920,0\n"
        "0123456789012345678999,0,0,0,0\n";
    request_stream stream{};
    std::string refusal;
    ASSERT_TRUE(readText(file, true, stream, refusal)) << refusal;
    EXPECT_EQ(stream.notes.widths.requests, 2);
    EXPECT_EQ(stream.notes.widths.largest, 1080);
    EXPECT_EQ(stream.notes.heights.requests, 2);
    EXPECT_EQ(stream.notes.heights.largest, 1920);
    EXPECT_EQ(stream.notes.cutRequests, 4);
    EXPECT_EQ(stream.notes.cutNames, 2);
}

TEST(Requests, RefusalsAreOneWholeLine) {
    // A path of 4000 characters, one with a line feed: the refusal is whole, on one line.
    const std::string fault = "name,param,width,height,flag\nfaro,x,2,3,0\n";
    const std::string path = std::string(3990, 'p') + "/r\nq.csv";
    request_stream stream{};
    std::string refusal;
    ASSERT_FALSE(readText(fault, false, stream, refusal, path.c_str()));
    EXPECT_EQ(refusal, "hashFunctionDiagnosis: " + std::string(3990, 'p') +
                           "/r\\x0aq.csv:2: param \"x\" is not a whole number (1 line of the file"
                           " has this fault)");
}

// 400 kB: out of the test's stack frame.
image_descriptor domainRecord;

TEST(Requests, NamesPasteBack) {
    // Every name as the diagnosis writes it in crowd.csv (C's form, quoted as CSV) reads back as
    // the same bytes: the domain's names, over every byte 0x01..0xFF and UTF-8.
    constexpr int32_t NAMES = 4000;
    std::string file = "name,param,width,height,flag\n";
    std::vector<std::string> written;
    for (int32_t index = 0; index < NAMES; ++index) {
        fillDomainDescriptor(index, domainRecord);
        written.emplace_back(domainRecord.name);
        std::string field = "\"";
        const escaped_name escaped = escapeName(domainRecord.name);
        for (const char* c = escaped.text; *c != '\0'; ++c)
            field += *c == '"' ? std::string("\"\"") : std::string(1, *c);
        file += field + "\",0,0,0," + std::to_string(index % 256) + "\n";
    }
    request_stream stream{};
    std::string refusal;
    ASSERT_TRUE(readText(file, false, stream, refusal)) << refusal;
    ASSERT_EQ(stream.requests.size(), written.size());
    for (std::size_t index = 0; index < written.size(); ++index)
        EXPECT_EQ(
            std::string(stream.distinct[static_cast<std::size_t>(stream.requests[index])].name),
            written[index]);
}

}  // namespace
