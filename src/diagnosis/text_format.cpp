#include "text_format.hpp"

#include <algorithm>
#include <cstdarg>
#include <cstring>

void append(text_buffer& buffer, const char* format, ...) {
    va_list values;
    va_start(values, format);
    const int written =
        std::vsnprintf(buffer.text + buffer.used, sizeof buffer.text - buffer.used, format, values);
    va_end(values);
    if (written > 0)
        buffer.used =
            std::min(buffer.used + static_cast<std::size_t>(written), sizeof buffer.text - 1);
}

namespace {

// Where the line that starts at `from` ends: at the last space outside double
// quotes that leaves it at most `room` columns, or at the first such space past
// them where there is none (a quoted name stays whole). With byClauses, at the
// last such space after a comma or a semicolon instead, where one lies in the
// line's last quarter. nullptr: the rest fits.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the text, then a place in it
const char* lineEnd(const char* text, const char* from, std::size_t room, bool byClauses) {
    if (std::strlen(from) <= room) return nullptr;
    bool quoted = false;
    bool escaped = false;
    const char* end = nullptr;
    const char* clauseEnd = nullptr;
    for (const char* c = text; *c != '\0'; ++c) {
        if (quoted && !escaped && *c == '\\') {
            escaped = true;
            continue;
        }
        if (!escaped && *c == '"') quoted = !quoted;
        escaped = false;
        if (quoted || *c != ' ' || c <= from) continue;
        const auto used = static_cast<std::size_t>(c - from);
        if (used > room && end != nullptr) break;
        end = c;
        if (used > room) break;
        if ((c[-1] == ',' || c[-1] == ';') && 4 * used >= 3 * room) clauseEnd = c;
    }
    return byClauses && clauseEnd != nullptr ? clauseEnd : end;
}

}  // namespace

void printWrapped(const char* text, int32_t hanging, bool byClauses) {
    const char* from = text;
    int32_t indent = 0;
    for (const char* end = lineEnd(text, from, LINE_WIDTH, byClauses); end != nullptr;
         end = lineEnd(text, from, static_cast<std::size_t>(LINE_WIDTH - indent), byClauses)) {
        std::printf("%*s%.*s\n", indent, "", static_cast<int>(end - from), from);
        from = end + 1;
        indent = hanging;
    }
    std::printf("%*s%s\n", indent, "", from);
}

ratio_text timesRandom(double ratio) {
    ratio_text shown{};
    std::snprintf(shown.text, sizeof shown.text, ratio >= 10 ? "%.0fx" : "%.1fx", ratio);
    return shown;
}

cell_text fitting(int32_t width, std::initializer_list<const char*> texts) {
    cell_text shown{};
    for (const char* text : texts) {
        std::snprintf(shown.text, sizeof shown.text, "%.*s",
                      static_cast<int>(sizeof shown.text) - 1, text);
        if (std::strlen(text) <= static_cast<std::size_t>(width)) break;
    }
    return shown;
}

cell_text realCell(double value, int32_t decimals, bool withSign, int32_t width) {
    std::array<cell_text, 3> forms{};
    std::snprintf(forms[0].text, sizeof forms[0].text, withSign ? "%+.*f" : "%.*f", decimals,
                  value);
    std::snprintf(forms[1].text, sizeof forms[1].text, withSign ? "%+.0f" : "%.0f", value);
    std::snprintf(forms[2].text, sizeof forms[2].text, withSign ? "%+.0e" : "%.0e", value);
    return fitting(width, {forms[0].text, forms[1].text, forms[2].text});
}

void printCells(const column* columns, const char* const* cells, std::size_t count) {
    text_buffer row{};
    for (std::size_t index = 0; index < count; ++index)
        append(row, columns[index].left ? "%s%-*s" : "%s%*s", index > 0 ? "  " : "",
               columns[index].width, cells[index]);
    while (row.used > 0 && row.text[row.used - 1] == ' ') row.text[--row.used] = '\0';
    std::printf("%s\n", row.text);
}

void printHeading(const char* title) { std::printf("\n## %s\n", title); }

cell_text percentText(double part, double whole, int32_t decimals) {
    cell_text shown{};
    std::snprintf(shown.text, sizeof shown.text, "%.*f%%", decimals,
                  whole > 0 ? 100 * part / whole : 0.0);
    return shown;
}

cell_text countAndShare(int64_t count, int64_t whole) {
    cell_text shown{};
    const double share =
        whole > 0 ? 100.0 * static_cast<double>(count) / static_cast<double>(whole) : 0.0;
    std::snprintf(shown.text, sizeof shown.text, "%lld (%.1f%%)", static_cast<long long>(count),
                  share);
    return shown;
}

cell_text percentOf(double hits, int64_t requests) {
    cell_text shown{};
    std::snprintf(shown.text, sizeof shown.text, "%.2f%%",
                  100 * hits / static_cast<double>(requests));
    return shown;
}
cell_text pointsOf(double difference, int64_t requests) {
    return realCell(100 * difference / static_cast<double>(requests), 2, true, 9);
}
