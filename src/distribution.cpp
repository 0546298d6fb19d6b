#include "distribution.hpp"

#include <cstring>
#include <iterator>

static_assert(std::size(commonWidth) == SWEEP_WIDTHS);
static_assert(std::size(commonHeight) == SWEEP_HEIGHTS);
static_assert(std::size(imagesName) >= SWEEP_IMAGES);

void fillDescriptor(image_descriptor& d, int32_t image, int8_t param, int32_t width,
                    int32_t height, int8_t flag) {
    const char* name = imagesName[image];
    std::memset(d.name, 0, sizeof d.name);
    // Catalogue names are at most 13 characters, so the zero fill always leaves
    // the terminator inside the field.
    std::memcpy(d.name, name, std::strlen(name));
    d.param = param;
    d.width = static_cast<uint16_t>(width);
    d.height = static_cast<uint16_t>(height);
    d.flag = static_cast<uint8_t>(flag);
}

bool tallyKey(int32_t (&keyCount)[HASH_KEYS], uint32_t key) {
    if (key >= static_cast<uint32_t>(HASH_KEYS)) return false;
    ++keyCount[key];
    return true;
}

bool sweepKeys(int32_t (&keyCount)[HASH_KEYS], int32_t& badKey) {
    std::memset(keyCount, 0, sizeof keyCount);
    // One record reused for every combination; cleared once so that its payload
    // is defined when it is copied into each call.
    image_descriptor d{};
    for (int32_t image = 0; image < SWEEP_IMAGES; ++image)
        for (int8_t param = 0; param < SWEEP_PARAMS; ++param)
            for (int32_t width = 0; width < SWEEP_WIDTHS; ++width)
                for (int32_t height = 0; height < SWEEP_HEIGHTS; ++height)
                    for (int8_t flag = 0; flag < SWEEP_FLAGS; ++flag) {
                        fillDescriptor(d, image, param, width, height, flag);
                        const int32_t key = hashFunction(d);
                        if (!tallyKey(keyCount, static_cast<uint32_t>(key))) {
                            badKey = key;
                            return false;
                        }
                    }
    return true;
}

bool countValues(const int32_t (&keyCount)[HASH_KEYS], int32_t (&valueCount)[HASH_KEYS],
                 int32_t& badKey) {
    std::memset(valueCount, 0, sizeof valueCount);
    for (int32_t key = 0; key < HASH_KEYS; ++key) {
        const auto count = static_cast<uint32_t>(keyCount[key]);
        if (count >= static_cast<uint32_t>(HASH_KEYS)) {
            badKey = key;
            return false;
        }
        ++valueCount[count];
    }
    return true;
}
