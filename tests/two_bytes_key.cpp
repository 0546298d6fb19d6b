// The cache's key model with a key function in its key function's place (renamed out of the way)
// that mixes well but reads only name[0] and name[1] of the name: 32-bit FNV-1a over them, param,
// width and height low byte first, and flag, modulo HASH_KEYS. The catalogue's names differ in
// their first two bytes, so over the sweep it looks as if it read every field; the reach says not.
#define hashFunction cacheKeyFunction
#include "cache_key.cpp"  // NOLINT(bugprone-suspicious-include)
#undef hashFunction

int32_t hashFunction(image_descriptor d) {
    uint32_t hash = 2166136261u;
    const auto mix = [&hash](uint32_t byte) { hash = (hash ^ byte) * 16777619u; };
    mix(static_cast<unsigned char>(d.name[0]));
    mix(static_cast<unsigned char>(d.name[1]));
    mix(static_cast<uint8_t>(d.param));
    mix(d.width & 0xFFu);
    mix(static_cast<uint32_t>(d.width) >> 8);
    mix(d.height & 0xFFu);
    mix(static_cast<uint32_t>(d.height) >> 8);
    mix(d.flag);
    return static_cast<int32_t>(hash % static_cast<uint32_t>(HASH_KEYS));
}
