// The cache's key model with a well-mixed key function in its key function's place (renamed out of
// the way): 32-bit FNV-1a over every keyed byte, the name through its terminator, param, width and
// height low byte first, and flag, modulo HASH_KEYS. A good key function's diagnosis is its copy's.
#define hashFunction cacheKeyFunction
#include "cache_key.cpp"  // NOLINT(bugprone-suspicious-include)
#undef hashFunction

int32_t hashFunction(image_descriptor d) {
    uint32_t hash = 2166136261u;
    const auto mix = [&hash](uint32_t byte) { hash = (hash ^ byte) * 16777619u; };
    for (const char character : d.name) {
        mix(static_cast<unsigned char>(character));
        if (character == '\0') break;
    }
    mix(static_cast<uint8_t>(d.param));
    mix(d.width & 0xFFu);
    mix(static_cast<uint32_t>(d.width) >> 8);
    mix(d.height & 0xFFu);
    mix(static_cast<uint32_t>(d.height) >> 8);
    mix(d.flag);
    return static_cast<int32_t>(hash % static_cast<uint32_t>(HASH_KEYS));
}
