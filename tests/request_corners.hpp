// Request files at the reader's corners, each with what it is; the fuzzer starts from them
// (tests/fuzz/write_seeds.cpp).
#pragma once

#include <string>
#include <vector>

struct request_corner {
    const char* what;
    std::string file;  // the file's bytes
};

const std::vector<request_corner>& requestCorners();
