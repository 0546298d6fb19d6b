// Text in C's form, both ways: a name as a request file may write it (C string
// literals, as the diagnosis writes names), read into the record's name field;
// and any bytes of a user's file, quoted as C writes them, so that a refusal
// that quotes them stays one line of printable text.
#pragma once

#include "cache_key.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// A name as a request file writes it: its bytes; or, where it begins with a
// double quote, C string literals one after another, spaces between them, as
// the diagnosis writes names ("\xc3\xb1" "and"). The name goes into name,
// zero-filled. A name of IMAGE_NAME_SIZE bytes or more is refused, or, with
// cut, kept as its first IMAGE_NAME_SIZE - 1 bytes, as the record's field holds
// them.
enum name_reading : int32_t {
    NAME_READ,
    NAME_CUT,       // longer than the field holds, and cut
    NAME_TOO_LONG,  // longer than the field holds; why says how long
    NAME_ZERO_BYTE,
    NAME_NOT_READ  // no C string literals C would read; why says what is wrong
};
struct name_result {
    name_reading reading;
    std::string why;  // for a name refused: "holds 23 bytes, past the 19 a name holds", ...
};
name_result readName(std::string_view field, bool cut, char (&name)[IMAGE_NAME_SIZE]);

// Bytes as a C string literal writes them: in double quotes, printable ASCII as
// it is but for \" and \\, every other byte \xNN, the literal broken ("\x01" "a")
// where a hex digit follows such an escape. At most `most` bytes are quoted;
// "..." follows the closing quote where the bytes run on.
std::string quoteBytes(std::string_view bytes, std::size_t most);
