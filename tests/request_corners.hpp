// Request files at the reader's corners, each with what it is: the tests read them, and the
// fuzzer (tests/fuzz) starts from them.
#pragma once

#include <string>
#include <vector>

struct request_corner {
    const char* what;
    std::string file;  // the file's bytes
};

const std::vector<request_corner>& requestCorners();
