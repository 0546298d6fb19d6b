#include "csv.hpp"

#include <algorithm>
#include <cstring>

namespace {

// The buffer the file is read into, a block at a time.
constexpr std::size_t BUFFER_BYTES = std::size_t{1} << 20;
static_assert(BUFFER_BYTES > MOST_ROW_BYTES, "a plain row's line fits the buffer whole");

void startField(csv_reader& reader) {
    reader.keeping = reader.starts.size() < reader.kept;
    if (reader.keeping) reader.starts.push_back(reader.text.size());
    ++reader.width;
}

void keep(csv_reader& reader, std::string_view bytes) {
    if (reader.keeping) reader.text.append(bytes);
}

// The row's line end: its kept fields, viewed in the reader's text.
void endParsedRow(csv_reader& reader) {
    for (std::size_t field = 0; field < reader.starts.size(); ++field) {
        const std::size_t end =
            field + 1 < reader.starts.size() ? reader.starts[field + 1] : reader.text.size();
        reader.fields.emplace_back(reader.text.data() + reader.starts[field],
                                   end - reader.starts[field]);
    }
    reader.state = FIELD_START;
    ++reader.line;
}

enum fed : int32_t { GOING_ON, ROW_ENDED, TOO_LONG };

// One byte of the row, carriage returns before line feeds already dropped.
fed feed(csv_reader& reader, char c) {
    if ((c != '\n' || reader.state == QUOTED) && ++reader.rowBytes > MOST_ROW_BYTES)
        return TOO_LONG;
    switch (reader.state) {
        case FIELD_START:
            startField(reader);
            if (c == '"') {
                reader.state = QUOTED;
            } else if (c == '\n') {
                endParsedRow(reader);
                return ROW_ENDED;
            } else if (c != ',') {
                keep(reader, {&c, 1});
                reader.state = BARE;
            }
            break;
        case BARE:
            if (c == ',') {
                reader.state = FIELD_START;
            } else if (c == '\n') {
                endParsedRow(reader);
                return ROW_ENDED;
            } else {
                keep(reader, {&c, 1});
            }
            break;
        case QUOTED:
            if (c == '"') {
                reader.state = QUOTE_IN_QUOTED;
                break;
            }
            if (c == '\n') ++reader.line;
            keep(reader, {&c, 1});
            break;
        case QUOTE_IN_QUOTED:
            if (c == '"') {
                keep(reader, {&c, 1});
                reader.state = QUOTED;
            } else if (c == ',') {
                reader.state = FIELD_START;
            } else if (c == '\n') {
                endParsedRow(reader);
                return ROW_ENDED;
            } else {
                reader.textAfterQuote = true;
                keep(reader, {&c, 1});
                reader.state = BARE;
            }
            break;
    }
    return GOING_ON;
}

// The rest of a bare or quoted field's run of plain bytes, at once, as far as the
// row may run.
fed feedRun(csv_reader& reader) {
    const bool bare = reader.state == BARE;
    if (!bare && reader.state != QUOTED) return GOING_ON;
    const std::size_t room = MOST_ROW_BYTES + 1 - std::min(reader.rowBytes, MOST_ROW_BYTES);
    const std::size_t end = std::min(reader.got, reader.next + room);
    std::size_t run = reader.next;
    const char* bytes = reader.buffer.get();
    while (run < end && bytes[run] != '\n' && bytes[run] != '"' &&
           (!bare || (bytes[run] != ',' && bytes[run] != '\r')))
        ++run;
    reader.rowBytes += run - reader.next;
    if (reader.rowBytes > MOST_ROW_BYTES) return TOO_LONG;
    keep(reader, {bytes + reader.next, run - reader.next});
    reader.next = run;
    return GOING_ON;
}

// A whole line at the start of a row, without a double quote, its line end
// dropped: its fields viewed where they lie in the buffer.
void readPlainLine(csv_reader& reader, std::string_view line) {
    for (std::size_t from = 0;; ++from) {
        const std::size_t comma = line.find(',', from);
        if (reader.fields.size() < reader.kept)
            reader.fields.push_back(
                line.substr(from, comma == line.npos ? line.npos : comma - from));
        ++reader.width;
        if (comma == line.npos) break;
        from = comma;
    }
    ++reader.line;
}

// The file's end: the last row, where it has no line end.
csv_read endOfFile(csv_reader& reader) {
    if (std::ferror(reader.in) != 0) return CSV_READ_ERROR;
    if (reader.pendingReturn) {
        reader.pendingReturn = false;
        if (feed(reader, '\r') == TOO_LONG) return CSV_LONG_ROW;
    }
    if (reader.state == QUOTED) return CSV_UNTERMINATED;
    if (reader.state != FIELD_START || reader.width > 0) {
        feed(reader, '\n');
        --reader.line;  // no line end: the file ends on this line
        return CSV_ROW;
    }
    return CSV_END;
}

}  // namespace

void openCsv(csv_reader& reader, std::FILE* in) {
    reader = {};
    reader.in = in;
    reader.kept = SIZE_MAX;
    reader.buffer.reset(new char[BUFFER_BYTES]);  // its pages touched only as they are read into
    reader.line = 1;
    reader.state = FIELD_START;
}

csv_read readCsvRow(csv_reader& reader) {
    reader.fields.clear();
    reader.width = 0;
    reader.rowLine = reader.line;
    reader.textAfterQuote = false;
    reader.text.clear();
    reader.starts.clear();
    reader.rowBytes = 0;
    for (;;) {
        if (reader.next == reader.got) {
            reader.got = std::fread(reader.buffer.get(), 1, BUFFER_BYTES, reader.in);
            reader.next = 0;
            if (reader.got == 0) return endOfFile(reader);
            if (!reader.started && reader.got >= 3 &&
                std::memcmp(reader.buffer.get(), "\xEF\xBB\xBF", 3) == 0)
                reader.next = 3;
            reader.started = true;
            continue;
        }
        if (reader.state == FIELD_START && reader.width == 0 && !reader.pendingReturn) {
            const std::string_view rest(reader.buffer.get() + reader.next,
                                        reader.got - reader.next);
            const std::size_t end = rest.find('\n');
            if (end != rest.npos && rest.substr(0, end).find('"') == rest.npos) {
                const std::size_t length = end > 0 && rest[end - 1] == '\r' ? end - 1 : end;
                if (length > MOST_ROW_BYTES) return CSV_LONG_ROW;
                readPlainLine(reader, rest.substr(0, length));
                reader.next += end + 1;
                return CSV_ROW;
            }
        }
        const char c = reader.buffer[reader.next++];
        if (reader.pendingReturn) {
            reader.pendingReturn = false;
            if (c != '\n' && feed(reader, '\r') == TOO_LONG) return CSV_LONG_ROW;
        }
        if (c == '\r' && reader.state != QUOTED) {
            reader.pendingReturn = true;
            continue;
        }
        const fed step = feed(reader, c);
        if (step == ROW_ENDED) return CSV_ROW;
        if (step == TOO_LONG || feedRun(reader) == TOO_LONG) return CSV_LONG_ROW;
    }
}
