#include "distribution.hpp"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iterator>

static_assert(std::size(commonWidth) == SWEEP_WIDTHS);
static_assert(std::size(commonHeight) == SWEEP_HEIGHTS);
static_assert(std::size(imagesName) >= SWEEP_IMAGES);
static_assert(SWEEP_FIELD_NAMES[SWEEP_FIELDS - 1] != nullptr);  // a name for every field

// The parameters mirror the record's fields in their order, as the sweep's counters.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters)
void fillDescriptor(image_descriptor& d, int32_t image, int8_t param, int32_t width, int32_t height,
                    int8_t flag) {
    const char* name = imagesName[image];
    const std::size_t length =
        static_cast<std::size_t>(std::find(name, name + (sizeof d.name - 1), '\0') - name);
    std::memset(d.name, 0, sizeof d.name);
    std::memcpy(d.name, name, length);
    d.param = param;
    d.width = static_cast<uint16_t>(width);
    d.height = static_cast<uint16_t>(height);
    d.flag = static_cast<uint8_t>(flag);
}

void keyTheSweep(const key_function* functions, int32_t count, combination_keys* keyOf,
                 outside_keys* outside) {
    for (int32_t function = 0; function < count; ++function) outside[function] = {0, 0};
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
                            if (outside[function].count++ == 0) outside[function].first = key;
                        }
                    }
}

bool keyCombinations(combination_keys& keyOf, int32_t& badKey) {
    const key_function cacheKey = hashFunction;
    outside_keys outside{};
    keyTheSweep(&cacheKey, 1, &keyOf, &outside);
    badKey = outside.first;
    return outside.count == 0;
}

void countHits(const combination_keys& keyOf, hits_per_key& keyCount) {
    keyCount.fill(0);
    for (const int32_t key : keyOf) ++keyCount[static_cast<std::size_t>(key)];
}

bool sweepKeys(hits_per_key& keyCount, int32_t& badKey) {
    combination_keys keyOf;
    if (!keyCombinations(keyOf, badKey)) return false;
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
