// Inputs beyond the catalogue: a seeded generator of the project's own, so that
// every target and standard library draws the same numbers; descriptors over
// the whole domain of every keyed field; and which of their bytes reach a key.
#pragma once

#include "distribution.hpp"

#include <array>
#include <cstdint>

// splitmix64 (Steele, Lea and Flood, 2014): the next output of the stream whose
// state is given, which it advances.
uint64_t nextRandom(uint64_t& state);

// A number in 0 .. bound - 1 from the stream's next output: its high 32 bits
// times bound, over 2^32 (bound >= 1).
uint32_t randomBelow(uint64_t& state, uint32_t bound);

// The domain's descriptor at index: every keyed field drawn over its whole range,
// from a stream of its own. The name has 1 to IMAGE_NAME_SIZE - 1 bytes, each
// 0x01..0xFF; one in four is instead UTF-8 of non-ASCII letters (at least 2 bytes).
// param is -128..127, width and height 0..65535, flag 0..255. The name field is
// zero-filled past the name; payload is untouched.
void fillDomainDescriptor(int32_t index, image_descriptor& d);

// The keysets beyond the sweep. The first KEYSETS are generated, each
// KEYSET_DESCRIPTORS descriptors, about 30 per key: names, KEYSET_NAMES generated
// names shaped like image file names (letters, digits, _ and -, 4 to 19
// characters, all distinct) over the sweep's params, widths, heights and flags;
// near, as many names close to one another, in groups of four: a name, one with
// one character changed, one with two adjacent ones changed, and one that shares
// its first two characters and its length; and domain, every keyed field over its
// whole range. The last, requests, is the owner's: the distinct descriptors of
// the requests replayed, where their file is given.
enum keyset : int32_t { KEYSET_NAMES_SET, KEYSET_NEAR, KEYSET_DOMAIN, KEYSET_REQUESTS };
inline constexpr int32_t KEYSETS = 3;
inline constexpr int32_t MOST_KEYSETS = KEYSETS + 1;
inline constexpr std::array<const char*, MOST_KEYSETS> KEYSET_TITLES = {"names", "near", "domain",
                                                                        "requests"};
// The catalogue's sweep, as the figures name it beside the keysets.
inline constexpr const char* SWEEP_TITLE = "sweep";
inline constexpr int32_t KEYSET_NAMES = 40;
inline constexpr int32_t NAME_VARIANTS = SWEEP_PARAMS * SWEEP_WIDTHS * SWEEP_HEIGHTS * SWEEP_FLAGS;
inline constexpr int32_t KEYSET_DESCRIPTORS = KEYSET_NAMES * NAME_VARIANTS;
static_assert(KEYSET_DESCRIPTORS == 24000 && KEYSET_DESCRIPTORS >= 30 * HASH_KEYS);
static_assert(KEYSET_NAMES % 4 == 0, "near's names come in groups of four");

// The generated names of names or near (unused for domain), each zero-filled.
struct keyset_names {
    char names[KEYSET_NAMES][IMAGE_NAME_SIZE];
};
void makeKeysetNames(int32_t keyset, keyset_names& names);

// A descriptor's keyed fields in 26 bytes, as the owner's requests keep each
// distinct one: the name zero-filled.
struct packed_descriptor {
    char name[IMAGE_NAME_SIZE];
    int8_t param;
    uint8_t flag;
    uint16_t width;
    uint16_t height;
};
static_assert(sizeof(packed_descriptor) == 26);

// Where a keyset's descriptors come from: for names and near, their names; for
// requests, the owner's distinct descriptors. descriptors: how many it holds.
struct keyset_source {
    int32_t keyset;
    const keyset_names* names;
    const packed_descriptor* requested;
    int32_t descriptors;
};

// The keyset's descriptor at index, 0 .. descriptors - 1: for names and near,
// name index / NAME_VARIANTS with the sweep's params, widths, heights and flags
// in the sweep's order; for domain, fillDomainDescriptor's; for requests, the
// owner's. payload is untouched.
void fillKeysetDescriptor(const keyset_source& source, int32_t index, image_descriptor& d);

// A descriptor's keyed fields, packed.
packed_descriptor packedFields(const image_descriptor& d);

// The bytes whose reach is measured: each of the name's, the name's length, the
// other keyed fields' (width and height low byte first), and one byte of the
// payload, which no key may read.
inline constexpr int32_t NAME_BYTES = static_cast<int32_t>(IMAGE_NAME_SIZE) - 1;
enum reach_byte : int32_t {
    BYTE_LENGTH = NAME_BYTES,  // name[0] .. name[18] come first
    BYTE_PARAM,
    BYTE_WIDTH_LOW,
    BYTE_WIDTH_HIGH,
    BYTE_HEIGHT_LOW,
    BYTE_HEIGHT_HIGH,
    BYTE_FLAG,
    BYTE_PAYLOAD,
    REACH_BYTES
};
// The byte's name as the output gives it: "name[0]", "length", "width[1]", ...
struct byte_name {
    char text[24];
};
byte_name reachByteName(int32_t byte);

// How often a change of one byte changed the key. Each byte is changed in
// REACH_SAMPLES descriptors of the domain that can hold the change, to a random
// other value: a name byte to another nonzero one, so the length stays; the
// length by one byte at the name's end, grown or shrunk, never at name[0] or
// name[1]. The payload is changed one byte at a random place in half of its
// samples, and whole, every byte of it, in the other half, so that a key that
// reads any of its bytes, however few, is caught.
inline constexpr int32_t REACH_SAMPLES = 256;
static_assert(REACH_SAMPLES % 2 == 0, "half the payload's samples change one byte, half all");
struct byte_reach {
    int32_t changes;
    int32_t changed;  // of them, those that changed the key
};
using reach_table = std::array<byte_reach, REACH_BYTES>;

// The reach of one key function over the bytes firstByte .. endByte - 1, into
// those rows of reach; d is the record the samples are made in, whose payload
// must be all zero, as it is left.
void measureReach(key_function key, int32_t firstByte, int32_t endByte, image_descriptor& d,
                  reach_table& reach);

// Whether each keyed byte reaches the key, and no payload byte does.
inline bool readsEveryKeyedByte(const reach_table& reach) {
    for (int32_t byte = 0; byte < BYTE_PAYLOAD; ++byte)
        if (reach[static_cast<std::size_t>(byte)].changed == 0) return false;
    return true;
}

// The keyed bytes that never reached the key, runs of the name's as one:
// "name[2..18], flag"; "" where every one did.
struct byte_list {
    char text[192];
};
byte_list unreachedBytes(const reach_table& reach);

// The default stream, which the replay runs without the owner's requests: an
// illustration, the same on every target. DEFAULT_REQUESTS requests over the
// names keyset, each an image drawn by Zipf with exponent ZIPF_EXPONENT over the
// keyset's names in a seeded order, then one of its NAME_VARIANTS variants by
// Zipf over a seeded ranking of its own (docs/replay.md). request_stream is
// stream.hpp's.
struct request_stream;
inline constexpr int32_t DEFAULT_REQUESTS = 240000;
inline constexpr double ZIPF_EXPONENT = 0.99;
void makeDefaultStream(request_stream& stream);
