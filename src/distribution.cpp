#include "distribution.hpp"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <iterator>

static_assert(std::size(commonWidth) == SWEEP_WIDTHS);
static_assert(std::size(commonHeight) == SWEEP_HEIGHTS);
static_assert(std::size(imagesName) >= SWEEP_IMAGES);
static_assert(SWEEP_FIELD_NAMES[SWEEP_FIELDS - 1] != nullptr);  // a name for every field

namespace {

// A name field for a catalogue slot: zero-filled, then at most IMAGE_NAME_SIZE - 1
// characters of the slot's name, so that it always keeps its terminator.
void fillName(char (&field)[IMAGE_NAME_SIZE], int32_t image) {
    const char* name = imagesName[image];
    const std::size_t length =
        static_cast<std::size_t>(std::find(name, name + (IMAGE_NAME_SIZE - 1), '\0') - name);
    std::memset(field, 0, sizeof field);
    std::memcpy(field, name, length);
}

}  // namespace

// The parameters mirror the record's fields in their order, as the sweep's counters.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters)
void fillDescriptor(image_descriptor& d, int32_t image, int8_t param, int32_t width, int32_t height,
                    int8_t flag) {
    fillName(d.name, image);
    d.param = param;
    d.width = static_cast<uint16_t>(width);
    d.height = static_cast<uint16_t>(height);
    d.flag = static_cast<uint8_t>(flag);
}

void keyTheSweep(const key_function* functions, int32_t count, combination_keys* keyOf,
                 outside_keys* outside) {
    for (int32_t function = 0; function < count; ++function) outside[function] = {0, 0, 0};
    // One record reused for every combination; cleared once so that its payload
    // is defined when it is copied into each call.
    image_descriptor d{};
    std::size_t combination = 0;
    for (int32_t image = 0; image < SWEEP_IMAGES; ++image)
        for (int8_t param = 0; param < SWEEP_PARAMS; ++param)
            for (int32_t width = 0; width < SWEEP_WIDTHS; ++width)
                for (int32_t height = 0; height < SWEEP_HEIGHTS; ++height)
                    for (int8_t flag = 0; flag < SWEEP_FLAGS; ++flag, ++combination) {
                        fillDescriptor(d, image, param, width, height, flag);
                        for (int32_t function = 0; function < count; ++function) {
                            const int32_t key = functions[function](d);
                            keyOf[function][combination] = key;
                            if (key >= 0 && key < HASH_KEYS) continue;
                            if (outside[function].count++ == 0)
                                outside[function] = {1, key, static_cast<int32_t>(combination)};
                        }
                    }
}

bool keyCombinations(combination_keys& keyOf, outside_keys& outside) {
    const key_function cacheKey = hashFunction;
    keyTheSweep(&cacheKey, 1, &keyOf, &outside);
    return outside.count == 0;
}

void countHits(const combination_keys& keyOf, hits_per_key& keyCount) {
    keyCount.fill(0);
    for (const int32_t key : keyOf) ++keyCount[static_cast<std::size_t>(key)];
}

bool sweepKeys(hits_per_key& keyCount, outside_keys& outside) {
    combination_keys keyOf;
    if (!keyCombinations(keyOf, outside)) return false;
    countHits(keyOf, keyCount);
    return true;
}

bool countValues(const hits_per_key& keyCount, keys_per_count& valueCount, int32_t& badKey) {
    valueCount.fill(0);
    for (int32_t key = 0; key < HASH_KEYS; ++key) {
        const auto count = static_cast<uint32_t>(keyCount[static_cast<size_t>(key)]);
        if (count >= static_cast<uint32_t>(HASH_KEYS)) {
            badKey = key;
            return false;
        }
        ++valueCount[count];
    }
    return true;
}

escaped_name escapeName(const char (&name)[IMAGE_NAME_SIZE]) {
    escaped_name shown{};
    std::size_t used = 0;
    const auto put = [&shown, &used](const char* text) {
        used += static_cast<std::size_t>(
            std::snprintf(shown.text + used, sizeof shown.text - used, "%s", text));
    };
    put("\"");
    bool afterEscape = false;
    for (const char c : name) {
        if (c == '\0') break;
        const auto byte = static_cast<unsigned char>(c);
        if (afterEscape && std::isxdigit(byte) != 0) put("\" \"");
        afterEscape = byte < 0x20 || byte > 0x7e;
        char piece[8] = {c, '\0'};
        if (afterEscape)
            std::snprintf(piece, sizeof piece, "\\x%02x", byte);
        else if (c == '"' || c == '\\')
            std::snprintf(piece, sizeof piece, "\\%c", c);
        put(piece);
    }
    put("\"");
    return shown;
}

keyed_fields keyedFields(const image_descriptor& d) {
    keyed_fields fields{};
    std::memcpy(fields.name, d.name, sizeof fields.name);
    fields.param = int32_t{d.param};  // a signed byte: -128 .. 127
    fields.width = d.width;
    fields.height = d.height;
    fields.flag = d.flag;
    return fields;
}

descriptor_text describeFields(const keyed_fields& fields) {
    descriptor_text shown{};
    std::snprintf(shown.text, sizeof shown.text, "name %s, param %d, width %d, height %d, flag %d",
                  escapeName(fields.name).text, fields.param, fields.width, fields.height,
                  fields.flag);
    return shown;
}

keyed_fields combinationFields(int32_t combination) {
    keyed_fields fields{};
    fillName(fields.name, fieldValue(combination, FIELD_NAME));
    fields.param = fieldValue(combination, FIELD_PARAM);
    fields.width = fieldValue(combination, FIELD_WIDTH);
    fields.height = fieldValue(combination, FIELD_HEIGHT);
    fields.flag = fieldValue(combination, FIELD_FLAG);
    return fields;
}

descriptor_text describeCombination(int32_t combination) {
    return describeFields(combinationFields(combination));
}
