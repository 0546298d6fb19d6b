// The owner's requests, read from their CSV file (docs/replay.md) for the replay
// to run through the cache; the default stream, which stands in for them
// without --requests, is drawn beside the keysets (keysets.hpp). Each distinct
// descriptor is kept once, 26 bytes; each request is the index of its
// descriptor, 4 bytes.
#pragma once

#include "csv.hpp"
#include "keysets.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Requests whose width or height lies past the sweep's selectors (0 .. 5 and
// 0 .. 4, one per entry of commonWidth and commonHeight), and the largest such.
struct past_selectors {
    int64_t requests;
    int32_t largest;
};

// What an owner's file held that the catalogue's sweep never makes, told beside
// the replay: widths and heights past its selectors, and names cut to fit.
struct request_notes {
    past_selectors widths;
    past_selectors heights;
    int64_t cutRequests;  // requests whose name was cut to the field's 19 bytes (--cut-names)
    int32_t cutNames;     // the distinct names, as kept, that a cut made
};

struct request_stream {
    // The owner's requests, read from their file; else the default stream, whose
    // requests index the names keyset's descriptors and which keeps none itself.
    bool owners;
    std::string origin;  // the owner's file as the command line names it, control bytes as \xNN
    std::vector<packed_descriptor> distinct;  // the owner's, in the order first requested
    std::vector<int32_t> requests;            // each request's descriptor, in the order received
    int32_t descriptors;    // what the requests index: distinct's size, or the names keyset's
    int32_t distinctCount;  // the descriptors requested at least once
    request_notes notes;
};

// The most requests a stream holds. A row of a request file holds at most
// MOST_ROW_BYTES (csv.hpp).
inline constexpr int64_t MOST_REQUESTS = INT32_MAX;

// What the command line chose of the reading: --cut-names.
struct request_choices {
    bool cutNames;
};

// Reads the owner's requests from the file at path, or from standard input for
// "-". Returns 0, or 2 after the refusal below on stderr, one line.
int readRequests(const char* path, const request_choices& choices, request_stream& stream);

// The same from an open file, named `shown` in the refusal. Returns true, or
// false with stream empty and refusal one line, without its line end:
//   "hashFunctionDiagnosis: FILE:LINE: why (N lines of the file have this fault)"
// for a fault of a row: the first row with a fault, where it starts, and the
// rows with the same fault in the same column;
//   "hashFunctionDiagnosis: FILE:LINE: why" for a fault of the whole file (its
// header, a quoted field that never ends, no requests, too many, a row past
// MOST_ROW_BYTES, after which nothing more is read);
//   "hashFunctionDiagnosis: FILE: cannot read it: REASON".
// Every byte quoted from the file is in C's form; control bytes of FILE are
// written \xNN. Whatever the file holds, the reader holds the requests and the
// distinct descriptors it keeps, and beside them a window: a read buffer of
// 1 MiB and one row of at most MOST_ROW_BYTES.
bool readRequestsFrom(std::FILE* in, const char* shown, const request_choices& choices,
                      request_stream& stream, std::string& refusal);
