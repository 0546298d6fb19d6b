// libFuzzer's target over the request reader (src/diagnosis/requests.hpp). An input is one byte
// of options, whose low bit is cutNames (readFile), then the file's bytes. What the reader
// promises is checked on every input:
//   - a file it accepts holds requests, each the index of a distinct descriptor, the descriptors
//     in the order first requested, their names zero-filled; has no line over 64 KiB (but for a
//     CRLF and a byte-order mark); and reads back the same requests when written out again as a
//     request file (each name in C's form);
//   - a refusal is one line, "hashFunctionDiagnosis: fuzz.csv: ..." or
//     "hashFunctionDiagnosis: fuzz.csv:LINE: ...", LINE one of the file's lines, and the stream
//     keeps no requests;
//   - it throws nothing.
// A breach is reported on stderr, "request_fuzzer: WHAT", and aborts, for libFuzzer to keep the
// input.
#include "distribution.hpp"
#include "keysets.hpp"
#include "requests.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The name the reader is given for the file, as a refusal shows it.
constexpr const char* SHOWN = "fuzz.csv";

// The reader refuses a row over 64 KiB, so that what it holds is bounded. A line is part of one
// row: one longer than this, with room for a CRLF and a byte-order mark, is in a row over 64 KiB.
constexpr std::size_t LONGEST_LINE = 65536 + 5;

std::size_t at(int64_t index) { return static_cast<std::size_t>(index); }

[[noreturn]] __attribute__((format(printf, 1, 2))) void fail(const char* format, ...) {
    std::fputs("request_fuzzer: ", stderr);
    va_list values;
    va_start(values, format);
    std::vfprintf(stderr, format, values);
    va_end(values);
    std::fputc('\n', stderr);
    std::abort();
}

void check(bool holds, const char* what) {
    if (!holds) fail("%s", what);
}

// Text as C would write it, for a report on one line.
std::string shown(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        char piece[8] = {c, '\0'};
        if (byte < 0x20 || byte > 0x7e || c == '"' || c == '\\')
            std::snprintf(piece, sizeof piece, "\\x%02x", byte);
        out += piece;
    }
    return out;
}

struct read_result {
    bool accepted;
    std::string refusal;
};

// The reader's one call: the file's bytes through fmemopen (whose buffer is not const), named
// SHOWN. cutNames: names longer than 19 bytes cut rather than refused.
read_result readFile(std::string& bytes, bool cutNames, request_stream& stream) {
    std::FILE* in = fmemopen(bytes.data(), bytes.size(), "r");
    if (in == nullptr) fail("fmemopen: %s", std::strerror(errno));
    std::string refusal;
    const bool accepted = readRequestsFrom(in, SHOWN, {cutNames}, stream, refusal);
    std::fclose(in);
    if (accepted && !refusal.empty()) fail("an accepted file has a refusal");
    return {accepted, refusal};
}

// readFile; an exception out of the reader is a fault of its own.
read_result readGuarded(std::string& bytes, bool cutNames, request_stream& stream) {
    try {
        return readFile(bytes, cutNames, stream);
    } catch (const std::bad_alloc&) {
        fail("the reader threw std::bad_alloc");
    } catch (const std::exception& e) {
        fail("the reader threw: %s", e.what());
    } catch (...) {
        fail("the reader threw something other than a std::exception");
    }
}

void checkRefusal(const std::string& refusal, const request_stream& stream, std::string_view file) {
    const std::string quoted = shown(refusal);
    if (refusal.empty()) fail("an empty refusal");
    for (const char c : refusal) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f)
            fail("the refusal holds the byte 0x%02x: \"%s\"", byte, quoted.c_str());
    }
    const std::string prefix = std::string("hashFunctionDiagnosis: ") + SHOWN + ":";
    if (refusal.compare(0, prefix.size(), prefix) != 0)
        fail("the refusal does not begin \"%s\": \"%s\"", prefix.c_str(), quoted.c_str());
    // FILE:LINE: or FILE: (a fault of reading, not of a line).
    std::size_t end = prefix.size();
    int64_t line = 0;
    while (end < refusal.size() && refusal[end] >= '0' && refusal[end] <= '9' &&
           end - prefix.size() < 18)
        line = line * 10 + (refusal[end++] - '0');
    if (end > prefix.size()) {
        const int64_t lines = 1 + std::count(file.begin(), file.end(), '\n');
        if (end == refusal.size() || refusal[end] != ':')
            fail("the refusal's line number is not followed by a colon: \"%s\"", quoted.c_str());
        if (line < 1 || line > lines)
            fail("the refusal names line %lld of a file of %lld lines: \"%s\"",
                 static_cast<long long>(line), static_cast<long long>(lines), quoted.c_str());
    }
    if (!stream.requests.empty() || !stream.distinct.empty())
        fail("a refused file's stream keeps %zu requests and %zu descriptors",
             stream.requests.size(), stream.distinct.size());
}

// What an accepted stream holds, whatever the file.
void checkAccepted(const request_stream& stream) {
    const std::size_t distinct = stream.distinct.size();
    check(stream.owners, "an accepted file's stream is not the owner's");
    check(!stream.requests.empty(), "an accepted file holds no requests");
    if (stream.descriptors < 0 || at(stream.descriptors) != distinct)
        fail("descriptors is %d, distinct holds %zu", stream.descriptors, distinct);
    if (stream.distinctCount < 0 || at(stream.distinctCount) != distinct)
        fail("distinctCount is %d, distinct holds %zu", stream.distinctCount, distinct);
    // Each request is a descriptor requested before, or the next one.
    std::size_t firsts = 0;
    for (std::size_t index = 0; index < stream.requests.size(); ++index) {
        const int32_t request = stream.requests[index];
        if (request < 0 || at(request) > firsts || at(request) >= distinct)
            fail("request %zu is descriptor %d, after %zu distinct of %zu", index, request, firsts,
                 distinct);
        if (at(request) == firsts) ++firsts;
    }
    if (firsts != distinct)
        fail("%zu of the %zu descriptors are never requested", distinct - firsts, distinct);
    std::vector<std::string> bytes;
    bytes.reserve(distinct);
    for (const packed_descriptor& d : stream.distinct) {
        const std::size_t length = strnlen(d.name, sizeof d.name);
        if (length == sizeof d.name) fail("a name of %zu bytes, unterminated", sizeof d.name);
        for (std::size_t index = length; index < sizeof d.name; ++index)
            if (d.name[index] != '\0') fail("a name not zero-filled after its %zu bytes", length);
        bytes.emplace_back(reinterpret_cast<const char*>(&d), sizeof d);
    }
    std::sort(bytes.begin(), bytes.end());
    if (std::adjacent_find(bytes.begin(), bytes.end()) != bytes.end())
        fail("a descriptor is kept twice in distinct");
}

// The stream as a request file: the header, then a row per request, its name in C's form quoted
// as CSV, its quotes doubled.
std::string writeFile(const request_stream& stream) {
    std::vector<std::string> rows;
    rows.reserve(stream.distinct.size());
    for (const packed_descriptor& d : stream.distinct) {
        std::string row = "\"";
        const escaped_name name = escapeName(d.name);
        for (const char* c = name.text; *c != '\0'; ++c) {
            if (*c == '"') row += '"';
            row += *c;
        }
        char numbers[64];
        std::snprintf(numbers, sizeof numbers, "\",%d,%d,%d,%d\n", int{d.param}, int{d.width},
                      int{d.height}, int{d.flag});
        rows.push_back(row + numbers);
    }
    std::string file = "name,param,width,height,flag\n";
    for (const int32_t request : stream.requests) file += rows[at(request)];
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const bool cutNames = size > 0 && (data[0] & 1) != 0;
    std::string file =
        size > 0 ? std::string(reinterpret_cast<const char*>(data) + 1, size - 1) : std::string();
    request_stream stream{};
    const read_result first = readGuarded(file, cutNames, stream);
    if (!first.accepted) {
        checkRefusal(first.refusal, stream, file);
        return 0;
    }
    checkAccepted(stream);
    for (std::size_t start = 0; start < file.size();) {
        const std::size_t end = std::min(file.find('\n', start), file.size());
        if (end - start > LONGEST_LINE)
            fail("an accepted file holds a line of %zu bytes, from byte %zu", end - start, start);
        start = end + 1;
    }
    std::string written = writeFile(stream);
    request_stream again{};
    const read_result second = readGuarded(written, cutNames, again);
    if (!second.accepted)
        fail("the accepted file written out again is refused: \"%s\"; written: \"%s\"",
             shown(second.refusal).c_str(), shown(written.substr(0, 400)).c_str());
    checkAccepted(again);
    check(again.distinct.size() == stream.distinct.size() &&
              std::memcmp(again.distinct.data(), stream.distinct.data(),
                          stream.distinct.size() * sizeof(packed_descriptor)) == 0,
          "the file written out again reads as other distinct descriptors");
    check(again.requests == stream.requests, "the file written out again reads as other requests");
    return 0;
}
