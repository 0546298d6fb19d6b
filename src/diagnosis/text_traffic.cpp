#include "text_sections.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace {

std::size_t at(int32_t index) { return static_cast<std::size_t>(index); }

constexpr std::array<column, 6> TRAFFIC_COLUMNS = {{{"field", 6, true},
                                                    {"pairs", 12, false},
                                                    {"on one key", 12, false},
                                                    {"random", 12, false},
                                                    {"ratio", 7, false},
                                                    {"", 0, true}}};
static_assert(fitsALine(TRAFFIC_COLUMNS));

constexpr std::array<column, 6> VALUE_COLUMNS = {{{"value", 30, true},
                                                  {"descriptors", 11, false},
                                                  {"requests", 18, false},
                                                  {"keys", 5, false},
                                                  {"random keys", 11, false},
                                                  {"P(as few)", 9, false}}};
static_assert(fitsALine(VALUE_COLUMNS));

// The values the table shows; the rest are counted under it, and all are in values.csv.
constexpr std::size_t VALUES_SHOWN = 10;

// "the default stream", "requests.csv".
const char* streamName(const replay_baselines& replay) {
    return replay.owners ? replay.origin : "the default stream";
}

// A value as the table and the causes give it: "param -1", "name \"faro\"".
struct value_cell {
    char text[128];
};
value_cell valueCell(const crowding_value& value) {
    value_cell shown{};
    std::snprintf(shown.text, sizeof shown.text, "%s %s", TRAFFIC_FIELD_NAMES[at(value.field)],
                  valueText(value).text);
    return shown;
}

void printFields(const traffic_figures& traffic, const replay_baselines& replay) {
    text_buffer line{};
    append(line,
           "Fields, over the %d distinct descriptors of %s whose key lies within the table: the"
           " pairs that differ only in one field, and those on one key.",
           traffic.descriptors, streamName(replay));
    printWrapped(line.text, 0);
    printHeader(TRAFFIC_COLUMNS);
    for (int32_t field = 0; field < TRAFFIC_FIELDS; ++field) {
        const traffic_sharing& sharing = traffic.fields[at(field)];
        cell_text pairs{};
        cell_text shared{};
        std::snprintf(pairs.text, sizeof pairs.text, "%lld", static_cast<long long>(sharing.pairs));
        std::snprintf(shared.text, sizeof shared.text, "%lld",
                      static_cast<long long>(sharing.sharedPairs));
        const cell_text random = realCell(sharing.randomPairs, 1, false, 12);
        const cell_text ratio =
            sharing.pairs > 0 ? fitting(7, {timesRandom(sharing.ratio).text}) : fitting(1, {"-"});
        printRow(TRAFFIC_COLUMNS,
                 {TRAFFIC_FIELD_NAMES[at(field)], pairs.text, shared.text, random.text, ratio.text,
                  sharing.neverRead ? "never read on this traffic" : ""});
    }
    printWrapped(
        "pairs: the pairs of those descriptors that differ in this field alone; on one key: of"
        " them, those on one key; random: as many as a uniformly random key function puts on one"
        " key, pairs / 800; ratio: on one key over random.",
        0);
}

void printValues(const traffic_figures& traffic, const replay_baselines& replay) {
    text_buffer line{};
    if (traffic.crowding.empty()) {
        append(line,
               "No value crowds: no field's value has its descriptors on far fewer keys than a"
               " uniformly random key function would spread them over (%d values weighed).",
               traffic.valuesWeighed);
        std::printf("\n");
        printWrapped(line.text, 0);
        return;
    }
    append(line,
           "Values that crowd: a field's values whose descriptors fall on far fewer keys than a"
           " uniformly random key function would spread them over, by the requests they carry,"
           " most first.");
    std::printf("\n");
    printWrapped(line.text, 0);
    printHeader(VALUE_COLUMNS);
    for (std::size_t shown = 0; shown < traffic.crowding.size() && shown < VALUES_SHOWN; ++shown) {
        const crowding_value& value = traffic.crowding[shown];
        cell_text descriptors{};
        cell_text keys{};
        std::snprintf(descriptors.text, sizeof descriptors.text, "%d", value.descriptors);
        std::snprintf(keys.text, sizeof keys.text, "%d", value.keys);
        printRow(VALUE_COLUMNS,
                 {valueCell(value).text, descriptors.text,
                  countAndShare(value.requests, replay.requests).text, keys.text,
                  realCell(value.randomKeys, 1, false, 11).text, chanceFigure(value.chance).text});
    }
    if (traffic.crowding.size() > VALUES_SHOWN)
        std::printf("and %zu more (values.csv)\n", traffic.crowding.size() - VALUES_SHOWN);
    line = {};
    append(line,
           "descriptors: the distinct descriptors with the value; requests: theirs; keys: the keys"
           " they fall on; random keys: the keys a uniformly random key function puts as many on,"
           " on average; P(as few): the chance that it puts them on as few. A value is named"
           " where its keys are at most half its random keys and that chance lies below %g over"
           " the %d values weighed (each with two descriptors or more): a uniformly random key"
           " function has some value named with a chance of at most %g.",
           CROWDING_CHANCE, traffic.valuesWeighed, CROWDING_CHANCE);
    printWrapped(line.text, 0);
}

}  // namespace

text_buffer trafficCausesText(const traffic_figures& traffic, const replay_baselines& replay) {
    text_buffer line{};
    append(line, "Causes on %s", streamName(replay));
    constexpr const char* FIRST = ", worst first: ";  // until a cause is named
    const char* separator = FIRST;
    for (std::size_t shown = 0; shown < traffic.crowding.size() && shown < 3; ++shown) {
        const crowding_value& value = traffic.crowding[shown];
        append(line, "%s%s puts %d descriptors, %s of the requests, on %d key%s", separator,
               valueCell(value).text, value.descriptors,
               percentText(static_cast<double>(value.requests),
                           static_cast<double>(replay.requests), 1)
                   .text,
               value.keys, value.keys == 1 ? "" : "s");
        separator = "; ";
    }
    const char* unread = "never reads ";
    for (int32_t field = 0; field < TRAFFIC_FIELDS; ++field)
        if (traffic.fields[at(field)].neverRead) {
            append(line, "%s%s%s", separator, unread, TRAFFIC_FIELD_NAMES[at(field)]);
            separator = ", ";
            unread = "";
        }
    if (unread[0] == '\0') separator = "; ";
    // The fields that share keys, by ratio, most first.
    std::array<int32_t, TRAFFIC_FIELDS> order{T_NAME, T_PARAM, T_WIDTH, T_HEIGHT, T_FLAG};
    std::stable_sort(order.begin(), order.end(), [&traffic](int32_t a, int32_t b) {
        return traffic.fields[at(a)].ratio > traffic.fields[at(b)].ratio;
    });
    bool sharing = false;
    for (const int32_t field : order) {
        const traffic_sharing& shares = traffic.fields[at(field)];
        if (!shares.cause || shares.neverRead) continue;
        if (sharing)
            append(line, ", %s %s", TRAFFIC_FIELD_NAMES[at(field)], timesRandom(shares.ratio).text);
        else
            append(line, "%s%s shares keys %s as often as random", separator,
                   TRAFFIC_FIELD_NAMES[at(field)], timesRandom(shares.ratio).text);
        sharing = true;
        separator = "; ";
    }
    if (std::strcmp(separator, FIRST) == 0)
        append(line,
               ": none found; no value crowds, and no field shares keys markedly more often than"
               " random");
    return line;
}

void printTrafficSection(const compared_candidates& compared) {
    const traffic_figures& traffic = compared.candidates[0].traffic;
    const replay_baselines& replay = compared.replay;
    text_buffer heading{};
    append(heading, "Why %s crowds %s", keyCandidates[0].name, streamName(replay));
    printHeading(heading.text);
    printFields(traffic, replay);
    printValues(traffic, replay);
    std::printf("\n");
    printWrapped(trafficCausesText(traffic, replay).text, 2, true);
}
