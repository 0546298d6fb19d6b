#include "cache_key.hpp"

#include <algorithm>
#include <iterator>

const char* const imagesName[20] = {
    "caneBagnato", "faro", "nuvole", "OcchioDeforme", "PianetiBelli", "test", "tizizAlMare", "tree",
};

const int32_t commonWidth[6] = {800, 1080, 720, 480, 600, 540};
const int32_t commonHeight[5] = {1920, 1024, 1280, 854, 960};

static_assert(sizeof("\0hidden") == 8);
const char* const socket_path = "\0hidden";

namespace {

// Name bytes take part in the arithmetic as signed bytes, whatever the
// signedness of plain char on this platform.
uint32_t signedByte(char c) {
    return static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(c)));
}

}  // namespace

int32_t hashFunction(image_descriptor d) {
    // The key is defined with 32-bit wrap-around, so every step is done in
    // uint32_t and the sum only turns signed again for the remainders.
    const uint32_t c0 = signedByte(d.name[0]);
    const uint32_t c1 = signedByte(d.name[1]);
    // Bounded by the field, so a name that lost its terminator cannot make us
    // read into the rest of the record.
    const auto length = static_cast<uint32_t>(
        std::find(std::begin(d.name), std::end(d.name), '\0') - std::begin(d.name));
    const uint32_t p = static_cast<uint32_t>(static_cast<int32_t>(d.param));
    const uint32_t w = d.width;
    const uint32_t h = d.height;

    uint32_t s = 11u * c0;
    s += h * w;
    s *= p + 1u;
    // Remainders truncate toward zero, so a negative operand keeps its sign.
    const int32_t spread = static_cast<int32_t>((c0 + c1) * w) % 7;
    s += static_cast<uint32_t>(spread) + 1u;
    s += length;
    return static_cast<int32_t>(s) % HASH_KEYS;
}
