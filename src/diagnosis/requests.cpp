#include "requests.hpp"

#include "options.hpp"
#include "progress.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace {

std::size_t at(int64_t index) { return static_cast<std::size_t>(index); }

// The columns a request file must name, in the record's order.
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
// Each number's range.
constexpr std::array<int32_t, REQUEST_COLUMNS> LOWEST = {0, -128, 0, 0, 0};
constexpr std::array<int32_t, REQUEST_COLUMNS> HIGHEST = {0, 127, 65535, 65535, 255};

// The faults a file can have. Lines share a fault when they have the same kind in
// the same column.
enum fault_kind : int32_t {
    FAULT_ROW_WIDTH,
    FAULT_NOT_A_NUMBER,
    FAULT_OUT_OF_RANGE,
    FAULT_NAME,  // and the two after it: too long, a zero byte, an escape C would not read
    FAULT_NAME_ZERO,
    FAULT_NAME_NOT_READ,
    FAULT_UNTERMINATED,
    FAULT_AFTER_QUOTE,
    FAULT_HEADER,
    FAULT_NO_REQUESTS,
    FAULT_TOO_MANY,
    FAULT_KINDS
};

// A fault's text, the line it was first seen on, and how many lines have it.
struct fault_seen {
    char text[160];
    int64_t line;
    int64_t lines;
};

static_assert(FAULT_NAME + int32_t{NAME_ZERO_BYTE} == FAULT_NAME_ZERO &&
              FAULT_NAME + int32_t{NAME_NOT_READ} == FAULT_NAME_NOT_READ);

// A field's text as a refusal quotes it: at most 24 bytes, printable ASCII as it
// is, every other byte as \xNN.
struct shown_field {
    char text[112];
};
shown_field showField(std::string_view field) {
    shown_field shown{};
    std::size_t used = 0;
    for (std::size_t index = 0; index < field.size() && index < 24; ++index) {
        const auto byte = static_cast<unsigned char>(field[index]);
        used += static_cast<std::size_t>(
            byte >= 0x20 && byte < 0x7f && byte != '"' && byte != '\\'
                ? std::snprintf(shown.text + used, sizeof shown.text - used, "%c", byte)
                : std::snprintf(shown.text + used, sizeof shown.text - used, "\\x%02x", byte));
    }
    if (field.size() > 24) std::snprintf(shown.text + used, sizeof shown.text - used, "...");
    return shown;
}

// The byte a one-character escape stands for, or -1.
int32_t simpleEscape(char c) {
    switch (c) {
        case '\'':
        case '"':
        case '?':
        case '\\':
            return c;
        case 'a':
            return '\a';
        case 'b':
            return '\b';
        case 'f':
            return '\f';
        case 'n':
            return '\n';
        case 'r':
            return '\r';
        case 't':
            return '\t';
        case 'v':
            return '\v';
        default:
            return -1;
    }
}

int32_t hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A name's bytes as they are read: counted past the field's room, so that a long
// name says how long it is.
struct name_bytes {
    char (&name)[IMAGE_NAME_SIZE];
    std::size_t count;
    bool zero;
    void add(uint32_t byte) {
        if (count < IMAGE_NAME_SIZE) name[count] = static_cast<char>(byte);
        zero = zero || byte == 0;
        ++count;
    }
};

// Reads the escape at field[at], just past its backslash, into bytes; returns
// where it ends, or 0 after saying why C would not read it.
std::size_t readEscape(const char* field, std::size_t length, std::size_t at, name_bytes& bytes,
                       name_fault& fault) {
    const std::size_t start = at - 1;
    const auto refuse = [&](const char* why) {
        fault.kind = NAME_NOT_READ;
        std::snprintf(fault.text, sizeof fault.text, "%.*s %s",
                      static_cast<int>(std::min<std::size_t>(at - start, 12)), field + start, why);
        return std::size_t{0};
    };
    if (at >= length) return refuse("ends the name: an escape C would not read");
    const char c = field[at++];
    if (simpleEscape(c) >= 0) {
        bytes.add(static_cast<uint32_t>(simpleEscape(c)));
        return at;
    }
    if (c >= '0' && c <= '7') {  // one to three octal digits
        uint32_t value = static_cast<uint32_t>(c - '0');
        for (int32_t digit = 1; digit < 3 && at < length && field[at] >= '0' && field[at] <= '7';
             ++digit)
            value = value * 8 + static_cast<uint32_t>(field[at++] - '0');
        if (value > 0xFF) return refuse("is out of range: an escape C would not read");
        bytes.add(value);
        return at;
    }
    if (c == 'x') {  // every hex digit that follows
        uint32_t value = 0;
        std::size_t digits = 0;
        for (; at < length && hexValue(field[at]) >= 0; ++at, ++digits)
            value =
                std::min<uint32_t>(value * 16 + static_cast<uint32_t>(hexValue(field[at])), 0x100);
        if (digits == 0) return refuse("has no hex digit: an escape C would not read");
        if (value > 0xFF) return refuse("is out of range: an escape C would not read");
        bytes.add(value);
        return at;
    }
    if (c == 'u' || c == 'U') {  // a universal character name, in UTF-8
        const std::size_t digits = c == 'u' ? 4 : 8;
        uint32_t code = 0;
        for (std::size_t digit = 0; digit < digits; ++digit, ++at) {
            if (at >= length || hexValue(field[at]) < 0)
                return refuse("lacks hex digits: an escape C would not read");
            code = code * 16 + static_cast<uint32_t>(hexValue(field[at]));
        }
        const bool allowed = code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF) &&
                             (code >= 0xA0 || code == '$' || code == '@' || code == '`');
        if (!allowed) return refuse("names no character C allows: an escape C would not read");
        if (code < 0x80) {
            bytes.add(code);
        } else if (code < 0x800) {
            bytes.add(0xC0 | code >> 6);
            bytes.add(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            bytes.add(0xE0 | code >> 12);
            bytes.add(0x80 | (code >> 6 & 0x3F));
            bytes.add(0x80 | (code & 0x3F));
        } else {
            bytes.add(0xF0 | code >> 18);
            bytes.add(0x80 | (code >> 12 & 0x3F));
            bytes.add(0x80 | (code >> 6 & 0x3F));
            bytes.add(0x80 | (code & 0x3F));
        }
        return at;
    }
    return refuse("is an escape C would not read");
}

}  // namespace

bool readName(const char* field, std::size_t length, char (&name)[IMAGE_NAME_SIZE],
              name_fault& fault) {
    std::memset(name, 0, sizeof name);
    name_bytes bytes{name, 0, false};
    if (length == 0 || field[0] != '"') {
        for (std::size_t index = 0; index < length; ++index)
            bytes.add(static_cast<unsigned char>(field[index]));
    } else {
        std::size_t index = 0;
        while (index < length) {
            if (field[index] == ' ') {
                ++index;
                continue;
            }
            fault.kind = NAME_NOT_READ;
            if (field[index] != '"') {
                std::snprintf(fault.text, sizeof fault.text,
                              "holds text between its C string literals");
                return false;
            }
            for (++index;; ++index) {
                if (index >= length) {
                    std::snprintf(fault.text, sizeof fault.text,
                                  "has a C string literal that never ends");
                    return false;
                }
                const char c = field[index];
                if (c == '"') break;
                if (c == '\n' || c == '\r') {
                    std::snprintf(fault.text, sizeof fault.text,
                                  "has a line end in a C string literal");
                    return false;
                }
                if (c != '\\') {
                    bytes.add(static_cast<unsigned char>(c));
                    continue;
                }
                index = readEscape(field, length, index + 1, bytes, fault);
                if (index == 0) return false;
                --index;
            }
            ++index;
        }
    }
    if (bytes.zero) {
        fault.kind = NAME_ZERO_BYTE;
        std::snprintf(fault.text, sizeof fault.text, "holds a zero byte");
        return false;
    }
    if (bytes.count >= IMAGE_NAME_SIZE) {
        std::memset(name, 0, sizeof name);
        fault.kind = NAME_TOO_LONG;
        std::snprintf(fault.text, sizeof fault.text, "holds %zu bytes; a name holds at most %zu",
                      bytes.count, IMAGE_NAME_SIZE - 1);
        return false;
    }
    return true;
}

namespace {

// The distinct descriptors seen so far, found by their 26 bytes in an open table
// of their indices (plus 1; 0 is free), never more than half full.
struct distinct_index {
    std::vector<int32_t> slots;
    std::size_t mask;
};

uint64_t hashPacked(const packed_descriptor& d) {
    std::array<uint64_t, 4> words{};
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
            return found + static_cast<int32_t>(distinct.size()) - 1;
        }
        if (std::memcmp(&distinct[at(found - 1)], &d, sizeof d) == 0) return found - 1;
    }
}

// The reading of one file: the CSV parser's state, the header's columns, the
// faults seen, and the stream read.
struct request_reader {
    const char* shown;
    request_stream& stream;
    distinct_index index;
    // The record being read: its fields' texts as the parser kept them (the wanted
    // ones; every one of the header's), or each field's view of the input, where
    // viewed; its width, the line it began on.
    std::vector<std::string> fields;
    std::vector<std::string_view> views;
    bool viewed;
    int32_t width;
    int64_t line;        // the line being read, from 1
    int64_t recordLine;  // the line the record began on
    bool headerRead;
    int32_t headerWidth;
    std::vector<int32_t> columnOf;  // a field's request column, or -1
    std::array<fault_seen, std::size_t{FAULT_KINDS} * REQUEST_COLUMNS> faults;
    int64_t firstFaultLine;
    int32_t firstFault;  // -1: none
    int64_t requests;
};

// Notes a fault of the record at its line, once per kind and column a line.
__attribute__((format(printf, 4, 5))) void fault(request_reader& reader, int32_t kind,
                                                 int32_t column, const char* format, ...) {
    fault_seen& seen = reader.faults[at(kind * REQUEST_COLUMNS + std::max(column, 0))];
    if (seen.lines > 0 && seen.line == reader.recordLine) return;
    if (seen.lines++ == 0) {
        seen.line = reader.recordLine;
        va_list values;
        va_start(values, format);
        std::vsnprintf(seen.text, sizeof seen.text, format, values);
        va_end(values);
        if (reader.firstFault < 0) {
            reader.firstFault = kind * REQUEST_COLUMNS + std::max(column, 0);
            reader.firstFaultLine = reader.recordLine;
            reader.stream.requests = {};  // no use keeping them
            reader.stream.distinct = {};
            reader.index = {};
        }
    }
}

void readHeader(request_reader& reader) {
    reader.headerRead = true;
    reader.headerWidth = reader.width;
    reader.columnOf.assign(at(reader.width), -1);
    std::array<int32_t, REQUEST_COLUMNS> found{};
    for (int32_t field = 0; field < reader.width; ++field)
        for (int32_t column = 0; column < REQUEST_COLUMNS; ++column)
            if (reader.views[at(field)] == COLUMN_NAMES[at(column)]) {
                if (found[at(column)]++ > 0)
                    return fault(reader, FAULT_HEADER, 0, "the header names the column %s twice",
                                 COLUMN_NAMES[at(column)]);
                reader.columnOf[at(field)] = column;
            }
    char missing[64] = "";
    int32_t count = 0;
    for (int32_t column = 0; column < REQUEST_COLUMNS; ++column)
        if (found[at(column)] == 0) {
            const std::size_t used = std::strlen(missing);
            std::snprintf(missing + used, sizeof missing - used, "%s%s", count++ > 0 ? ", " : "",
                          COLUMN_NAMES[at(column)]);
        }
    if (count == REQUEST_COLUMNS)
        fault(reader, FAULT_HEADER, 0,
              "no header: the first line must name the columns name, param, width, height and"
              " flag, in any order");
    else if (count > 0)
        fault(reader, FAULT_HEADER, 0, "the header names no column %s", missing);
}

void readRow(request_reader& reader) {
    if (reader.width != reader.headerWidth)
        return fault(reader, FAULT_ROW_WIDTH, 0, "a row of %d field%s; the header has %d",
                     reader.width, reader.width == 1 ? "" : "s", reader.headerWidth);
    packed_descriptor d{};
    bool sound = true;
    std::array<int32_t, REQUEST_COLUMNS> value{};
    for (int32_t field = 0; field < reader.width; ++field) {
        const int32_t column = reader.columnOf[at(field)];
        if (column < 0) continue;
        const std::string_view text = reader.views[at(field)];
        if (column == COLUMN_NAME) {
            name_fault why{};
            if (!readName(text.data(), text.size(), d.name, why)) {
                fault(reader, FAULT_NAME + static_cast<int32_t>(why.kind), column, "name %s",
                      why.text);
                sound = false;
            }
            continue;
        }
        // A whole number: a sign, then one to ten digits; nothing else.
        std::size_t digit = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
        bool whole = text.size() > digit && text.size() - digit <= 10;
        int64_t number = 0;
        for (std::size_t at = digit; whole && at < text.size(); ++at) {
            whole = text[at] >= '0' && text[at] <= '9';
            number = number * 10 + (text[at] - '0');
        }
        if (!whole) {
            fault(reader, FAULT_NOT_A_NUMBER, column, "%s \"%s\" is not a whole number",
                  COLUMN_NAMES[at(column)], showField(text).text);
            sound = false;
            continue;
        }
        if (text[0] == '-') number = -number;
        if (number < LOWEST[at(column)] || number > HIGHEST[at(column)]) {
            fault(reader, FAULT_OUT_OF_RANGE, column, "%s %lld is outside %d..%d",
                  COLUMN_NAMES[at(column)], static_cast<long long>(number), LOWEST[at(column)],
                  HIGHEST[at(column)]);
            sound = false;
            continue;
        }
        value[at(column)] = static_cast<int32_t>(number);
    }
    if (!sound) return;
    if (reader.requests++ == MOST_REQUESTS)
        return fault(reader, FAULT_TOO_MANY, 0, "more than %lld requests",
                     static_cast<long long>(MOST_REQUESTS));
    if (reader.firstFault >= 0) return;
    d.param = static_cast<int8_t>(value[COLUMN_PARAM]);
    d.width = static_cast<uint16_t>(value[COLUMN_WIDTH]);
    d.height = static_cast<uint16_t>(value[COLUMN_HEIGHT]);
    d.flag = static_cast<uint8_t>(value[COLUMN_FLAG]);
    reader.stream.requests.push_back(findOrAdd(reader.index, reader.stream.distinct, d));
    if (reader.requests % 65536 == 0) showProgress("requests read", reader.requests, 0);
}

// A record ends: a blank line is none; the first is the header.
void endRecord(request_reader& reader) {
    if (!reader.viewed) {
        reader.views.resize(at(reader.width));
        for (int32_t field = 0; field < reader.width; ++field)
            reader.views[at(field)] = reader.fields[at(field)];
    }
    const bool blank = reader.width == 1 && reader.views[0].empty();
    if (!blank) {
        if (reader.headerRead)
            readRow(reader);
        else
            readHeader(reader);
    }
    reader.width = 0;
    reader.viewed = false;
    for (std::string& field : reader.fields) field.clear();
}

// Whether the field about to be read is kept: all of the header's, and of a row
// only the request columns.
bool keeps(const request_reader& reader) {
    return !reader.headerRead ||
           (reader.width < reader.headerWidth && reader.columnOf[at(reader.width)] >= 0);
}

std::string& nextField(request_reader& reader) {
    if (reader.fields.size() <= at(reader.width)) reader.fields.resize(at(reader.width) + 1);
    return reader.fields[at(reader.width++)];
}

}  // namespace

namespace {

// The CSV parser (RFC 4180), a byte at a time, carriage returns before line feeds
// already dropped: a field is quoted, its quotes doubled, or bare.
enum parse_state { FIELD_START, BARE, QUOTED, QUOTE_IN_QUOTED };
struct csv_parser {
    parse_state state;
    std::string* field;  // the field being read, where it is kept
    int64_t quoteLine;   // the line the quoted field began on
};

void beginField(request_reader& reader, csv_parser& parser) {
    const bool kept = keeps(reader);
    std::string& field = nextField(reader);
    parser.field = kept ? &field : nullptr;
}

void endLine(request_reader& reader, csv_parser& parser) {
    endRecord(reader);
    reader.recordLine = ++reader.line;
    parser.state = FIELD_START;
    parser.field = nullptr;
}

void feed(request_reader& reader, csv_parser& parser, char c) {
    switch (parser.state) {
        case FIELD_START:
            beginField(reader, parser);
            if (c == '"') {
                parser.quoteLine = reader.line;
                parser.state = QUOTED;
            } else if (c == '\n') {
                endLine(reader, parser);
            } else if (c != ',') {
                if (parser.field != nullptr) parser.field->push_back(c);
                parser.state = BARE;
            }
            return;
        case BARE:
            if (c == ',') {
                parser.state = FIELD_START;
            } else if (c == '\n') {
                endLine(reader, parser);
            } else if (parser.field != nullptr) {
                parser.field->push_back(c);
            }
            return;
        case QUOTED:
            if (c == '"') {
                parser.state = QUOTE_IN_QUOTED;
                return;
            }
            if (c == '\n') ++reader.line;
            if (parser.field != nullptr) parser.field->push_back(c);
            return;
        case QUOTE_IN_QUOTED:
            if (c == '"') {
                if (parser.field != nullptr) parser.field->push_back('"');
                parser.state = QUOTED;
            } else if (c == ',') {
                parser.state = FIELD_START;
            } else if (c == '\n') {
                endLine(reader, parser);
            } else {
                fault(reader, FAULT_AFTER_QUOTE, 0, "text after a quoted field's closing quote");
                if (parser.field != nullptr) parser.field->push_back(c);
                parser.state = BARE;
            }
            return;
    }
}

// The first fault, as the refusal gives it.
void refuse(const request_reader& reader, request_refusal& refusal) {
    const fault_seen& seen = reader.faults[at(reader.firstFault)];
    const int32_t kind = reader.firstFault / REQUEST_COLUMNS;
    if (kind == FAULT_HEADER || kind == FAULT_NO_REQUESTS || kind == FAULT_TOO_MANY ||
        kind == FAULT_UNTERMINATED)
        std::snprintf(refusal.text, sizeof refusal.text, "%s: %s:%lld: %s", DIAGNOSIS, reader.shown,
                      static_cast<long long>(seen.line), seen.text);
    else
        std::snprintf(refusal.text, sizeof refusal.text,
                      "%s: %s:%lld: %s (%lld line%s of the file ha%s this fault)", DIAGNOSIS,
                      reader.shown, static_cast<long long>(seen.line), seen.text,
                      static_cast<long long>(seen.lines), seen.lines == 1 ? "" : "s",
                      seen.lines == 1 ? "s" : "ve");
}

}  // namespace

bool readRequestsFrom(std::FILE* in, const char* shown, request_stream& stream,
                      request_refusal& refusal) {
    stream = {};
    stream.owners = true;
    stream.origin = shown;
    request_reader reader{shown, stream, {}, {}, {}, false, 0, 1, 1, false, 0, {}, {}, 0, -1, 0};
    csv_parser parser{FIELD_START, nullptr, 0};
    bool pendingReturn = false;  // a carriage return: dropped before a line feed, else a byte
    std::vector<char> buffer(std::size_t{1} << 20);
    bool first = true;
    for (std::size_t got = 0; (got = std::fread(buffer.data(), 1, buffer.size(), in)) > 0;) {
        std::size_t from = 0;
        if (first && got >= 3 && std::memcmp(buffer.data(), "\xEF\xBB\xBF", 3) == 0) from = 3;
        first = false;
        for (std::size_t index = from; index < got; ++index) {
            // A whole line in the buffer without a quote: its fields are viewed where
            // they lie, split at its commas, its line end (LF or CRLF) dropped.
            if (parser.state == FIELD_START && reader.width == 0 && !pendingReturn) {
                const char* line = buffer.data() + index;
                const auto* end = static_cast<const char*>(std::memchr(line, '\n', got - index));
                if (end != nullptr &&
                    std::memchr(line, '"', static_cast<std::size_t>(end - line)) == nullptr) {
                    const char* last = end > line && end[-1] == '\r' ? end - 1 : end;
                    reader.views.clear();
                    for (const char* field = line;; ++field) {
                        const auto* comma = static_cast<const char*>(
                            std::memchr(field, ',', static_cast<std::size_t>(last - field)));
                        const char* fieldEnd = comma != nullptr ? comma : last;
                        reader.views.emplace_back(field,
                                                  static_cast<std::size_t>(fieldEnd - field));
                        if (comma == nullptr) break;
                        field = comma;
                    }
                    reader.width = static_cast<int32_t>(reader.views.size());
                    reader.viewed = true;
                    endLine(reader, parser);
                    index = static_cast<std::size_t>(end - buffer.data());
                    continue;
                }
            }
            const char c = buffer[index];
            if (pendingReturn) {
                pendingReturn = false;
                if (c != '\n') feed(reader, parser, '\r');
            }
            if (c == '\r' && parser.state != QUOTED) {
                pendingReturn = true;
                continue;
            }
            feed(reader, parser, c);
            // The rest of a bare or quoted field's run of plain bytes, at once.
            const bool bare = parser.state == BARE;
            if (!bare && parser.state != QUOTED) continue;
            std::size_t end = index + 1;
            while (end < got && buffer[end] != '\n' && buffer[end] != '"' &&
                   (!bare || (buffer[end] != ',' && buffer[end] != '\r')))
                ++end;
            if (parser.field != nullptr)
                parser.field->append(buffer.data() + index + 1, end - index - 1);
            index = end - 1;
        }
    }
    if (std::ferror(in) != 0) {
        std::snprintf(refusal.text, sizeof refusal.text, "%s: %s: cannot read it: %s", DIAGNOSIS,
                      shown, std::strerror(errno != 0 ? errno : EIO));
        return false;
    }
    if (pendingReturn) feed(reader, parser, '\r');
    if (parser.state == QUOTED) {
        reader.recordLine = parser.quoteLine;
        fault(reader, FAULT_UNTERMINATED, 0, "a quoted field that never ends");
    } else if (parser.state != FIELD_START || reader.width > 0) {
        if (parser.state == FIELD_START) nextField(reader);  // the empty field after a last comma
        endRecord(reader);
    }
    if (!reader.headerRead)
        fault(reader, FAULT_HEADER, 0,
              "no header: the file is empty, and must name the columns name, param, width, height"
              " and flag");
    else if (reader.requests == 0)
        fault(reader, FAULT_NO_REQUESTS, 0, "no requests after the header");
    if (reader.firstFault >= 0) {
        refuse(reader, refusal);
        return false;
    }
    stream.requests.shrink_to_fit();
    stream.distinct.shrink_to_fit();
    stream.descriptors = static_cast<int32_t>(stream.distinct.size());
    stream.distinctCount = stream.descriptors;
    return true;
}

int readRequests(const char* path, request_stream& stream) {
    request_refusal refusal{};
    const bool standard = std::strcmp(path, "-") == 0;
    std::FILE* in = standard ? stdin : std::fopen(path, "rb");
    bool read = false;
    if (in == nullptr) {
        std::snprintf(refusal.text, sizeof refusal.text, "%s: %s: cannot read it: %s", DIAGNOSIS,
                      path, std::strerror(errno));
    } else {
        errno = 0;
        read = readRequestsFrom(in, standard ? "standard input" : path, stream, refusal);
    }
    if (in != nullptr && !standard) std::fclose(in);
    if (read) return 0;
    endProgress();
    std::fprintf(stderr, "%s\n", refusal.text);
    return 2;
}

namespace {

constexpr uint64_t DEFAULT_STREAM_SEED = 240000;

// A Zipf draw over ranks 0 .. n - 1, P(rank k) proportional to 1 / (k + 1)^s: the
// cumulative weights as thresholds out of 2^53, each rounded down, the last 2^53,
// so that a draw compares whole numbers alone.
struct zipf_thresholds {
    std::vector<uint64_t> below;  // rank k is drawn when the draw lies below below[k]
};
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the ranks, then their exponent
zipf_thresholds zipfThresholds(int32_t n, double exponent) {
    std::vector<double> cumulative(at(n));
    double sum = 0;
    for (int32_t rank = 0; rank < n; ++rank) {
        sum += 1 / std::pow(rank + 1.0, exponent);
        cumulative[at(rank)] = sum;
    }
    zipf_thresholds zipf{std::vector<uint64_t>(at(n))};
    constexpr double WHOLE = 9007199254740992.0;  // 2^53
    for (int32_t rank = 0; rank + 1 < n; ++rank)
        zipf.below[at(rank)] =
            static_cast<uint64_t>(std::floor(cumulative[at(rank)] / sum * WHOLE));
    zipf.below[at(n - 1)] = uint64_t{1} << 53;
    return zipf;
}

// The rank of the stream's next draw: its top 53 bits against the thresholds.
int32_t drawRank(uint64_t& state, const zipf_thresholds& zipf) {
    const uint64_t draw = nextRandom(state) >> 11;
    return static_cast<int32_t>(std::upper_bound(zipf.below.begin(), zipf.below.end(), draw) -
                                zipf.below.begin());
}

// A seeded order of 0 .. n - 1: Fisher and Yates's shuffle, from the last place
// down, each place swapped with one at or below it.
void shuffle(uint64_t& state, std::vector<int32_t>& order) {
    for (std::size_t place = 0; place < order.size(); ++place)
        order[place] = static_cast<int32_t>(place);
    for (std::size_t place = order.size() - 1; place > 0; --place)
        std::swap(order[place], order[randomBelow(state, static_cast<uint32_t>(place + 1))]);
}

}  // namespace

void makeDefaultStream(request_stream& stream) {
    stream = {};
    stream.owners = false;
    stream.descriptors = KEYSET_DESCRIPTORS;
    uint64_t state = DEFAULT_STREAM_SEED;
    std::vector<int32_t> images(KEYSET_NAMES);
    shuffle(state, images);  // the images by popularity, most popular first
    std::vector<std::vector<int32_t>> variants(KEYSET_NAMES, std::vector<int32_t>(NAME_VARIANTS));
    for (std::vector<int32_t>& ranking : variants)
        shuffle(state, ranking);  // by image, in keyset order
    const zipf_thresholds imageZipf = zipfThresholds(KEYSET_NAMES, ZIPF_EXPONENT);
    const zipf_thresholds variantZipf = zipfThresholds(NAME_VARIANTS, ZIPF_EXPONENT);
    std::vector<bool> seen(KEYSET_DESCRIPTORS);
    stream.requests.resize(DEFAULT_REQUESTS);
    for (int32_t& request : stream.requests) {
        const int32_t image = images[at(drawRank(state, imageZipf))];
        request = image * NAME_VARIANTS + variants[at(image)][at(drawRank(state, variantZipf))];
        stream.distinctCount += seen[at(request)] ? 0 : 1;
        seen[at(request)] = true;
    }
}
