#include "distribution.hpp"

#include <cstddef>
#include <cstring>
#include <iterator>

static_assert(std::size(commonWidth) == SWEEP_WIDTHS);
static_assert(std::size(commonHeight) == SWEEP_HEIGHTS);
static_assert(std::size(imagesName) >= SWEEP_IMAGES);

// The parameters mirror the record's fields in their order, as the sweep's counters.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters)
bool fillDescriptor(image_descriptor& d, int32_t image, int8_t param, int32_t width, int32_t height,
                    int8_t flag) {
    // Only the filled slots: past them the table holds null pointers, and past
    // its end there is no table at all.
    if (image < 0 || image >= SWEEP_IMAGES) return false;
    const char* name = imagesName[image];
    if (name == nullptr) return false;
    const std::size_t length = std::strlen(name);
    if (length >= sizeof d.name) return false;  // no room for the terminator
    std::memset(d.name, 0, sizeof d.name);
    std::memcpy(d.name, name, length);
    d.param = param;
    d.width = static_cast<uint16_t>(width);
    d.height = static_cast<uint16_t>(height);
    d.flag = static_cast<uint8_t>(flag);
    return true;
}

bool tallyKey(hits_per_key& keyCount, uint32_t key) {
    if (key >= static_cast<uint32_t>(HASH_KEYS)) return false;
    ++keyCount[key];
    return true;
}

sweep_result sweepKeys(hits_per_key& keyCount, int32_t& badValue) {
    keyCount.fill(0);
    // One record reused for every combination; cleared once so that its payload
    // is defined when it is copied into each call.
    image_descriptor d{};
    for (int32_t image = 0; image < SWEEP_IMAGES; ++image)
        for (int8_t param = 0; param < SWEEP_PARAMS; ++param)
            for (int32_t width = 0; width < SWEEP_WIDTHS; ++width)
                for (int32_t height = 0; height < SWEEP_HEIGHTS; ++height)
                    for (int8_t flag = 0; flag < SWEEP_FLAGS; ++flag) {
                        if (!fillDescriptor(d, image, param, width, height, flag)) {
                            badValue = image;
                            return sweep_result::bad_image;
                        }
                        const int32_t key = hashFunction(d);
                        if (!tallyKey(keyCount, static_cast<uint32_t>(key))) {
                            badValue = key;
                            return sweep_result::bad_key;
                        }
                    }
    return sweep_result::complete;
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
