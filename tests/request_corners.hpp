// The corners of a request file: each a small file's bytes and what it reads as,
// its requests or its refusal, worked by hand from docs/replay.md. The unit tests
// hold the reader to every row; the fuzzer starts from the rows' files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A request as read: its descriptor's keyed fields, the name's bytes.
struct corner_request {
    std::string name;
    int32_t param, width, height, flag;
};

struct request_corner {
    const char* what;  // the case
    std::string file;  // the file's bytes
    bool cutNames;     // read with --cut-names
    // What it reads as: every request's descriptor, in order; or, where refusal is
    // not empty, its refusal less "hashFunctionDiagnosis: r.csv:", the file named r.csv.
    std::vector<corner_request> requests;
    std::string refusal;
};

const std::vector<request_corner>& requestCorners();
