// CSV as RFC 4180 writes it, read a row at a time from a file of any size in
// bounded memory: a read buffer and one row of at most MOST_ROW_BYTES. Fields
// are bare, or quoted with their quotes doubled; a quoted field may hold commas
// and line breaks. Lines end in LF or CRLF. A UTF-8 byte-order mark at the start
// is skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The most bytes a row holds before its line end, the line breaks of its quoted
// fields among them.
inline constexpr std::size_t MOST_ROW_BYTES = 65536;

enum csv_state : int32_t { FIELD_START, BARE, QUOTED, QUOTE_IN_QUOTED };

struct csv_reader {
    std::FILE* in;
    std::size_t kept;  // the fields of a row kept, from the first: the rest are counted
    // The row last read: its first fields (at most kept), valid until the next
    // read; how many it has; the line it starts on; whether a field of it has text
    // after its closing quote, which is kept with the field.
    std::vector<std::string_view> fields;
    int32_t width;
    int64_t rowLine;
    bool textAfterQuote;
    // Where the reading stands.
    std::unique_ptr<char[]> buffer;
    std::size_t got;
    std::size_t next;
    bool started;
    bool pendingReturn;  // a carriage return: dropped before a line feed, else a byte
    csv_state state;
    bool keeping;
    std::string text;  // the kept fields' bytes, one after another, where the row is parsed
    std::vector<std::size_t> starts;
    std::size_t rowBytes;
    int64_t line;
};

// A reader of in, keeping every field of a row until told otherwise.
void openCsv(csv_reader& reader, std::FILE* in);

enum csv_read : int32_t {
    CSV_ROW,           // a row, in reader's fields
    CSV_END,           // the file's end: no more rows
    CSV_LONG_ROW,      // the row from rowLine runs past MOST_ROW_BYTES: nothing more is read
    CSV_UNTERMINATED,  // the file ends in a quoted field, of the row from rowLine
    CSV_READ_ERROR     // the file cannot be read: errno says why
};
csv_read readCsvRow(csv_reader& reader);
