// The requests the replay runs through the cache: the owner's, read from a CSV
// file (docs/replay.md), or the default stream, an illustration drawn over the
// names keyset. Each distinct descriptor is kept once, 26 bytes; each request is
// the index of its descriptor, 4 bytes.
#pragma once

#include "keysets.hpp"

#include <cstdint>
#include <cstdio>
#include <vector>

struct request_stream {
    // The owner's requests, read from their file; else the default stream, whose
    // requests index the names keyset's descriptors and which keeps none itself.
    bool owners;
    const char* origin;                       // the owner's file, as the command line names it
    std::vector<packed_descriptor> distinct;  // the owner's, in the order first requested
    std::vector<int32_t> requests;            // each request's descriptor, in the order received
    int32_t descriptors;    // what the requests index: distinct's size, or the names keyset's
    int32_t distinctCount;  // the descriptors requested at least once
};

// The most requests a stream holds.
inline constexpr int64_t MOST_REQUESTS = INT32_MAX;

// Reads the owner's requests from the file at path, or from standard input for
// "-". Returns 0, or 2 after one line on stderr, the refusal below.
int readRequests(const char* path, request_stream& stream);

// The same from an open file, named `shown` in the refusal; reads to its end.
// Returns true, or false with the refusal: "hashFunctionDiagnosis: FILE:LINE:
// why (N lines of the file have this fault)" for the first fault in the file and
// the lines with the same fault in the same column; "hashFunctionDiagnosis:
// FILE:LINE: why" for a fault of the whole file (its header, no requests); or
// "hashFunctionDiagnosis: FILE: cannot read it: REASON".
struct request_refusal {
    char text[384];
};
bool readRequestsFrom(std::FILE* in, const char* shown, request_stream& stream,
                      request_refusal& refusal);

// A name as a request file writes it: its bytes, or, where it begins with a
// double quote, C string literals one after another, spaces between them, as the
// diagnosis writes names ("\xc3\xb1" "and"). The name, zero-filled, goes into
// name. Returns nullptr, or why the field is no name: "holds a zero byte",
// "holds 23 bytes; a name holds at most 19", or an escape C would not read.
enum name_fault_kind : int32_t { NAME_TOO_LONG, NAME_ZERO_BYTE, NAME_NOT_READ };
struct name_fault {
    name_fault_kind kind;
    char text[96];
};
bool readName(const char* field, std::size_t length, char (&name)[IMAGE_NAME_SIZE],
              name_fault& fault);

// The default stream: DEFAULT_REQUESTS requests over the names keyset, each an
// image drawn by Zipf with exponent ZIPF_EXPONENT over the keyset's names in a
// seeded order, then one of its NAME_VARIANTS variants by Zipf over a seeded
// ranking of its own; from the project's generator, the same on every target.
inline constexpr int32_t DEFAULT_REQUESTS = 240000;
inline constexpr double ZIPF_EXPONENT = 0.99;
void makeDefaultStream(request_stream& stream);
