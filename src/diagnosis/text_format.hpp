// How the diagnosis's text is set: lines of at most LINE_WIDTH columns, wrapped
// at spaces outside double quotes; tables of fixed columns; the cells' figures.
// Every section of the text is printed with these.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>

// The most a line of the text holds. Only a line that quotes a descriptor may
// hold more: its name is never broken, so that it pastes back whole.
inline constexpr int32_t LINE_WIDTH = 100;

// A text built in pieces, to be printed whole or wrapped.
struct text_buffer {
    char text[4096];
    std::size_t used;
};
__attribute__((format(printf, 2, 3))) void append(text_buffer& buffer, const char* format, ...);

// Prints text and a line end, in lines of at most LINE_WIDTH columns, broken at
// spaces outside double quotes (by clauses, where asked: after a comma or a
// semicolon in a line's last quarter); every line after the first indented by
// `hanging`.
void printWrapped(const char* text, int32_t hanging, bool byClauses = false);

// A section's heading, after an empty line: "## TITLE".
void printHeading(const char* title);

// A ratio to random as the causes' lines and the tables give it: two significant
// digits, or whole above 10 ("133x", "5.2x").
struct ratio_text {
    char text[24];
};
ratio_text timesRandom(double ratio);

// One cell of a table: a figure's text, at most as wide as its column.
struct cell_text {
    char text[64];
};

// The first of the texts that fits `width` columns, or the last.
cell_text fitting(int32_t width, std::initializer_list<const char*> texts);

// A real in `width` columns: with `decimals` decimals (and a sign, if signed), or
// whole, or as a power of ten where even that is too wide.
cell_text realCell(double value, int32_t decimals, bool withSign, int32_t width);

// A part of a whole in percent, "61.30%", with `decimals` decimals; a count with
// its share, "5553 (4.4%)".
cell_text percentText(double part, double whole, int32_t decimals);
cell_text countAndShare(int64_t count, int64_t whole);

// Cache hits as a share of the requests: "61.30%"; a difference of hits in points
// of that share, signed: "-3.21".
cell_text percentOf(double hits, int64_t requests);
cell_text pointsOf(double difference, int64_t requests);

// The columns of a table: each one's header and width, and whether its cells
// stand left or right. A table is at most LINE_WIDTH columns wide, its cells
// two spaces apart.
struct column {
    const char* header;
    int32_t width;
    bool left;
};
template <std::size_t COLUMNS>
constexpr bool fitsALine(const std::array<column, COLUMNS>& columns) {
    int32_t width = -2;
    for (const column& each : columns) {
        int32_t length = 0;
        while (each.header[length] != '\0') ++length;
        if (length > each.width) return false;
        width += each.width + 2;
    }
    return width <= LINE_WIDTH;
}

// A row of cells, trailing spaces dropped.
void printCells(const column* columns, const char* const* cells, std::size_t count);
template <std::size_t COLUMNS>
void printRow(const std::array<column, COLUMNS>& columns,
              const std::array<const char*, COLUMNS>& cells) {
    printCells(columns.data(), cells.data(), COLUMNS);
}
template <std::size_t COLUMNS>
void printHeader(const std::array<column, COLUMNS>& columns) {
    std::array<const char*, COLUMNS> headers{};
    for (std::size_t index = 0; index < COLUMNS; ++index) headers[index] = columns[index].header;
    printRow(columns, headers);
}
