// The stream of requests the replay runs through the cache: the owner's, read
// from their file (requests.hpp), or the default stream (keysets.hpp). Each
// distinct descriptor is kept once, 26 bytes; each request is the index of its
// descriptor, 4 bytes.
#pragma once

#include "keysets.hpp"

#include <cstdint>
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
