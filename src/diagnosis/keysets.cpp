#include "keysets.hpp"

#include "stream.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <vector>

namespace {

// Each descriptor, and each change of one, draws from a stream of its own,
// seeded from its index: so any of them can be made again alone.
constexpr uint64_t DOMAIN_SEED = 20261209;
constexpr uint64_t REACH_SEED = 1880;
constexpr uint64_t STREAM_STRIDE = 0xD1B54A32D192ED03u;  // odd: every index its own seed

uint64_t streamOf(uint64_t seed, int32_t index) {
    return seed + static_cast<uint64_t>(index) * STREAM_STRIDE;
}

// Non-ASCII letters, each two bytes of UTF-8: ñ ú Ö é ß ç ø ł ğ я λ ж.
constexpr const char* const WIDE_LETTERS[] = {"\xc3\xb1", "\xc3\xba", "\xc3\x96", "\xc3\xa9",
                                              "\xc3\x9f", "\xc3\xa7", "\xc3\xb8", "\xc5\x82",
                                              "\xc4\x9f", "\xd1\x8f", "\xce\xbb", "\xd0\xb6"};
constexpr uint32_t WIDE_LETTER_COUNT = static_cast<uint32_t>(std::size(WIDE_LETTERS));

std::size_t nameLength(const image_descriptor& d) {
    return static_cast<std::size_t>(std::find(std::begin(d.name), std::end(d.name), '\0') -
                                    std::begin(d.name));
}

// A byte 0x01..0xFF other than current: any of the 255 for a 0, else any of the
// 254 others.
char otherNonzeroByte(uint64_t& state, char current) {
    const auto old = static_cast<unsigned char>(current);
    uint32_t byte = 1 + randomBelow(state, old == 0 ? 255 : 254);
    if (old != 0 && byte >= old) ++byte;  // skips old
    return static_cast<char>(static_cast<unsigned char>(byte));
}

// A byte of the other keyed fields, by value, so that width[0] is the low byte
// on every target.
uint32_t fieldByte(const image_descriptor& d, int32_t byte) {
    switch (byte) {
        case BYTE_PARAM:
            return static_cast<uint8_t>(d.param);
        case BYTE_WIDTH_LOW:
            return d.width & 0xFFu;
        case BYTE_WIDTH_HIGH:
            return static_cast<uint32_t>(d.width) >> 8;
        case BYTE_HEIGHT_LOW:
            return d.height & 0xFFu;
        case BYTE_HEIGHT_HIGH:
            return static_cast<uint32_t>(d.height) >> 8;
        default:
            return d.flag;
    }
}

// Called as fieldByte reads: the byte, then its new value.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters)
void setFieldByte(image_descriptor& d, int32_t byte, uint32_t value) {
    const auto low = [value](uint16_t field) {
        return static_cast<uint16_t>((field & 0xFF00u) | value);
    };
    const auto high = [value](uint16_t field) {
        return static_cast<uint16_t>((field & 0x00FFu) | (value << 8));
    };
    switch (byte) {
        case BYTE_PARAM:
            d.param = static_cast<int8_t>(static_cast<uint8_t>(value));
            break;
        case BYTE_WIDTH_LOW:
            d.width = low(d.width);
            break;
        case BYTE_WIDTH_HIGH:
            d.width = high(d.width);
            break;
        case BYTE_HEIGHT_LOW:
            d.height = low(d.height);
            break;
        case BYTE_HEIGHT_HIGH:
            d.height = high(d.height);
            break;
        default:
            d.flag = static_cast<uint8_t>(value);
            break;
    }
}

// Another value of a byte: 1 .. 255 added, modulo 256.
uint32_t otherByte(uint64_t& state, uint32_t old) {
    return (old + 1 + randomBelow(state, 255)) & 0xFFu;
}

}  // namespace

uint64_t nextRandom(uint64_t& state) {
    uint64_t mixed = state += 0x9E3779B97F4A7C15u;
    mixed = (mixed ^ (mixed >> 30)) * 0xBF58476D1CE4E5B9u;
    mixed = (mixed ^ (mixed >> 27)) * 0x94D049BB133111EBu;
    return mixed ^ (mixed >> 31);
}

uint32_t randomBelow(uint64_t& state, uint32_t bound) {
    return static_cast<uint32_t>(((nextRandom(state) >> 32) * bound) >> 32);
}

void fillDomainDescriptor(int32_t index, image_descriptor& d) {
    uint64_t state = streamOf(DOMAIN_SEED, index);
    std::memset(d.name, 0, sizeof d.name);
    const std::size_t length = 1 + std::size_t{randomBelow(state, NAME_BYTES)};
    if (randomBelow(state, 4) == 0) {  // UTF-8 letters, a non-ASCII one first
        std::size_t used = 0;
        while (used < length) {
            const bool wide = used == 0 || randomBelow(state, 2) == 0;
            if (wide && used + 2 <= std::max<std::size_t>(length, 2)) {
                std::memcpy(d.name + used, WIDE_LETTERS[randomBelow(state, WIDE_LETTER_COUNT)], 2);
                used += 2;
            } else {
                d.name[used++] = static_cast<char>('a' + randomBelow(state, 26));
            }
        }
    } else {
        for (std::size_t at = 0; at < length; ++at) d.name[at] = otherNonzeroByte(state, '\0');
    }
    d.param = static_cast<int8_t>(static_cast<int32_t>(randomBelow(state, 256)) - 128);
    d.width = static_cast<uint16_t>(randomBelow(state, 65536));
    d.height = static_cast<uint16_t>(randomBelow(state, 65536));
    d.flag = static_cast<uint8_t>(randomBelow(state, 256));
}

namespace {

constexpr uint64_t NAMES_SEED = 4242;
constexpr uint64_t NEAR_SEED = 2424;
// The characters of image file names.
constexpr char FILE_NAME_CHARACTERS[] =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-";
constexpr uint32_t FILE_NAME_CHARACTER_COUNT = sizeof FILE_NAME_CHARACTERS - 1;
static_assert(FILE_NAME_CHARACTER_COUNT == 64);

char fileNameCharacter(uint64_t& state) {
    return FILE_NAME_CHARACTERS[randomBelow(state, FILE_NAME_CHARACTER_COUNT)];
}

// A file-name character other than current.
char otherFileNameCharacter(uint64_t& state, char current) {
    char c = current;
    while (c == current) c = fileNameCharacter(state);
    return c;
}

// A name of 4 to 19 file-name characters, into a zero-filled field.
void drawFileName(uint64_t& state, char (&name)[IMAGE_NAME_SIZE]) {
    std::memset(name, 0, sizeof name);
    const std::size_t length = 4 + std::size_t{randomBelow(state, NAME_BYTES - 3)};
    for (std::size_t at = 0; at < length; ++at) name[at] = fileNameCharacter(state);
}

// near's name at place in its group of four, from the group's first.
void drawNearName(uint64_t& state, const char (&first)[IMAGE_NAME_SIZE], int32_t place,
                  char (&name)[IMAGE_NAME_SIZE]) {
    std::memcpy(name, first, sizeof name);
    const auto length = static_cast<uint32_t>(std::strlen(first));
    if (place == 1) {  // one character changed
        const uint32_t at = randomBelow(state, length);
        name[at] = otherFileNameCharacter(state, name[at]);
    } else if (place == 2) {  // two adjacent ones
        const uint32_t at = randomBelow(state, length - 1);
        name[at] = otherFileNameCharacter(state, name[at]);
        name[at + 1] = otherFileNameCharacter(state, name[at + 1]);
    } else {  // the first two characters and the length kept, the rest drawn anew
        for (uint32_t at = 2; at < length; ++at) name[at] = fileNameCharacter(state);
    }
}

}  // namespace

void makeKeysetNames(int32_t keyset, keyset_names& names) {
    uint64_t state = keyset == KEYSET_NEAR ? NEAR_SEED : NAMES_SEED;
    for (int32_t made = 0; made < KEYSET_NAMES; ++made) {
        char(&name)[IMAGE_NAME_SIZE] = names.names[made];
        // Drawn again until it differs from every earlier one: all are distinct.
        for (bool repeated = true; repeated;) {
            if (keyset == KEYSET_NEAR && made % 4 != 0)
                drawNearName(state, names.names[made - made % 4], made % 4, name);
            else
                drawFileName(state, name);
            repeated = false;
            for (int32_t earlier = 0; earlier < made && !repeated; ++earlier)
                repeated = std::memcmp(names.names[earlier], name, sizeof name) == 0;
        }
    }
}

void fillKeysetDescriptor(const keyset_source& source, int32_t index, image_descriptor& d) {
    if (source.keyset == KEYSET_DOMAIN) return fillDomainDescriptor(index, d);
    if (source.keyset == KEYSET_REQUESTS) {
        const packed_descriptor& requested = source.requested[index];
        std::memcpy(d.name, requested.name, sizeof d.name);
        d.param = requested.param;
        d.width = requested.width;
        d.height = requested.height;
        d.flag = requested.flag;
        return;
    }
    std::memcpy(d.name, source.names->names[index / NAME_VARIANTS], sizeof d.name);
    const int32_t variant = index % NAME_VARIANTS;  // a sweep index of the first name
    d.param = static_cast<int8_t>(fieldValue(variant, FIELD_PARAM));
    d.width = static_cast<uint16_t>(fieldValue(variant, FIELD_WIDTH));
    d.height = static_cast<uint16_t>(fieldValue(variant, FIELD_HEIGHT));
    d.flag = static_cast<uint8_t>(fieldValue(variant, FIELD_FLAG));
}

packed_descriptor packedFields(const image_descriptor& d) {
    packed_descriptor packed{};
    std::memcpy(packed.name, d.name, sizeof packed.name);
    packed.param = d.param;
    packed.flag = d.flag;
    packed.width = d.width;
    packed.height = d.height;
    return packed;
}

byte_name reachByteName(int32_t byte) {
    constexpr const char* FIELD_BYTES[] = {"length",    "param",     "width[0]", "width[1]",
                                           "height[0]", "height[1]", "flag",     "payload"};
    static_assert(std::size(FIELD_BYTES) == REACH_BYTES - BYTE_LENGTH);
    byte_name shown{};
    if (byte < NAME_BYTES)
        std::snprintf(shown.text, sizeof shown.text, "name[%d]", byte);
    else
        std::snprintf(shown.text, sizeof shown.text, "%s", FIELD_BYTES[byte - BYTE_LENGTH]);
    return shown;
}

namespace {

// The whole payload, every byte of it, made a random nonzero one, from the stream
// (whose 64-bit outputs give eight bytes each).
void fillPayload(uint64_t& state, image_descriptor& d) {
    for (std::size_t at = 0; at < sizeof d.payload; at += sizeof(uint64_t)) {
        uint64_t bytes = nextRandom(state);
        for (std::size_t byte = at; byte < std::min(at + sizeof(uint64_t), sizeof d.payload);
             ++byte, bytes >>= 8) {
            const auto value = static_cast<unsigned char>(bytes & 0xFFu);
            d.payload[byte] = value != 0 ? value : 0xFFu;
        }
    }
}

}  // namespace

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): a range, its first byte then its end
void measureReach(key_function key, int32_t firstByte, int32_t endByte, image_descriptor& d,
                  reach_table& reach) {
    for (int32_t byte = firstByte; byte < endByte; ++byte) {
        byte_reach& counted = reach[static_cast<std::size_t>(byte)];
        counted = {};
        for (int32_t index = 0; counted.changes < REACH_SAMPLES; ++index) {
            fillDomainDescriptor(index, d);
            const std::size_t length = nameLength(d);
            // A name byte it holds; a length that can grow or shrink past name[1].
            if ((byte < NAME_BYTES && length <= static_cast<std::size_t>(byte)) ||
                (byte == BYTE_LENGTH && length < 2))
                continue;
            uint64_t state = streamOf(REACH_SEED + static_cast<uint64_t>(byte), index);
            const int32_t before = key(d);
            // The change, undone once the key is taken: a name's byte, or its end for
            // the length, or one payload byte or all of them, or a byte of another field.
            const bool wholePayload = byte == BYTE_PAYLOAD && counted.changes % 2 == 1;
            char* changedChar = nullptr;
            unsigned char* changedPayload = nullptr;
            const uint32_t oldField =
                byte < BYTE_LENGTH || byte >= BYTE_PAYLOAD ? 0 : fieldByte(d, byte);
            if (byte < NAME_BYTES) {
                changedChar = &d.name[byte];
            } else if (byte == BYTE_LENGTH) {
                const bool grow = length == 2 || (length < static_cast<std::size_t>(NAME_BYTES) &&
                                                  randomBelow(state, 2) == 0);
                changedChar = &d.name[grow ? length : length - 1];
            } else if (byte == BYTE_PAYLOAD && !wholePayload) {
                changedPayload = &d.payload[randomBelow(state, sizeof d.payload)];
            }
            const char oldChar = changedChar != nullptr ? *changedChar : '\0';
            if (changedChar != nullptr)
                *changedChar = byte == BYTE_LENGTH && oldChar != '\0'
                                   ? '\0'
                                   : otherNonzeroByte(state, oldChar);
            else if (changedPayload != nullptr)
                *changedPayload = static_cast<unsigned char>(otherByte(state, *changedPayload));
            else if (wholePayload)
                fillPayload(state, d);
            else
                setFieldByte(d, byte, otherByte(state, oldField));
            ++counted.changes;
            if (key(d) != before) ++counted.changed;
            if (changedChar != nullptr)
                *changedChar = oldChar;
            else if (byte == BYTE_PAYLOAD)
                std::memset(d.payload, 0, sizeof d.payload);
            else
                setFieldByte(d, byte, oldField);
        }
    }
}

byte_list unreachedBytes(const reach_table& reach) {
    byte_list shown{};
    const auto missed = [&reach](int32_t byte) {
        return byte < BYTE_PAYLOAD && reach[static_cast<std::size_t>(byte)].changed == 0;
    };
    for (int32_t byte = 0; byte < BYTE_PAYLOAD; ++byte) {
        if (!missed(byte)) continue;
        int32_t last = byte;  // the end of a run of name bytes
        while (last + 1 < NAME_BYTES && byte < NAME_BYTES && missed(last + 1)) ++last;
        const std::size_t used = std::strlen(shown.text);
        if (last > byte)
            std::snprintf(shown.text + used, sizeof shown.text - used, "%sname[%d..%d]",
                          used > 0 ? ", " : "", byte, last);
        else
            std::snprintf(shown.text + used, sizeof shown.text - used, "%s%s", used > 0 ? ", " : "",
                          reachByteName(byte).text);
        byte = last;
    }
    return shown;
}

namespace {

std::size_t at(int64_t index) { return static_cast<std::size_t>(index); }

constexpr uint64_t DEFAULT_STREAM_SEED = 240000;

// A Zipf draw over ranks 0 .. n - 1, P(rank k) proportional to 1 / (k + 1)^s: the
// cumulative weights as thresholds out of 2^53, each rounded down, the last 2^53,
// so that a draw compares whole numbers alone.
struct zipf_thresholds {
    std::vector<uint64_t> below;  // rank k is drawn when the draw lies below below[k]
};
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the ranks, then their exponent
zipf_thresholds zipfThresholds(int32_t n, double exponent) {
    std::vector<double> cumulative(at(n));
    double sum = 0;
    for (int32_t rank = 0; rank < n; ++rank) {
        sum += 1 / std::pow(rank + 1.0, exponent);
        cumulative[at(rank)] = sum;
    }
    zipf_thresholds zipf{std::vector<uint64_t>(at(n))};
    constexpr double WHOLE = 9007199254740992.0;  // 2^53
    for (int32_t rank = 0; rank + 1 < n; ++rank)
        zipf.below[at(rank)] =
            static_cast<uint64_t>(std::floor(cumulative[at(rank)] / sum * WHOLE));
    zipf.below[at(n - 1)] = uint64_t{1} << 53;
    return zipf;
}

// The rank of the stream's next draw: its top 53 bits against the thresholds.
int32_t drawRank(uint64_t& state, const zipf_thresholds& zipf) {
    const uint64_t draw = nextRandom(state) >> 11;
    return static_cast<int32_t>(std::upper_bound(zipf.below.begin(), zipf.below.end(), draw) -
                                zipf.below.begin());
}

// A seeded order of 0 .. n - 1: Fisher and Yates's shuffle, from the last place
// down, each place swapped with one at or below it.
void shuffle(uint64_t& state, std::vector<int32_t>& order) {
    for (std::size_t place = 0; place < order.size(); ++place)
        order[place] = static_cast<int32_t>(place);
    for (std::size_t place = order.size() - 1; place > 0; --place)
        std::swap(order[place], order[randomBelow(state, static_cast<uint32_t>(place + 1))]);
}

}  // namespace

void makeDefaultStream(request_stream& stream) {
    stream = {};
    stream.owners = false;
    stream.descriptors = KEYSET_DESCRIPTORS;
    uint64_t state = DEFAULT_STREAM_SEED;
    std::vector<int32_t> images(KEYSET_NAMES);
    shuffle(state, images);  // the images by popularity, most popular first
    std::vector<std::vector<int32_t>> variants(KEYSET_NAMES, std::vector<int32_t>(NAME_VARIANTS));
    for (std::vector<int32_t>& ranking : variants)
        shuffle(state, ranking);  // by image, in keyset order
    const zipf_thresholds imageZipf = zipfThresholds(KEYSET_NAMES, ZIPF_EXPONENT);
    const zipf_thresholds variantZipf = zipfThresholds(NAME_VARIANTS, ZIPF_EXPONENT);
    std::vector<bool> seen(KEYSET_DESCRIPTORS);
    stream.requests.resize(DEFAULT_REQUESTS);
    for (int32_t& request : stream.requests) {
        const int32_t image = images[at(drawRank(state, imageZipf))];
        request = image * NAME_VARIANTS + variants[at(image)][at(drawRank(state, variantZipf))];
        stream.distinctCount += seen[at(request)] ? 0 : 1;
        seen[at(request)] = true;
    }
}
