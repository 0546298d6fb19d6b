// The key functions compared side by side. To try another, write it here with
// hashFunction's signature and add a row to keyCandidates: the diagnosis's table,
// its figures' files and the picture all take it from there.
#include "candidates.hpp"

#include <algorithm>
#include <iterator>

namespace {

uint32_t unsignedByte(char c) { return static_cast<unsigned char>(c); }

// The name's length: bounded by the field, so that a name that lost its
// terminator cannot make a key read into the rest of the record.
uint32_t nameLength(const image_descriptor& d) {
    return static_cast<uint32_t>(std::find(std::begin(d.name), std::end(d.name), '\0') -
                                 std::begin(d.name));
}

}  // namespace

// hashFunction with its owner's mends: every byte of the name in place of the
// first one and the length, (height + 1) x (width + 1) so that a 0 in one no
// longer wipes out the other, param's byte as 0..255 so that no param wipes out
// the rest, and flag. Unsigned throughout, so every key lies in 0..799.
int32_t mendedKey(image_descriptor d) {
    uint32_t s = 0;
    const uint32_t length = nameLength(d);
    for (uint32_t at = 0; at < length; ++at) s = 11u * s + unsignedByte(d.name[at]);
    s += (d.height + 1u) * (d.width + 1u);
    s *= static_cast<uint8_t>(d.param) + 1u;
    s += (unsignedByte(d.name[0]) + unsignedByte(d.name[1])) * d.width % 7u + 1u;
    s += 400u * d.flag;
    return static_cast<int32_t>(s % static_cast<uint32_t>(HASH_KEYS));
}

// 32-bit FNV-1a (Fowler, Noll and Vo) over every keyed byte: the name through its
// terminator, param, width and height low byte first, and flag; then
// MurmurHash3's 32-bit finalizer (fmix32, Appleby), since FNV-1a's low bits hang
// on its input's low bits alone, and 800 keys take the remainder of 32 = 2^5.
int32_t mixedKey(image_descriptor d) {
    uint32_t hash = 2166136261u;
    const auto mix = [&hash](uint32_t byte) { hash = (hash ^ byte) * 16777619u; };
    const uint32_t length = nameLength(d);
    for (uint32_t at = 0; at < length; ++at) mix(unsignedByte(d.name[at]));
    if (length < IMAGE_NAME_SIZE) mix(0);
    mix(static_cast<uint8_t>(d.param));
    mix(d.width & 0xFFu);
    mix(static_cast<uint32_t>(d.width) >> 8);
    mix(d.height & 0xFFu);
    mix(static_cast<uint32_t>(d.height) >> 8);
    mix(d.flag);
    hash ^= hash >> 16;
    hash *= 0x85EBCA6Bu;
    hash ^= hash >> 13;
    hash *= 0xC2B2AE35u;
    hash ^= hash >> 16;
    return static_cast<int32_t>(hash % static_cast<uint32_t>(HASH_KEYS));
}

constexpr key_candidate keyCandidates[] = {
    {"hashFunction", hashFunction, "the cache's own key function"},
    {"mendedKey", mendedKey,
     "hashFunction reading the whole name and flag, with (height + 1) x (width + 1)"},
    {"mixedKey", mixedKey, "32-bit FNV-1a over every keyed byte, then MurmurHash3's finalizer"},
};
const int32_t candidateCount = static_cast<int32_t>(std::size(keyCandidates));

namespace {

// Names go into the table's columns and into the figures' CSV files unquoted.
constexpr bool isCandidateName(const char* name) {
    int32_t length = 0;
    for (; name[length] != '\0'; ++length) {
        const char c = name[length];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
        if (!letter && !(length > 0 && c >= '0' && c <= '9')) return false;
    }
    return length > 0 && length <= CANDIDATE_NAME_SIZE;
}

constexpr bool isOneLine(const char* text) {
    for (; *text != '\0'; ++text)
        if (*text == '\n' || *text == '\r') return false;
    return true;
}

constexpr bool sameName(const char* first, const char* second) {
    for (; *first != '\0' && *first == *second; ++first, ++second) {
    }
    return *first == *second;
}

constexpr bool tableIsSound() {
    for (const key_candidate& candidate : keyCandidates) {
        if (!isCandidateName(candidate.name) || !isOneLine(candidate.summary)) return false;
        for (const key_candidate& other : keyCandidates)
            if (&other != &candidate && sameName(other.name, candidate.name)) return false;
    }
    return true;
}

}  // namespace

static_assert(std::size(keyCandidates) >= 1 && std::size(keyCandidates) <= MOST_CANDIDATES,
              "keyCandidates holds 1 to MOST_CANDIDATES rows");
static_assert(keyCandidates[0].key == hashFunction, "the first candidate is the cache's own");
static_assert(tableIsSound(),
              "every candidate has a name of its own, of letters, digits and _ (at "
              "most CANDIDATE_NAME_SIZE), and a one-line summary");
