// The cache's key model with a well-mixed key function in its key function's place (renamed out of
// the way): the candidates' mixedKey, 32-bit FNV-1a over every keyed byte. A good key function's
// diagnosis, and a cache key that passes its verdict, are this copy's.
#define hashFunction cacheKeyFunction
#include "cache_key.cpp"  // NOLINT(bugprone-suspicious-include)
#undef hashFunction

#include "candidates.hpp"

// cppcheck-suppress passedByValue ; the cache key's signature: every call gets its own copy
int32_t hashFunction(image_descriptor d) { return mixedKey(d); }
