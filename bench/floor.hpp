// The floor the by-value interface sets: a call that receives the whole record
// and does nothing else.
#pragma once

#include "cache_key.hpp"

int32_t ignoreDescriptor(image_descriptor d);
