// Cache key model: the record an image variant is keyed by, the catalogue the
// tester sweeps, the fixed figures of the cache, and the key function itself.
// The image cache links this too, so everything stays at global scope.
#pragma once

#include <cstddef>
#include <cstdint>

// Number of cache slots; keys are 0 .. HASH_KEYS - 1.
inline constexpr int32_t HASH_KEYS = 800;

// The cache's slot record lives in the cache itself; the tester only reports its
// size, so the size is all that is fixed here.
inline constexpr int64_t HASH_ELEMENT_SIZE = 1200176;
inline constexpr int64_t CACHE_SIZE = HASH_ELEMENT_SIZE * HASH_KEYS;
static_assert(CACHE_SIZE == 960140800);

// Room for a name of up to 19 characters plus its zero terminator.
inline constexpr std::size_t IMAGE_NAME_SIZE = 20;

// One variant of an image. It is a plain record and is always copied whole,
// payload included, because that is how the cache hands it around.
struct image_descriptor {
    char name[IMAGE_NAME_SIZE];  // zero-terminated, zero-filled to the end
    int8_t param;
    uint16_t width;   // a selector, not a pixel count
    uint16_t height;  // a selector, not a pixel count
    uint8_t flag;
    unsigned char payload[400009];  // never read here; gives the record its real size
};
static_assert(offsetof(image_descriptor, param) == 20);
static_assert(offsetof(image_descriptor, width) == 22);
static_assert(offsetof(image_descriptor, height) == 24);
static_assert(offsetof(image_descriptor, flag) == 26);
static_assert(sizeof(image_descriptor) == 400036);

// Catalogue. Only the first 8 name slots are filled; the rest are null.
extern const char* const imagesName[20];
extern const int32_t commonWidth[6];
extern const int32_t commonHeight[5];
// Abstract-namespace socket name: a zero byte, "hidden", a zero byte (8 bytes).
extern const char* const socket_path;

// Maps a descriptor to its cache key. Reads the first two name bytes (as signed
// bytes), the name length, param, width and height; never flag or payload.
// The key is the remainder of a sum s taken with 32-bit wrap-around. It lies in
// 0 .. HASH_KEYS - 1 exactly when s ends at 0 or more, or at a multiple of
// HASH_KEYS; otherwise it is negative (-799 .. -1) and must not be used as an
// index. s is sure to end at 0 or more when name[0] and name[1] are below 0x80,
// param >= -1 and (param + 1) * width * height <= 2^31 - 2^20, as for every
// descriptor the tester builds.
// Taken by value on purpose: each call gets its own copy of the whole record.
int32_t hashFunction(image_descriptor d);
