// Keys descriptors as the image cache does and checks the keys.
#include <cache_key.hpp>

#include <cstdio>
#include <cstring>

// Only the key model's own header reaches a consumer, not the tester's.
#if __has_include("distribution.hpp")
#error "the tester's own headers reach a consumer of the key model"
#endif

namespace {

image_descriptor descriptor;  // 400 kB: kept off the stack

int32_t keyOf(const char* name, int8_t param, uint16_t width, uint16_t height) {
    std::memset(descriptor.name, 0, sizeof descriptor.name);
    std::memcpy(descriptor.name, name, std::strlen(name));
    descriptor.param = param;
    descriptor.width = width;
    descriptor.height = height;
    return hashFunction(descriptor);
}

}  // namespace

int main() {
    const int32_t faro = keyOf("faro", 3, 2, 4);
    const int32_t cane = keyOf(imagesName[0], 0, 0, 0);
    std::printf("faro 3 2 4 -> %d, %s 0 0 0 -> %d (of %d keys)\n", faro, imagesName[0], cane,
                HASH_KEYS);
    return faro == 531 && cane == 301 ? 0 : 1;
}
