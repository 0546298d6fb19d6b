// The owner's requests, read from their CSV file (docs/replay.md) into a stream
// for the replay to run through the cache.
#pragma once

#include "csv.hpp"
#include "stream.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

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
