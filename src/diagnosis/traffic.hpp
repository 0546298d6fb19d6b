// Why a key crowds the traffic replayed, from the stream's distinct descriptors
// and their keys: how often the pairs that differ in one field alone share a
// key, against a uniformly random key function; and the values of a field whose
// descriptors fall on far fewer keys than such a function would spread them over.
#pragma once

#include "diagnosis.hpp"
#include "keysets.hpp"

#include <array>
#include <cstdint>
#include <vector>

// The keyed fields, in the record's order, as the traffic's figures name them.
inline constexpr int32_t TRAFFIC_FIELDS = 5;
enum traffic_field_name : int32_t { T_NAME, T_PARAM, T_WIDTH, T_HEIGHT, T_FLAG };
inline constexpr std::array<const char*, TRAFFIC_FIELDS> TRAFFIC_FIELD_NAMES = {
    "name", "param", "width", "height", "flag"};

// The pairs of requested descriptors that differ in one field alone, and those
// of them on one key; a cause as over the sweep: every pair on one key, or twice
// as many as random and more than three Poisson deviations above it.
struct traffic_sharing {
    int64_t pairs;
    int64_t sharedPairs;
    double randomPairs;  // pairs / HASH_KEYS
    double ratio;        // sharedPairs / randomPairs; 0 where there are no pairs
    bool neverRead;      // pairs, and every one on one key
    bool cause;
};

// A field's value whose descriptors fall on few keys: `descriptors` of them,
// carrying `requests` requests, on `keys` keys, where a uniformly random key
// function uses randomKeys on average and as few with a chance of `chance`.
struct crowding_value {
    int32_t field;
    int32_t number;              // the value of a field of numbers
    char name[IMAGE_NAME_SIZE];  // the value of the name, zero-filled
    int32_t descriptors;
    int64_t requests;
    int32_t keys;
    double randomKeys;
    double chance;
};

// A value is named when its descriptors fall on far fewer keys than a uniformly
// random key function spreads as many over, at most half as many on average,
// and such a function puts them on as few with a chance below CROWDING_CHANCE
// over the values weighed (each value of each field with two descriptors or
// more): so it has some value named with a chance of at most CROWDING_CHANCE.
inline constexpr double CROWDING_CHANCE = UNLIKELY;

struct traffic_figures {
    int32_t descriptors;  // the requested descriptors whose key lies within the table
    int64_t requests;     // their requests
    std::array<traffic_sharing, TRAFFIC_FIELDS> fields;
    int32_t valuesWeighed;
    std::vector<crowding_value> crowding;  // the values named, by their requests, most first
};

// The traffic's figures for one key table: descriptor i is fields[i], its key
// keys[i] and its requests requestsOf[i], i < count. Descriptors never requested,
// or whose key lies outside the table, are left out.
traffic_figures measureTraffic(const packed_descriptor* fields, const int32_t* keys,
                               const int64_t* requestsOf, int32_t count);

// A value as the text and the files give it: a number, or a name as C writes it.
struct value_text {
    char text[112];
};
value_text valueText(const crowding_value& value);

// P(a uniformly random key function puts n descriptors on at most k keys).
double fewKeysChance(int32_t n, int32_t k);

// The keys a uniformly random key function puts n descriptors on, on average.
double randomKeysFor(int32_t n);
