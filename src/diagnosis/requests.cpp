#include "requests.hpp"

#include "c_text.hpp"
#include "csv.hpp"
#include "options.hpp"
#include "progress.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <string_view>

namespace {

std::size_t at(int64_t index) { return static_cast<std::size_t>(index); }

// The columns a request file must name, in the record's order, and each number's range.
enum request_column : int32_t {
    COLUMN_NAME,
    COLUMN_PARAM,
    COLUMN_WIDTH,
    COLUMN_HEIGHT,
    COLUMN_FLAG
};
constexpr int32_t REQUEST_COLUMNS = 5;
constexpr std::array<const char*, REQUEST_COLUMNS> COLUMN_NAMES = {"name", "param", "width",
                                                                   "height", "flag"};
constexpr std::array<int32_t, REQUEST_COLUMNS> LOWEST = {0, -128, 0, 0, 0};
constexpr std::array<int32_t, REQUEST_COLUMNS> HIGHEST = {0, 127, 65535, 65535, 255};

// The faults a file can have: first those of a row, told with the rows that
// share them (the same kind in the same column); then those of the whole file.
enum fault_kind : int32_t {
    FAULT_ROW_WIDTH,
    FAULT_NOT_A_NUMBER,
    FAULT_OUT_OF_RANGE,
    FAULT_NAME_TOO_LONG,
    FAULT_NAME_ZERO,
    FAULT_NAME_NOT_READ,
    FAULT_AFTER_QUOTE,
    FAULT_UNTERMINATED,  // the first of the whole file's
    FAULT_LONG_ROW,
    FAULT_HEADER,
    FAULT_NO_REQUESTS,
    FAULT_TOO_MANY,
    FAULT_KINDS
};

// A fault's text, the line it was first seen on, and how many lines have it.
struct fault_seen {
    std::string text;
    int64_t line;
    int64_t lines;
};

// The distinct descriptors seen so far, found by their 26 bytes in an open table
// of their indices (plus 1; 0 is free), never more than half full.
struct distinct_index {
    std::vector<int32_t> slots;
    std::size_t mask;
};

uint64_t hashPacked(const packed_descriptor& d) {
    std::array<uint64_t, 4> words{};
    static_assert(sizeof words >= sizeof d);
    std::memcpy(words.data(), &d, sizeof d);
    uint64_t hash = 0x9E3779B97F4A7C15u;
    for (const uint64_t word : words) {
        hash = (hash ^ word) * 0xBF58476D1CE4E5B9u;
        hash ^= hash >> 29;
    }
    return hash;
}

int32_t findOrAdd(distinct_index& index, std::vector<packed_descriptor>& distinct,
                  const packed_descriptor& d) {
    if (2 * (distinct.size() + 1) > index.slots.size()) {  // grown, each one placed again
        const std::size_t size = std::max<std::size_t>(1024, 2 * index.slots.size());
        index.slots.assign(size, 0);
        index.mask = size - 1;
        for (std::size_t known = 0; known < distinct.size(); ++known) {
            std::size_t slot = static_cast<std::size_t>(hashPacked(distinct[known])) & index.mask;
            while (index.slots[slot] != 0) slot = (slot + 1) & index.mask;
            index.slots[slot] = static_cast<int32_t>(known + 1);
        }
    }
    for (std::size_t slot = static_cast<std::size_t>(hashPacked(d)) & index.mask;;
         slot = (slot + 1) & index.mask) {
        const int32_t found = index.slots[slot];
        if (found == 0) {
            distinct.push_back(d);
            index.slots[slot] = static_cast<int32_t>(distinct.size());
            return static_cast<int32_t>(distinct.size()) - 1;
        }
        if (std::memcmp(&distinct[at(found - 1)], &d, sizeof d) == 0) return found - 1;
    }
}

// The reading of one file: the header's columns, the row being read, the faults
// seen, and the stream read.
struct request_reader {
    std::string shown;
    request_choices choices;
    request_stream& stream;
    csv_reader csv;
    distinct_index index;
    std::vector<bool> cut;  // by distinct descriptor: a request of it had its name cut
    int64_t rowLine;        // the line the row being read starts on
    bool headerRead;
    int32_t headerWidth;
    std::vector<int32_t> columnOf;  // a field's request column, or -1
    std::array<fault_seen, std::size_t{FAULT_KINDS} * REQUEST_COLUMNS> faults;
    int32_t firstFault;  // -1: none
    bool stopped;        // at a row past MOST_ROW_BYTES: nothing more was read
    int64_t requests;
};

// Notes a fault of the row at its line; its text is made only where it is the
// first of its kind and column. A row is read once and notes each kind in each
// column at most once (text after a closing quote is one fault of the row,
// however many fields have it), so the count is of lines.
template <typename Text>
void fault(request_reader& reader, int32_t kind, int32_t column, const Text& text) {
    const int32_t which = kind * REQUEST_COLUMNS + column;
    fault_seen& seen = reader.faults[at(which)];
    if (seen.lines++ > 0) return;
    seen.line = reader.rowLine;
    seen.text = text();
    if (reader.firstFault >= 0) return;
    reader.firstFault = which;
    reader.stream.requests = {};  // no use keeping them
    reader.stream.distinct = {};
    reader.index = {};
    reader.cut = {};
}

// What a header field would name, but for case and spaces: lower case, spaces dropped.
std::string plainName(std::string_view field) {
    std::string plain;
    for (const char c : field)
        if (c != ' ') plain += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return plain;
}

// Why a header that lacks columns lacks them, where it is near: its names split
// by another character than the comma, or differing from the columns' only in
// case or spaces. "" where it is not.
std::string nearHeader(const request_reader& reader, const std::array<int32_t, 5>& found) {
    for (const char separator : {';', '\t', '|'}) {
        if (reader.csv.width != 1 || reader.csv.fields[0].find(separator) == std::string_view::npos)
            continue;
        std::array<bool, REQUEST_COLUMNS> named{};
        const std::string plain = plainName(reader.csv.fields[0]) + separator;
        for (std::size_t from = 0, end = 0; (end = plain.find(separator, from)) != plain.npos;
             from = end + 1)
            for (int32_t column = 0; column < REQUEST_COLUMNS; ++column)
                named[at(column)] = named[at(column)] ||
                                    plain.compare(from, end - from, COLUMN_NAMES[at(column)]) == 0;
        if (std::all_of(named.begin(), named.end(), [](bool is) { return is; }))
            return "no header: the first line separates its names by " +
                   quoteBytes(std::string_view(&separator, 1), 1) + ", not by commas";
    }
    std::string near;
    for (int32_t column = 0; column < REQUEST_COLUMNS; ++column) {
        if (found[at(column)] > 0) continue;
        for (int32_t field = 0; field < reader.csv.width; ++field) {
            const std::string_view text = reader.csv.fields[at(field)];
            if (reader.columnOf[at(field)] >= 0 || plainName(text) != COLUMN_NAMES[at(column)])
                continue;
            const bool spaced = text.find(' ') != std::string_view::npos;
            const bool cased =
                std::any_of(text.begin(), text.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
            near += near.empty() ? ": " : "; ";
            near += quoteBytes(text, 24) + " is " + COLUMN_NAMES[at(column)] +
                    (cased && spaced ? " in another case and with spaces"
                     : cased         ? " in another case"
                                     : " with spaces");
            break;
        }
    }
    return near;
}

void readHeader(request_reader& reader) {
    reader.headerRead = true;
    reader.headerWidth = reader.csv.width;
    reader.columnOf.assign(at(reader.csv.width), -1);
    std::array<int32_t, REQUEST_COLUMNS> found{};
    for (int32_t field = 0; field < reader.csv.width; ++field)
        for (int32_t column = 0; column < REQUEST_COLUMNS; ++column)
            if (reader.csv.fields[at(field)] == COLUMN_NAMES[at(column)]) {
                if (found[at(column)]++ > 0)
                    return fault(reader, FAULT_HEADER, 0, [&] {
                        return std::string("the header names the column ") +
                               COLUMN_NAMES[at(column)] + " twice";
                    });
                reader.columnOf[at(field)] = column;
            }
    std::string missing;
    for (int32_t column = 0; column < REQUEST_COLUMNS; ++column)
        if (found[at(column)] == 0)
            missing += (missing.empty() ? "" : ", ") + std::string(COLUMN_NAMES[at(column)]);
    if (missing.empty()) return;
    std::string why = nearHeader(reader, found);
    if (why.rfind("no header", 0) == 0)
        ;  // its names split by another separator
    else if (!why.empty())
        why = "the header names no column " + missing + why;
    else if (std::count(found.begin(), found.end(), 0) == REQUEST_COLUMNS)
        why =
            "no header: the first line must name the columns name, param, width, height and flag,"
            " in any order";
    else
        why = "the header names no column " + missing;
    fault(reader, FAULT_HEADER, 0, [&why] { return why; });
}

// A number as a refusal gives it: its sign, where negative, and its digits
// without leading zeros, at most 24 of them.
std::string shownNumber(std::string_view text) {
    const bool negative = text[0] == '-';
    text.remove_prefix(text[0] == '-' || text[0] == '+' ? 1 : 0);
    text.remove_prefix(std::min(text.find_first_not_of('0'), text.size() - 1));
    std::string shown = negative && text != "0" ? "-" : "";
    shown += text.substr(0, 24);
    return text.size() > 24 ? shown + "..." : shown;
}

// A field of a number column into value; false after noting its fault. A whole
// number is a sign, or none, and one or more digits, nothing else.
bool readNumber(request_reader& reader, int32_t column, std::string_view text, int32_t& value) {
    const std::size_t signs = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
    int64_t number = 0;  // held below 2^40, past every column's range
    bool whole = text.size() > signs;
    for (std::size_t index = signs; whole && index < text.size(); ++index) {
        whole = text[index] >= '0' && text[index] <= '9';
        number = std::min<int64_t>(number * 10 + (text[index] - '0'), int64_t{1} << 40);
    }
    if (!whole) {
        fault(reader, FAULT_NOT_A_NUMBER, column, [&] {
            return std::string(COLUMN_NAMES[at(column)]) + " " + quoteBytes(text, 24) +
                   " is not a whole number";
        });
        return false;
    }
    if (text[0] == '-') number = -number;
    if (number < LOWEST[at(column)] || number > HIGHEST[at(column)]) {
        fault(reader, FAULT_OUT_OF_RANGE, column, [&] {
            return std::string(COLUMN_NAMES[at(column)]) + " " + shownNumber(text) +
                   " is outside " + std::to_string(LOWEST[at(column)]) + ".." +
                   std::to_string(HIGHEST[at(column)]);
        });
        return false;
    }
    value = static_cast<int32_t>(number);
    return true;
}

// A name field into d's name; false after noting its fault.
bool readNameField(request_reader& reader, std::string_view text, packed_descriptor& d, bool& cut) {
    name_result read = readName(text, reader.choices.cutNames, d.name);
    cut = read.reading == NAME_CUT;
    if (read.reading == NAME_READ || read.reading == NAME_CUT) return true;
    const int32_t kind = read.reading == NAME_TOO_LONG    ? FAULT_NAME_TOO_LONG
                         : read.reading == NAME_ZERO_BYTE ? FAULT_NAME_ZERO
                                                          : FAULT_NAME_NOT_READ;
    fault(reader, kind, COLUMN_NAME, [&] {
        return "name " + read.why +
               (kind == FAULT_NAME_TOO_LONG ? ": --cut-names keeps its first 19" : "");
    });
    return false;
}

void notePast(past_selectors& past, int32_t value, int32_t selectors) {
    if (value < selectors) return;
    ++past.requests;
    past.largest = std::max(past.largest, value);
}

void readRow(request_reader& reader) {
    if (reader.csv.width != reader.headerWidth)
        return fault(reader, FAULT_ROW_WIDTH, 0, [&] {
            return "a row of " + std::to_string(reader.csv.width) + " field" +
                   (reader.csv.width == 1 ? "" : "s") + "; the header has " +
                   std::to_string(reader.headerWidth);
        });
    packed_descriptor d{};
    std::array<int32_t, REQUEST_COLUMNS> value{};
    bool sound = true;
    bool cut = false;
    for (int32_t field = 0; field < reader.csv.width; ++field) {
        const int32_t column = reader.columnOf[at(field)];
        if (column == COLUMN_NAME)
            sound = readNameField(reader, reader.csv.fields[at(field)], d, cut) && sound;
        else if (column >= 0)
            sound = readNumber(reader, column, reader.csv.fields[at(field)], value[at(column)]) &&
                    sound;
    }
    if (!sound) return;
    if (reader.requests++ == MOST_REQUESTS)
        return fault(reader, FAULT_TOO_MANY, 0,
                     [] { return "more than " + std::to_string(MOST_REQUESTS) + " requests"; });
    if (reader.firstFault >= 0) return;
    d.param = static_cast<int8_t>(value[COLUMN_PARAM]);
    d.width = static_cast<uint16_t>(value[COLUMN_WIDTH]);
    d.height = static_cast<uint16_t>(value[COLUMN_HEIGHT]);
    d.flag = static_cast<uint8_t>(value[COLUMN_FLAG]);
    request_stream& stream = reader.stream;
    const int32_t index = findOrAdd(reader.index, stream.distinct, d);
    stream.requests.push_back(index);
    notePast(stream.notes.widths, d.width, SWEEP_WIDTHS);
    notePast(stream.notes.heights, d.height, SWEEP_HEIGHTS);
    if (cut) {
        ++stream.notes.cutRequests;
        reader.cut.resize(stream.distinct.size());
        reader.cut[at(index)] = true;
    }
    if (reader.requests % 65536 == 0) showProgress("requests read", reader.requests, 0);
}

// A row read: a blank line is none; the first is the header, after which a row
// keeps as many fields as the header has. Text after a quoted field's closing
// quote is a fault of its own, beside any the field has.
void readRecord(request_reader& reader) {
    if (reader.csv.textAfterQuote)
        fault(reader, FAULT_AFTER_QUOTE, 0,
              [] { return std::string("text after a quoted field's closing quote"); });
    if (reader.csv.width == 1 && reader.csv.fields[0].empty()) return;
    if (reader.headerRead) return readRow(reader);
    readHeader(reader);
    reader.csv.kept = at(reader.headerWidth);
}

std::string shownPath(const char* path) {
    std::string shown;
    for (const char* c = path; *c != '\0'; ++c) {
        const auto byte = static_cast<unsigned char>(*c);
        if (byte >= 0x20 && byte != 0x7f) {
            shown += *c;
            continue;
        }
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\x%02x", byte);
        shown += escape;
    }
    return shown;
}

// The first fault, as the refusal gives it.
std::string refusalOf(const request_reader& reader) {
    const fault_seen& seen = reader.faults[at(reader.firstFault)];
    std::string text = std::string(DIAGNOSIS) + ": " + reader.shown + ":" +
                       std::to_string(seen.line) + ": " + seen.text;
    if (reader.firstFault / REQUEST_COLUMNS >= FAULT_UNTERMINATED) return text;
    const std::string lines = std::to_string(seen.lines) + (seen.lines == 1 ? " line" : " lines");
    const char* have = seen.lines == 1 ? " has" : " have";
    if (!reader.stopped) return text + " (" + lines + " of the file" + have + " this fault)";
    const std::string stop = std::to_string(reader.rowLine);
    return text + " (" + lines + " up to line " + stop + have + " this fault; line " + stop +
           " runs past " + std::to_string(MOST_ROW_BYTES) +
           " bytes, and the file was read no further)";
}

// The distinct names, as kept, of the descriptors whose name a cut made.
int32_t countCutNames(const request_reader& reader) {
    std::vector<std::string_view> names;
    for (std::size_t index = 0; index < reader.cut.size(); ++index)
        if (reader.cut[index]) names.emplace_back(reader.stream.distinct[index].name);
    std::sort(names.begin(), names.end());
    return static_cast<int32_t>(std::unique(names.begin(), names.end()) - names.begin());
}

}  // namespace

bool readRequestsFrom(std::FILE* in, const char* shown, const request_choices& choices,
                      request_stream& stream, std::string& refusal) {
    stream = {};
    stream.owners = true;
    stream.origin = shownPath(shown);
    request_reader reader{stream.origin, choices, stream, {}, {}, {},    1,
                          false,         0,       {},     {}, -1, false, 0};
    openCsv(reader.csv, in);
    for (csv_read read = CSV_ROW; read == CSV_ROW;) {
        read = readCsvRow(reader.csv);
        reader.rowLine = reader.csv.rowLine;
        if (read == CSV_READ_ERROR) {
            refusal = std::string(DIAGNOSIS) + ": " + reader.shown +
                      ": cannot read it: " + std::strerror(errno != 0 ? errno : EIO);
            stream = {};
            return false;
        }
        if (read == CSV_LONG_ROW) {
            reader.stopped = true;
            fault(reader, FAULT_LONG_ROW, 0, [] {
                return "a row runs past " + std::to_string(MOST_ROW_BYTES) +
                       " bytes, the most a row holds; the file was read no further";
            });
        } else if (read == CSV_UNTERMINATED) {
            fault(reader, FAULT_UNTERMINATED, 0,
                  [] { return std::string("a quoted field that never ends"); });
        } else if (read == CSV_ROW) {
            readRecord(reader);
        }
    }
    if (!reader.headerRead)
        fault(reader, FAULT_HEADER, 0, [] {
            return std::string(
                "no header: the file is empty, and must name the columns name, param, width,"
                " height and flag");
        });
    else if (reader.requests == 0)
        fault(reader, FAULT_NO_REQUESTS, 0,
              [] { return std::string("no requests after the header"); });
    if (reader.firstFault >= 0) {
        refusal = refusalOf(reader);
        stream = {};
        return false;
    }
    stream.notes.cutNames = countCutNames(reader);
    stream.requests.shrink_to_fit();
    stream.distinct.shrink_to_fit();
    stream.descriptors = static_cast<int32_t>(stream.distinct.size());
    stream.distinctCount = stream.descriptors;
    return true;
}

int readRequests(const char* path, const request_choices& choices, request_stream& stream) {
    std::string refusal;
    const bool standard = std::strcmp(path, "-") == 0;
    std::FILE* in = standard ? stdin : std::fopen(path, "rb");
    bool read = false;
    if (in == nullptr) {
        refusal = std::string(DIAGNOSIS) + ": " + shownPath(path) +
                  ": cannot read it: " + std::strerror(errno);
    } else {
        errno = 0;
        read = readRequestsFrom(in, standard ? "standard input" : path, choices, stream, refusal);
    }
    if (in != nullptr && !standard) std::fclose(in);
    if (read) return 0;
    endProgress();
    std::fprintf(stderr, "%s\n", refusal.c_str());
    return 2;
}
