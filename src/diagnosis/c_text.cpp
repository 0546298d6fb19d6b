#include "c_text.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

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

bool isHexDigit(unsigned char byte) { return hexValue(static_cast<char>(byte)) >= 0; }

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

// A code point, at most 0x10FFFF, in UTF-8: one to four bytes.
void addUtf8(name_bytes& bytes, uint32_t code) {
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
}

// Reads the escape whose backslash lies at field[start] into bytes; returns
// where it ends, or 0 after saying in why that C would not read it.
std::size_t readEscape(std::string_view field, std::size_t start, name_bytes& bytes,
                       std::string& why) {
    std::size_t at = start + 1;
    const auto refuse = [&](const char* what) {
        why = "has the escape " + quoteBytes(field.substr(start, at - start), 12) + what;
        return std::size_t{0};
    };
    if (at >= field.size()) {
        why = "ends in a lone backslash, which C would not read";
        return std::size_t{0};
    }
    const char c = field[at++];
    if (simpleEscape(c) >= 0) {
        bytes.add(static_cast<uint32_t>(simpleEscape(c)));
        return at;
    }
    if (c >= '0' && c <= '7') {  // one to three octal digits
        uint32_t value = static_cast<uint32_t>(c - '0');
        for (int32_t digit = 1;
             digit < 3 && at < field.size() && field[at] >= '0' && field[at] <= '7'; ++digit)
            value = value * 8 + static_cast<uint32_t>(field[at++] - '0');
        if (value > 0xFF) return refuse(" out of range, which C would not read");
        bytes.add(value);
        return at;
    }
    if (c == 'x') {  // every hex digit that follows
        uint32_t value = 0;
        std::size_t digits = 0;
        for (; at < field.size() && hexValue(field[at]) >= 0; ++at, ++digits)
            value =
                std::min<uint32_t>(value * 16 + static_cast<uint32_t>(hexValue(field[at])), 0x100);
        if (digits == 0) return refuse(" without a hex digit, which C would not read");
        if (value > 0xFF) return refuse(" out of range, which C would not read");
        bytes.add(value);
        return at;
    }
    if (c == 'u' || c == 'U') {  // a universal character name, in UTF-8
        const std::size_t digits = c == 'u' ? 4 : 8;
        uint32_t code = 0;
        for (std::size_t digit = 0; digit < digits; ++digit, ++at) {
            if (at >= field.size() || hexValue(field[at]) < 0)
                return refuse(c == 'u' ? " without its 4 hex digits, which C would not read"
                                       : " without its 8 hex digits, which C would not read");
            code = code * 16 + static_cast<uint32_t>(hexValue(field[at]));
        }
        const bool allowed = code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF) &&
                             (code >= 0xA0 || code == '$' || code == '@' || code == '`');
        if (!allowed) return refuse(", which names no character C allows");
        addUtf8(bytes, code);
        return at;
    }
    return refuse(", which C would not read");
}

// The C string literals of field into bytes: false after saying why in why.
bool readLiterals(std::string_view field, name_bytes& bytes, std::string& why) {
    std::size_t index = 0;
    while (index < field.size()) {
        if (field[index] == ' ') {
            ++index;
            continue;
        }
        if (field[index] != '"') {
            why = "holds text between its C string literals";
            return false;
        }
        for (++index;;) {
            if (index >= field.size()) {
                why = "has a C string literal that never ends";
                return false;
            }
            const char c = field[index];
            if (c == '"') break;
            if (c == '\n' || c == '\r') {
                why = "has a line end in a C string literal";
                return false;
            }
            if (c != '\\') {
                bytes.add(static_cast<unsigned char>(c));
                ++index;
                continue;
            }
            index = readEscape(field, index, bytes, why);
            if (index == 0) return false;
        }
        ++index;
    }
    return true;
}

}  // namespace

name_result readName(std::string_view field, bool cut, char (&name)[IMAGE_NAME_SIZE]) {
    std::memset(name, 0, sizeof name);
    name_bytes bytes{name, 0, false};
    name_result result{NAME_READ, {}};
    if (field.empty() || field[0] != '"') {
        // The common name: its bytes as they are, room to spare, no zero byte.
        if (field.size() < IMAGE_NAME_SIZE &&
            std::memchr(field.data(), '\0', field.size()) == nullptr) {
            std::memcpy(name, field.data(), field.size());
            return result;
        }
        for (const char c : field) bytes.add(static_cast<unsigned char>(c));
    } else if (!readLiterals(field, bytes, result.why)) {
        std::memset(name, 0, sizeof name);
        result.reading = NAME_NOT_READ;
        return result;
    }
    if (bytes.zero) {
        std::memset(name, 0, sizeof name);
        result.reading = NAME_ZERO_BYTE;
        result.why = "holds a zero byte";
    } else if (bytes.count >= IMAGE_NAME_SIZE && cut) {
        name[IMAGE_NAME_SIZE - 1] = '\0';
        result.reading = NAME_CUT;
    } else if (bytes.count >= IMAGE_NAME_SIZE) {
        std::memset(name, 0, sizeof name);
        result.reading = NAME_TOO_LONG;
        result.why = "holds " + std::to_string(bytes.count) + " bytes, past the " +
                     std::to_string(IMAGE_NAME_SIZE - 1) + " a name holds";
    }
    return result;
}

std::string quoteBytes(std::string_view bytes, std::size_t most) {
    std::string quoted = "\"";
    bool afterEscape = false;
    for (std::size_t index = 0; index < bytes.size() && index < most; ++index) {
        const auto byte = static_cast<unsigned char>(bytes[index]);
        if (afterEscape && isHexDigit(byte)) quoted += "\" \"";
        afterEscape = byte < 0x20 || byte > 0x7e;
        if (afterEscape) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            quoted += escape;
        } else {
            if (byte == '"' || byte == '\\') quoted += '\\';
            quoted += static_cast<char>(byte);
        }
    }
    quoted += '"';
    if (bytes.size() > most) quoted += "...";
    return quoted;
}
