#include "traffic.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numeric>

namespace {

constexpr double KEYS = HASH_KEYS;

std::size_t at(int64_t index) { return static_cast<std::size_t>(index); }

// A field's value of a descriptor, for ordering: the name's bytes compare apart.
int32_t numberOf(const packed_descriptor& d, int32_t field) {
    switch (field) {
        case T_PARAM:
            return d.param;
        case T_WIDTH:
            return d.width;
        case T_HEIGHT:
            return d.height;
        default:
            return d.flag;
    }
}

// -1, 0 or 1 as field of a is below, equal to or above b's.
int32_t compareField(const packed_descriptor& a, const packed_descriptor& b, int32_t field) {
    if (field == T_NAME) {
        const int order = std::memcmp(a.name, b.name, sizeof a.name);
        return order < 0 ? -1 : order > 0 ? 1 : 0;
    }
    const int32_t first = numberOf(a, field);
    const int32_t second = numberOf(b, field);
    return first < second ? -1 : first > second ? 1 : 0;
}

// Whether a and b hold the same value in every field but `but` (-1: every field).
bool sameBut(const packed_descriptor& a, const packed_descriptor& b, int32_t but) {
    for (int32_t field = 0; field < TRAFFIC_FIELDS; ++field)
        if (field != but && compareField(a, b, field) != 0) return false;
    return true;
}

struct traffic_input {
    const packed_descriptor* fields;
    const int32_t* keys;
};

// The descriptors in order of every field but `but` (or of `only` alone, where
// only >= 0), then of their keys.
void orderBy(std::vector<int32_t>& order, const traffic_input& input, int32_t but, int32_t only) {
    std::sort(order.begin(), order.end(), [&input, but, only](int32_t a, int32_t b) {
        const packed_descriptor& first = input.fields[a];
        const packed_descriptor& second = input.fields[b];
        for (int32_t field = 0; field < TRAFFIC_FIELDS; ++field) {
            if (field == but || (only >= 0 && field != only)) continue;
            const int32_t sign = compareField(first, second, field);
            if (sign != 0) return sign < 0;
        }
        return input.keys[a] < input.keys[b];
    });
}

traffic_sharing shareOf(const std::vector<int32_t>& order, const traffic_input& input,
                        int32_t field) {
    traffic_sharing sharing{};
    // Runs of descriptors alike but for the field, and within them runs of one key.
    for (std::size_t start = 0, end = 0; start < order.size(); start = end) {
        for (end = start + 1; end < order.size() &&
                              sameBut(input.fields[order[start]], input.fields[order[end]], field);
             ++end) {
        }
        const auto alike = static_cast<int64_t>(end - start);
        sharing.pairs += alike * (alike - 1) / 2;
        for (std::size_t keyStart = start, keyEnd = start; keyStart < end; keyStart = keyEnd) {
            for (keyEnd = keyStart + 1;
                 keyEnd < end && input.keys[order[keyEnd]] == input.keys[order[keyStart]];
                 ++keyEnd) {
            }
            const auto onOneKey = static_cast<int64_t>(keyEnd - keyStart);
            sharing.sharedPairs += onOneKey * (onOneKey - 1) / 2;
        }
    }
    sharing.randomPairs = static_cast<double>(sharing.pairs) / KEYS;
    sharing.ratio =
        sharing.pairs > 0 ? static_cast<double>(sharing.sharedPairs) / sharing.randomPairs : 0;
    sharing.neverRead = sharing.pairs > 0 && sharing.sharedPairs == sharing.pairs;
    const auto shared = static_cast<double>(sharing.sharedPairs);
    sharing.cause =
        sharing.neverRead ||
        (sharing.ratio >= 2 && shared > sharing.randomPairs + 3 * std::sqrt(sharing.randomPairs));
    return sharing;
}

}  // namespace

value_text valueText(const crowding_value& value) {
    value_text shown{};
    if (value.field == T_NAME)
        std::snprintf(shown.text, sizeof shown.text, "%s", escapeName(value.name).text);
    else
        std::snprintf(shown.text, sizeof shown.text, "%d", value.number);
    return shown;
}

double randomKeysFor(int32_t n) { return KEYS * -std::expm1(n * std::log1p(-1 / KEYS)); }

double fewKeysChance(int32_t n, int32_t k) {
    if (k >= std::min(n, HASH_KEYS)) return 1;
    // used[j]: the chance that the descriptors so far lie on exactly j keys, j <= k;
    // the rest lie on more, and are dropped.
    std::vector<double> used(at(k) + 1);
    used[0] = 1;
    for (int32_t placed = 0; placed < n; ++placed)
        for (int32_t j = std::min(placed + 1, k); j >= 0; --j)
            used[at(j)] =
                used[at(j)] * j / KEYS + (j > 0 ? used[at(j - 1)] * (KEYS - j + 1) / KEYS : 0);
    return std::accumulate(used.begin(), used.end(), 0.0);
}

traffic_figures measureTraffic(const packed_descriptor* fields, const int32_t* keys,
                               const int64_t* requestsOf, int32_t count) {
    traffic_figures figures{};
    std::vector<int32_t> order;
    for (int32_t index = 0; index < count; ++index) {
        if (requestsOf[index] == 0 || keys[index] < 0 || keys[index] >= HASH_KEYS) continue;
        order.push_back(index);
        figures.requests += requestsOf[index];
    }
    figures.descriptors = static_cast<int32_t>(order.size());
    const traffic_input input{fields, keys};
    for (int32_t field = 0; field < TRAFFIC_FIELDS; ++field) {
        orderBy(order, input, field, -1);
        figures.fields[at(field)] = shareOf(order, input, field);
    }
    // Each field's values: their descriptors, requests and keys.
    std::vector<crowding_value> weighed;
    for (int32_t field = 0; field < TRAFFIC_FIELDS; ++field) {
        orderBy(order, input, -1, field);
        for (std::size_t start = 0, end = 0; start < order.size(); start = end) {
            crowding_value value{field, 0, {}, 0, 0, 0, 0, 1};
            if (field == T_NAME)
                std::memcpy(value.name, fields[order[start]].name, sizeof value.name);
            else
                value.number = numberOf(fields[order[start]], field);
            for (end = start; end < order.size() &&
                              compareField(fields[order[start]], fields[order[end]], field) == 0;
                 ++end) {
                value.requests += requestsOf[order[end]];
                value.keys += end == start || keys[order[end]] != keys[order[end - 1]] ? 1 : 0;
            }
            value.descriptors = static_cast<int32_t>(end - start);
            if (value.descriptors < 2) continue;
            value.randomKeys = randomKeysFor(value.descriptors);
            weighed.push_back(value);
        }
    }
    figures.valuesWeighed = static_cast<int32_t>(weighed.size());
    const double named = CROWDING_CHANCE / std::max(figures.valuesWeighed, 1);
    for (crowding_value& value : weighed) {
        if (value.keys > value.randomKeys / 2) continue;  // not far fewer
        value.chance = fewKeysChance(value.descriptors, value.keys);
        if (value.chance < named) figures.crowding.push_back(value);
    }
    std::stable_sort(
        figures.crowding.begin(), figures.crowding.end(),
        [](const crowding_value& a, const crowding_value& b) { return a.requests > b.requests; });
    return figures;
}
